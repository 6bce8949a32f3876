#include "stall_watchdog.h"

#include "control/control_client.h"

#include <algorithm>

namespace {

using namespace std::chrono_literals;

// Often enough to catch a stall of two frames, rarely enough not to make one.
constexpr auto pingInterval = 4ms;

qint64 nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

StallWatchdog::StallWatchdog(QString socketPath)
    : socketPath_(std::move(socketPath))
    , thread_([this] { run(); }) {}

StallWatchdog::~StallWatchdog() {
    stop_ = true;
    thread_.join();
}

void StallWatchdog::reset() {
    longestUs_ = 0;
}

double StallWatchdog::longestMs() const {
    // A ping still unanswered counts for as long as it has waited: the stall it measures
    // may outlast the case.
    qint64 us = longestUs_.load();
    if (const qint64 sent = sentUs_.load(); sent > 0)
        us = std::max(us, nowUs() - sent);
    return double(us) / 1000.0;
}

void StallWatchdog::run() {
    while (!stop_) {
        const qint64 sent = nowUs();
        sentUs_ = sent;
        const bool answered =
            bool(tovik::sendControlCommand(socketPath_, QStringLiteral("status"), 5s));
        sentUs_ = 0;
        const qint64 us = nowUs() - sent;
        if (answered) {
            qint64 longest = longestUs_.load();
            while (us > longest && !longestUs_.compare_exchange_weak(longest, us)) {
            }
        }
        std::this_thread::sleep_for(pingInterval);
    }
}
