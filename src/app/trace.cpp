#include "app/trace.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <cstdio>

namespace tovik::trace {

namespace {
QElapsedTimer& clock() {
    static QElapsedTimer timer;
    return timer;
}
} // namespace

bool enabled() {
    static const bool on = qEnvironmentVariableIntValue("TOVIK_TRACE") == 1;
    return on;
}

void start(const char* what) {
    if (!enabled())
        return;
    clock().start();
    mark(what);
}

void mark(const char* what) {
    if (!enabled())
        return;
    const double ms = clock().isValid() ? double(clock().nsecsElapsed()) / 1e6 : 0.0;
    std::fprintf(stderr, "tovik-trace: %8.2f ms %s\n", ms, what);
    std::fflush(stderr);
}

} // namespace tovik::trace
