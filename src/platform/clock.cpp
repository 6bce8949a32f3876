#include "platform/clock.h"

#include <QCoro/QCoroTimer>
#include <QTimer>

namespace tovik {

std::chrono::nanoseconds SteadyClock::now() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

QCoro::Task<> SteadyClock::sleep(std::chrono::milliseconds duration) {
    // The default coarse timer may fire up to 5 % early; these waits are lower bounds.
    const auto deadline = now() + duration;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    while (now() < deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now());
        timer.start(left);
        co_await timer;
    }
}

} // namespace tovik
