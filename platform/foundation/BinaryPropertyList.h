#pragma once
// The binary property-list format ("bplist00"): an object table addressed through an offset table and a
// trailer. Used through PropertyListSerialization; not part of the public interface.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Value.h"

namespace ql::ns::detail {

inline constexpr std::string_view kBinaryPropertyListMagic = "bplist00";

// Shared references let a small input describe a huge tree, which consumers (writers, descriptions,
// comparisons) then walk in full. Readers of shared references refuse a tree whose expanded weight (one
// per value plus the bytes of its texts and data) exceeds this budget for an input of `length` bytes.
constexpr std::uint64_t expandedWeightBudget(std::uint64_t length) {
    return std::max<std::uint64_t>(std::uint64_t{1} << 24, 32 * length);
}

// Nil with `failure` set when the bytes are no well-formed binary property list. Every offset, count and
// reference is checked against the data; objects referenced more than once are read once and shared,
// cycles are refused, and so are lists beyond the expansion budget or the nesting cap once expanded.
Value readBinaryPropertyList(std::span<const std::uint8_t> bytes, unsigned options, std::string& failure);

// The value must be valid for the binary format (PropertyListSerialization checks first). Equal texts,
// numbers, data and dates are written once.
Data writeBinaryPropertyList(const Value& plist);

}  // namespace ql::ns::detail
