#pragma once
// Tells the data-race detector of a ThreadSanitizer build about an ordering between threads that it cannot
// see for itself, such as a wake-up through a C library call its runtime does not intercept. In any other
// build these are empty.

#if defined(__SANITIZE_THREAD__)
#define QL_RACE_DETECTOR 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QL_RACE_DETECTOR 1
#endif
#endif

#ifdef QL_RACE_DETECTOR
#include <sanitizer/tsan_interface.h>
#endif

namespace ql::ns::race {

// Everything this thread did before `happensBefore(tag)` is seen as done by a thread that has passed a
// later `happensAfter(tag)` on the same tag.
inline void happensBefore([[maybe_unused]] void* tag) {
#ifdef QL_RACE_DETECTOR
    __tsan_release(tag);
#endif
}

inline void happensAfter([[maybe_unused]] void* tag) {
#ifdef QL_RACE_DETECTOR
    __tsan_acquire(tag);
#endif
}

}  // namespace ql::ns::race
