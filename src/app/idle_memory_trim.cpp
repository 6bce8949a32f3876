#include "app/idle_memory_trim.h"

#include "session/session_store.h"

#include <malloc.h>

namespace tovik {

IdleMemoryTrim::IdleMemoryTrim(SessionStore& store, std::chrono::milliseconds quietPeriod,
                               Trim trim, QObject* parent)
    : QObject(parent)
    , store_(store)
    , trim_(std::move(trim)) {
    quiet_.setSingleShot(true);
    quiet_.setInterval(quietPeriod);
    connect(&quiet_, &QTimer::timeout, this, [this] { trim_(); });
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
