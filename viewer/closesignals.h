// SIGTERM and SIGHUP (a logout, a closed terminal) close the windows as the
// Exit command does, so that they store what they keep.
#pragma once

namespace tavin {

// From now on SIGTERM and SIGHUP close every top-level window of the
// application, from its event loop. Installed once.
void closeWindowsOnSignals();

}  // namespace tavin
