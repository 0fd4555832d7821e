#pragma once

#include <utility>
#include <variant>

/** A value or an error: how expected failures cross module boundaries. */
template<typename T, typename E> class [[nodiscard]] Result
{
public:
    Result(T value)
        : m_data(std::in_place_index<0>, std::move(value))
    { }
    static Result failure(E error) { return Result(std::in_place_index<1>, std::move(error)); }

    [[nodiscard]] bool ok() const { return m_data.index() == 0; }
    explicit operator bool() const { return ok(); }

    [[nodiscard]] const T &value() const & { return std::get<0>(m_data); }
    [[nodiscard]] T &value() & { return std::get<0>(m_data); }
    // By value: a reference into a temporary Result would dangle in `for (x : fetch().value())`.
    [[nodiscard]] T value() && { return std::get<0>(std::move(m_data)); }
    [[nodiscard]] const E &error() const { return std::get<1>(m_data); }

private:
    template<std::size_t I, typename V>
    Result(std::in_place_index_t<I> index, V &&v)
        : m_data(index, std::forward<V>(v))
    { }
    std::variant<T, E> m_data;
};

/** Success without a payload, or an error. */
template<typename E> class [[nodiscard]] Result<void, E>
{
public:
    Result() = default;
    static Result failure(E error)
    {
        Result r;
        r.m_error = std::move(error);
        r.m_failed = true;
        return r;
    }

    [[nodiscard]] bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] const E &error() const { return m_error; }

private:
    E m_error {};
    bool m_failed = false;
};
