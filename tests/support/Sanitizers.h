#pragma once
// Which sanitizer a test program is built with, as g++ and clang each tell it: QL_ADDRESS_SANITIZER or
// QL_THREAD_SANITIZER is defined to 1.

#if defined(__SANITIZE_ADDRESS__)
#define QL_ADDRESS_SANITIZER 1
#elif defined(__SANITIZE_THREAD__)
#define QL_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QL_ADDRESS_SANITIZER 1
#elif __has_feature(thread_sanitizer)
#define QL_THREAD_SANITIZER 1
#endif
#endif
