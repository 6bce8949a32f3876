#include "stall_watchdog.h"

#include "control/control_client.h"

namespace {

using namespace std::chrono_literals;

// Often enough to catch a stall of two frames, rarely enough not to make one.
constexpr auto pingInterval = 4ms;

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
    return double(longestUs_.load()) / 1000.0;
}

void StallWatchdog::run() {
    while (!stop_) {
        const auto sent = std::chrono::steady_clock::now();
        const bool answered =
            bool(tovik::sendControlCommand(socketPath_, QStringLiteral("status"), 5s));
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - sent)
                            .count();
        if (answered) {
            qint64 longest = longestUs_.load();
            while (us > longest && !longestUs_.compare_exchange_weak(longest, us)) {
            }
        }
        std::this_thread::sleep_for(pingInterval);
    }
}
