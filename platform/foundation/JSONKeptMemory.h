#pragma once
// What JSON reading and writing keep between calls for large texts, and when it goes back. Not part of the
// public interface.

#include <cstddef>

namespace ql::ns::detail {

// Beyond each thread's parser and write scratch for texts of a few megabytes, reading keeps the shared
// parser for larger texts (the largest text it can read without growing, 0 when there is none) and the
// chunks of freed trees, and writing keeps the pages of a text too large for a thread's scratch once its
// caller has let go of it (in bytes). A memory warning gives all of these back, as the release function
// does, and so do keptJSONMemoryIdleSeconds of ns::Clock time without a read or write of a large text.
// Also the calling thread's lists of dictionary members, which keep no more than keptScratchBytes after a
// read.
inline constexpr double keptJSONMemoryIdleSeconds = 10;
struct KeptJSONMemory {
    std::size_t parserCapacity;
    std::size_t treeChunkBytes;
    std::size_t threadScratchBytes;
    std::size_t writePageBytes;
};
KeptJSONMemory keptJSONMemory();
void releaseKeptJSONMemory() noexcept;

// From the first call on, a memory warning gives back what JSON keeps (reading calls it on every read, as
// small trees leave chunks too).
void giveBackKeptJSONMemoryOnMemoryWarnings();
// Called on reading or writing a large text: what large texts keep stays until keptJSONMemoryIdleSeconds
// pass without another one (and goes at a memory warning before that).
void noteLargeJSONText();

}  // namespace ql::ns::detail
