#pragma once
// The fuzz targets' assertion: a broken property of the code under test stops the run as a crash, which
// libFuzzer records with the input that caused it (assert() would vanish from an NDEBUG build).

#include <cstdlib>

namespace ql::fuzz {

inline void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace ql::fuzz
