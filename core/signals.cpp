#include "core/signals.h"

#include <csignal>
#include <mutex>
#include <thread>
#include <fcntl.h>
#include <unistd.h>

namespace tavin {

namespace {

int wakeFd = -1;
std::mutex cleanupLock;
std::function<void()>& currentCleanup() {
    static std::function<void()> cleanup;
    return cleanup;
}

extern "C" void onSignal(int sig) {
    const unsigned char byte = static_cast<unsigned char>(sig);
    if (wakeFd < 0 || ::write(wakeFd, &byte, 1) != 1) {
        std::signal(sig, SIG_DFL);
        std::raise(sig);
    }
}

}  // namespace

void cleanUpOnSignals(std::function<void()> cleanup) {
    {
        std::lock_guard<std::mutex> hold(cleanupLock);
        currentCleanup() = std::move(cleanup);
    }
    if (wakeFd >= 0) return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    wakeFd = fds[1];
    std::thread([readFd = fds[0]] {
        unsigned char sig = 0;
        while (::read(readFd, &sig, 1) != 1) {
        }
        {
            std::lock_guard<std::mutex> hold(cleanupLock);
            if (currentCleanup()) currentCleanup()();
        }
        std::signal(sig, SIG_DFL);
        ::kill(::getpid(), sig);
        ::pause();
    }).detach();
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
}

}  // namespace tavin
