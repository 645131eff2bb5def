#include "viewer/closesignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

namespace tavin {

namespace {

int wakeFd = -1;

extern "C" void onCloseSignal(int sig) {
    const unsigned char byte = static_cast<unsigned char>(sig);
    const int saved = errno;
    if (wakeFd < 0 || ::write(wakeFd, &byte, 1) != 1) {
        std::signal(sig, SIG_DFL);
        std::raise(sig);
    }
    errno = saved;
}

}  // namespace

void closeWindowsOnSignals() {
    if (wakeFd >= 0) return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    wakeFd = fds[1];
    auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [readFd = fds[0]] {
        unsigned char sig = 0;
        while (::read(readFd, &sig, 1) == 1) {
        }
        // Each window closes as F12 closes it; a window in the middle of a
        // command cancels it and closes after.
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && !w->parentWidget()) w->close();
        }
    });
    struct sigaction action {};
    action.sa_handler = onCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
}

}  // namespace tavin
