#pragma once

#include <QString>

#include <utility>
#include <variant>

namespace tovik {

namespace detail {
// Outside Failure, whose own message() would hide the area's overload from lookup.
template<typename E> QString areaMessage(E e) {
    return message(e);
}
} // namespace detail

// Any failure an operation can report: a case of one area's error enum, a platform
// error with the platform's own text, or the cancellation of the calling task.
// An area enum E takes part by providing `QString message(E)` in namespace tovik.
class Failure {
public:
    template<typename E> static Failure of(E e) {
        return Failure(domainOf<E>(), static_cast<int>(e), detail::areaMessage(e));
    }
    static Failure platform(QString text) {
        return Failure(domainOf<Failure>(), 0, std::move(text));
    }
    static Failure cancelled() { return Failure(cancelDomain(), 0, QStringLiteral("Cancelled")); }

    const QString& message() const { return text_; }
    bool isCancelled() const { return domain_ == cancelDomain(); }
    bool isPlatform() const { return domain_ == domainOf<Failure>(); }
    template<typename E> bool is(E e) const {
        return domain_ == domainOf<E>() && code_ == static_cast<int>(e);
    }

    friend bool operator==(const Failure& a, const Failure& b) {
        return a.domain_ == b.domain_ && a.code_ == b.code_ && a.text_ == b.text_;
    }

private:
    Failure(const void* domain, int code, QString text)
        : domain_(domain)
        , code_(code)
        , text_(std::move(text)) {}

    template<typename E> static const void* domainOf() {
        static const char tag = 0;
        return &tag;
    }
    static const void* cancelDomain() {
        static const char tag = 0;
        return &tag;
    }

    const void* domain_;
    int code_;
    QString text_;
};

// A value or the failure that prevented it.
template<typename T> class Expected {
public:
    Expected(T value)
        : state_(std::move(value)) {}
    Expected(Failure failure)
        : state_(std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return std::get<0>(state_); }
    T& value() & { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const T* operator->() const { return &value(); }
    const T& operator*() const& { return value(); }
    const Failure& failure() const { return std::get<1>(state_); }

private:
    std::variant<T, Failure> state_;
};

// Success without a value.
struct Done {};
using Outcome = Expected<Done>;

} // namespace tovik
