#pragma once
// The buffer a message of the engine is gathered in: grown by doubling as usual, but never reserving beyond
// the message's bound, and given back whole rather than emptied.

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace ql::ui {

// Adds the bytes, which the caller has made sure stay within the bound.
inline void appendWithin(std::vector<char>& buffer, std::string_view bytes, std::size_t bound) {
    const std::size_t needed = buffer.size() + bytes.size();
    if (needed > buffer.capacity()) buffer.reserve(std::min(std::max(needed, 2 * buffer.capacity()), bound));
    buffer.insert(buffer.end(), bytes.begin(), bytes.end());
}

inline void giveBack(std::vector<char>& buffer) { std::vector<char>().swap(buffer); }

}  // namespace ql::ui
