#pragma once
// The reader behind JSONSerialization: UTF-8 JSON text parsed by simdjson and laid out as a tree of Values in
// one ValueArena. Not part of the public interface.

#include <cstddef>
#include <string_view>

#include "platform/foundation/Value.h"

namespace ql::ns::detail {

// The value of a UTF-8 JSON text, read with JSONReadingOptions; nil when the text is refused (why is for
// the caller to find out).
Value readJSON(std::string_view utf8, unsigned options);

// What reading keeps between reads beyond each thread's parser for texts of a few megabytes: the shared
// parser for larger texts (the largest text it can read without growing, 0 when there is none) and the
// chunks of freed trees (in bytes). A memory warning gives both back, as the release function does, and so
// do keptJSONMemoryIdleSeconds of ns::Clock time without a read of a text of 192 KB or more. Also the
// calling thread's lists of dictionary members, which keep no more than keptScratchBytes after a read.
inline constexpr double keptJSONMemoryIdleSeconds = 10;
inline constexpr std::size_t keptScratchBytes = std::size_t{1} << 20;
struct KeptJSONMemory {
    std::size_t parserCapacity;
    std::size_t treeChunkBytes;
    std::size_t threadScratchBytes;
};
KeptJSONMemory keptJSONMemory();
void releaseKeptJSONMemory() noexcept;

}  // namespace ql::ns::detail
