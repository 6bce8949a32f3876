#pragma once

#include <QCoro/QCoroTask>
#include <QTest>

#include <memory>
#include <optional>

namespace tovik {

namespace detail {
template<typename T>
QCoro::Task<> keepResult(QCoro::Task<T> task, std::shared_ptr<std::optional<T>> out) {
    out->emplace(co_await task);
}
} // namespace detail

// Turns the event loop until the task has finished; none when it did not finish in time.
// The task is owned by the waiting coroutine, so a late finish touches nothing freed.
template<typename T> std::optional<T> waitForTask(QCoro::Task<T> task, int timeoutMs = 5000) {
    auto out = std::make_shared<std::optional<T>>();
    detail::keepResult(std::move(task), out);
    if (!QTest::qWaitFor([&] { return out->has_value(); }, timeoutMs))
        return std::nullopt;
    return *out;
}

} // namespace tovik
