#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <thread>

// Asks the running tovik for its status over the control socket, again and again on a
// thread of its own: the server answers on tovik's main thread, so the longest round trip
// bounds the longest time that thread did not turn its event loop (painting, clipboard
// requests from other clients).
class StallWatchdog {
public:
    explicit StallWatchdog(QString socketPath);
    ~StallWatchdog();
    StallWatchdog(const StallWatchdog&) = delete;
    StallWatchdog& operator=(const StallWatchdog&) = delete;

    /** Forgets the longest round trip so far. */
    void reset();
    /** The longest round trip since the last reset, in milliseconds. */
    double longestMs() const;

private:
    void run();

    QString socketPath_;
    std::atomic<bool> stop_{false};
    // Microseconds, so the value fits an atomic integer.
    std::atomic<qint64> longestUs_{0};
    // When the ping under way was sent (steady clock), 0 between pings.
    std::atomic<qint64> sentUs_{0};
    std::thread thread_;
};
