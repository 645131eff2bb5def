// The viewer tests run in one QApplication on the offscreen platform, with
// every folder the viewer writes to pointed at a temporary folder.
#include <cstdlib>

#include <gtest/gtest.h>
#include <QApplication>

#include "support/testutil.h"
#include "viewer/HTMLView.h"
#include "viewer/viewer_support.h"

namespace {

void setDefault(const char* name, const char* value) {
    if (!qEnvironmentVariableIsSet(name)) qputenv(name, value);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer: the web engine library, which is not instrumented,
// frees some of its objects through a base type of another size and keeps
// caches until the process ends. Those reports are about that library, so
// this program alone turns the size check off and ignores its leaks (and
// those of udev and fontconfig under it); the engine's own test programs
// keep every check.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore.so\nleak:libudev.so\nleak:libfontconfig.so\n";
}
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setDefault("QT_QPA_PLATFORM", "offscreen");
    // Chromium's sandbox cannot run as root, which is how CI runs.
    setDefault("QTWEBENGINE_DISABLE_SANDBOX", "1");
    setDefault("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    setDefault("QT_LOGGING_RULES", "qt.webenginecontext.debug=false");

    // HOME must be in place before the web engine starts; each test points
    // the XDG folders at folders of its own.
    testutil::TempDir home;
    viewertest::setProcessHome(home.str());

    tavin::THTMLView::registerScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(" Tavin"));
    return RUN_ALL_TESTS();
}
