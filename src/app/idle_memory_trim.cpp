#include "app/idle_memory_trim.h"

#include "app/trace.h"
#include "session/session_store.h"

#include <malloc.h>

namespace tovik {

IdleMemoryTrim::IdleMemoryTrim(SessionStore& store, std::chrono::milliseconds quietPeriod,
                               Trim trim, QObject* parent)
    : QObject(parent)
    , store_(store)
    , trim_(std::move(trim)) {
    // Benchmarks shorten the quiet period to measure the capture that follows a trim.
    if (const int ms = qEnvironmentVariableIntValue("TOVIK_IDLE_TRIM_MS"); ms > 0)
        quietPeriod = std::chrono::milliseconds(ms);
    quiet_.setSingleShot(true);
    quiet_.setInterval(quietPeriod);
    connect(&quiet_, &QTimer::timeout, this, [this] {
        trim_();
        trace::mark("idle trim");
    });
    connect(&store_, &SessionStore::phaseChanged, this, &IdleMemoryTrim::phaseChanged);
    phaseChanged();
}

void IdleMemoryTrim::trimFreeMemory() {
    malloc_trim(0);
}

void IdleMemoryTrim::phaseChanged() {
    const Phase phase = store_.phase();
    if (phase == Phase::ready || phase == Phase::review)
        quiet_.start();
    else
        quiet_.stop();
}

} // namespace tovik
