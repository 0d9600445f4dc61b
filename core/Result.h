#pragma once

#include <QString>
#include <stdexcept>
#include <utility>
#include <variant>

namespace cw {

/// Why an operation gave no value, in words fit for the log and the user.
struct Error {
    QString message;
    bool operator==(const Error&) const = default;
};

/// Thrown by Result::value() when there is no value: a programming error, never an outcome to handle.
class BadResultAccess : public std::logic_error {
public:
    explicit BadResultAccess(const QString& message)
        : std::logic_error("no value in the result: " + message.toStdString()) {}
};

/// The value of an operation, or why there is none. `E` is the error: Error, or any type with a `message`
/// member (for instance one that adds a code the caller tells cases apart by).
template <typename T, typename E = Error> class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : state_(std::in_place_index<1>, std::move(error)) {}

    /// Whether there is a value.
    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    /// The value; throws BadResultAccess when there is none.
    const T& value() const& {
        requireValue();
        return std::get<0>(state_);
    }
    T& value() & {
        requireValue();
        return std::get<0>(state_);
    }
    T&& value() && {
        requireValue();
        return std::get<0>(std::move(state_));
    }
    /// The value, or `fallback` when there is none.
    T valueOr(T fallback) const { return ok() ? std::get<0>(state_) : std::move(fallback); }

    /// The error; only when !ok().
    const E& error() const { return std::get<1>(state_); }
    /// The error's message; empty when there is a value.
    QString message() const { return ok() ? QString() : std::get<1>(state_).message; }

private:
    void requireValue() const {
        if (!ok()) {
            throw BadResultAccess(message());
        }
    }

    std::variant<T, E> state_;
};

/// The outcome of an operation that gives no value: done, or why not.
template <typename E> class [[nodiscard]] Result<void, E> {
public:
    /// Done.
    Result() = default;
    Result(E error) : error_(std::move(error)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    /// The error; only when !ok().
    const E& error() const { return error_; }
    QString message() const { return ok() ? QString() : error_.message; }

private:
    E error_{};
    bool failed_ = false;
};

using Status = Result<void>;

} // namespace cw
