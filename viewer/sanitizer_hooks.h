// Include in exactly one source file of a program that runs the web view.
//
// Under AddressSanitizer: the web engine library, which is not instrumented,
// frees some of its objects through a base type of another size and keeps
// caches until the process ends. Those reports are about that library, so
// programs that run it turn the size check off and ignore its leaks (and
// those of udev and fontconfig under it); the engine's own test programs
// keep every check.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore.so\nleak:libudev.so\nleak:libfontconfig.so\n";
}
#endif
