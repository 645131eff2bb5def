#include "viewer/timeline.h"

#include <cstdio>

#include <QElapsedTimer>
#include <QtGlobal>

namespace tavin {

namespace {

QElapsedTimer& clock() {
    static QElapsedTimer timer;
    return timer;
}

}  // namespace

void startTimeline() {
    if (!clock().isValid()) clock().start();
}

bool timelineOn() {
    static const bool on = qEnvironmentVariableIsSet("TAVIN_DEBUG");
    return on;
}

void mark(const char* what) {
    if (!timelineOn()) return;
    startTimeline();
    std::fprintf(stderr, "tavin: %lld ms %s\n", static_cast<long long>(clock().elapsed()), what);
}

}  // namespace tavin
