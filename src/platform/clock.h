#pragma once

#include <QCoro/QCoroTask>

#include <chrono>

namespace tovik {

// Monotonic time and waits, so that tests need not sleep.
class Clock {
public:
    Clock() = default;
    virtual ~Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    /** Monotonic time. */
    virtual std::chrono::nanoseconds now() = 0;
    /** Resumes on the calling thread no earlier than `duration` from now. */
    virtual QCoro::Task<> sleep(std::chrono::milliseconds duration) = 0;
};

// The real clock: steady time and precise timers.
class SteadyClock final : public Clock {
public:
    std::chrono::nanoseconds now() override;
    QCoro::Task<> sleep(std::chrono::milliseconds duration) override;
};

} // namespace tovik
