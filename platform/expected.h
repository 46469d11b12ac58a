#pragma once
// A small value-or-error type (std::expected arrives only with C++23).

#include <cassert>
#include <utility>
#include <variant>

namespace platform {

template <class E>
struct Unexpected {
    E error;
};

template <class E>
Unexpected<E> unexpected(E error) {
    return Unexpected<E>{std::move(error)};
}

template <class T, class E>
class Expected {
public:
    Expected(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Expected(Unexpected<E> failure) : m_state(std::in_place_index<1>, std::move(failure.error)) {}

    bool hasValue() const { return m_state.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    T& value() & {
        assert(hasValue());
        return std::get<0>(m_state);
    }
    const T& value() const& {
        assert(hasValue());
        return std::get<0>(m_state);
    }
    T&& value() && {
        assert(hasValue());
        return std::get<0>(std::move(m_state));
    }
    const E& error() const {
        assert(!hasValue());
        return std::get<1>(m_state);
    }

    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

private:
    std::variant<T, E> m_state;
};

}  // namespace platform
