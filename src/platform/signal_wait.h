#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <QCoro/QCoroTask>
#include <QCoro/QCoroTimer>

#include <chrono>

namespace tovik {

// Resumes once `signal` of `sender` has been emitted, or when `deadline` passes. A signal
// emitted several times before the waiter resumes wakes it once. (QCoro's
// qCoro(sender, signal, timeout) resumes through one queued call per emission, and the
// second lands on a finished wait.)
template<typename Sender, typename Signal>
QCoro::Task<> waitForSignal(Sender* sender, Signal signal, QDeadlineTimer deadline) {
    QTimer wake;
    wake.setSingleShot(true);
    QObject::connect(sender, signal, &wake, [&wake] { wake.start(0); });
    wake.start(std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 0)));
    co_await wake;
}

} // namespace tovik
