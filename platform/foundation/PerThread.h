#pragma once
// What a thread keeps for itself (scratch memory, a parser, its run loop) when code running at the end of the
// process may use it. The thread that ends the process, by returning from main or calling exit(), destroys its
// thread_local objects first, before the exit handlers and the destructors of objects of static storage run on
// it; those may write JSON, break a text into characters or run the thread's run loop, and would use what is
// gone. A thread's object here is made on its first use and destroyed when the thread itself ends, after its
// thread_local objects; the end of the process leaves it as it is.

#include <pthread.h>

#include <new>
#include <type_traits>

namespace ql::ns {

// Held in a function's static: never destroyed itself, so it serves at any point of the end.
template <class T>
class PerThread {
public:
    PerThread() {
        if (pthread_key_create(&key_, [](void* object) { delete static_cast<T*>(object); }) != 0)
            throw std::bad_alloc();
    }
    PerThread(const PerThread&) = delete;
    PerThread& operator=(const PerThread&) = delete;

    // The calling thread's object, value-initialised on its first use.
    T& get() {
        static_assert(std::is_trivially_destructible_v<PerThread>, "a static of this type is never destroyed");
        if (void* object = pthread_getspecific(key_)) return *static_cast<T*>(object);
        auto* made = new T();
        if (pthread_setspecific(key_, made) != 0) {
            delete made;
            throw std::bad_alloc();
        }
        return *made;
    }

private:
    pthread_key_t key_;
};

}  // namespace ql::ns
