#pragma once

#include <functional>
#include <utility>

namespace vantorel {

// A read-write view of a value that someone else owns: `get` reads it now, `set` writes it
// through the owner (which then publishes the change). Controls hold a binding instead of a copy.
template <typename T>
struct Binding {
    std::function<T()> get;
    std::function<void(T)> set;
};

// A binding to one member of the value behind `whole`: set copies the whole value, changes the
// member and writes the whole value back.
template <typename T, typename Member>
Binding<Member> memberBinding(const Binding<T>& whole, Member T::*field)
{
    return {[get = whole.get, field] { return get().*field; },
            [get = whole.get, set = whole.set, field](Member value) {
                T copy = get();
                copy.*field = std::move(value);
                set(std::move(copy));
            }};
}

} // namespace vantorel
