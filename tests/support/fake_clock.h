#pragma once

#include "platform/clock.h"

#include <QList>

#include <algorithm>
#include <coroutine>
#include <functional>
#include <vector>

namespace tovik {

// Virtual time. By default a wait advances the time at once and returns, running
// duringSleep first so a test can change the world "during" the wait. With autoAdvance
// false a wait suspends until the test calls advance().
class FakeClock final : public Clock {
public:
    std::chrono::nanoseconds time{0};
    bool autoAdvance = true;
    QList<std::chrono::milliseconds> sleeps;
    std::function<void(std::chrono::milliseconds)> duringSleep;

    std::chrono::nanoseconds now() override { return time; }

    QCoro::Task<> sleep(std::chrono::milliseconds duration) override {
        sleeps.append(duration);
        const std::chrono::nanoseconds deadline = time + duration;
        if (autoAdvance) {
            if (duringSleep)
                duringSleep(duration);
            time = deadline;
            co_return;
        }
        co_await Wait{this, deadline};
    }

    // Moves the time on and resumes, in order, every wait that is due.
    void advance(std::chrono::nanoseconds step) {
        time += step;
        for (;;) {
            const auto due = std::find_if(waiting_.begin(), waiting_.end(),
                                          [this](const Sleeper& s) { return s.deadline <= time; });
            if (due == waiting_.end())
                return;
            const std::coroutine_handle<> handle = due->handle;
            waiting_.erase(due);
            handle.resume();
        }
    }
    int pendingWaits() const { return int(waiting_.size()); }

private:
    struct Sleeper {
        std::chrono::nanoseconds deadline;
        std::coroutine_handle<> handle;
    };
    struct Wait {
        FakeClock* clock;
        std::chrono::nanoseconds deadline;
        bool await_ready() const noexcept { return clock->time >= deadline; }
        void await_suspend(std::coroutine_handle<> handle) {
            clock->waiting_.push_back(Sleeper{deadline, handle});
        }
        void await_resume() const noexcept {}
    };
    std::vector<Sleeper> waiting_;
};

} // namespace tovik
