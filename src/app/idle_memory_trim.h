#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace tovik {

class SessionStore;

// Gives memory back to the system once tovik has been idle (no session) for a while. The
// allocator keeps the memory of the last screen snapshot at hand, which makes the next
// capture faster but keeps a screen's worth of pixels resident; between sessions that is
// not worth it, during one it is.
class IdleMemoryTrim : public QObject {
    Q_OBJECT
public:
    using Trim = std::function<void()>;

    // `trim` returns free memory to the system; the default asks the C library to.
    // TOVIK_IDLE_TRIM_MS in the environment replaces `quietPeriod` (for benchmarks).
    IdleMemoryTrim(SessionStore& store, std::chrono::milliseconds quietPeriod,
                   Trim trim = trimFreeMemory, QObject* parent = nullptr);

    static void trimFreeMemory();

private:
    void phaseChanged();

    SessionStore& store_;
    Trim trim_;
    QTimer quiet_;
};

} // namespace tovik
