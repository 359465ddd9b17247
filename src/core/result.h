#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

/// Why a step failed: the failure's own description, in words the user can act on.
struct Failure
{
    QString description;

    bool operator==(const Failure&) const = default;
};

/// What a step that can fail gives back: its value, or the failure. There is no conversion to
/// bool, so every caller says which of the two it asks about: `if (!result.ok())`.
template <typename T = void> class Result
{
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    { }
    Result(Failure failure)
        : m_state(std::in_place_index<1>, std::move(failure))
    { }

    bool ok() const { return m_state.index() == 0; }
    bool operator==(const Result&) const = default;
    /// The value; only when ok().
    const T& value() const& { return std::get<0>(m_state); }
    T& value() & { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const T* operator->() const { return &value(); }
    /// The failure's description; only when not ok().
    const QString& error() const { return std::get<1>(m_state).description; }

private:
    std::variant<T, Failure> m_state;
};

/// A step that gives nothing back but may fail.
template <> class Result<void>
{
public:
    Result() = default;
    Result(Failure failure)
        : m_error(std::move(failure.description))
    { }

    bool ok() const { return !m_error.has_value(); }
    bool operator==(const Result&) const = default;
    /// The failure's description; only when not ok().
    const QString& error() const { return *m_error; }

private:
    std::optional<QString> m_error;
};
