#pragma once
// Reading and writing one field under its object's mutex, for the many accessors that do nothing else.

#include <mutex>
#include <utility>

namespace ql::ns {

template <class Mutex, class T>
T lockedCopy(Mutex& mutex, const T& field) {
    std::lock_guard lock(mutex);
    return field;
}

template <class Mutex, class T, class V>
void lockedStore(Mutex& mutex, T& field, V&& value) {
    std::lock_guard lock(mutex);
    field = std::forward<V>(value);
}

}  // namespace ql::ns
