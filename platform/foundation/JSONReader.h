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

// The calling thread's lists of dictionary members keep no more than this after a read.
inline constexpr std::size_t keptScratchBytes = std::size_t{1} << 20;

// What reading keeps between reads, as JSONKeptMemory.h reports and gives it back: the shared parser for
// large texts (the largest text it can read without growing, 0 when there is none), and the calling
// thread's lists of dictionary members.
std::size_t sharedParserCapacity();
void releaseSharedParser() noexcept;
std::size_t threadReadScratchBytes();

}  // namespace ql::ns::detail
