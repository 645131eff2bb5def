// Clean-up when the program is interrupted (SIGINT, SIGTERM, SIGHUP).
#pragma once

#include <functional>

namespace tavin {

// From now on, an interrupting signal runs cleanup on a thread of its own
// (never inside the signal handler) and then ends the program as the
// signal would have. Installed once; a later call replaces the cleanup.
void cleanUpOnSignals(std::function<void()> cleanup);

}  // namespace tavin
