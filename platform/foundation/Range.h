#pragma once
// ns::Range: a stretch of text or of a sequence, as location and length. For texts both count UTF-16
// code units, as the platform does. A search that finds nothing answers {NotFound, 0}.

#include <cstdint>
#include <string>

namespace ql::ns {

inline constexpr std::uint64_t NotFound = INT64_MAX;

struct Range {
    std::uint64_t location = 0;
    std::uint64_t length = 0;

    std::uint64_t end() const { return location + length; }
    bool contains(std::uint64_t index) const { return index >= location && index - location < length; }
    bool isNotFound() const { return location == NotFound; }
    // Whether the range lies inside a sequence of `size` items; a range whose end would wrap past the
    // largest index does not.
    bool liesWithin(std::uint64_t size) const { return location <= size && length <= size - location; }
    bool operator==(const Range&) const = default;

    // "{location, length}", as the platform prints a range.
    std::string description() const {
        return "{" + std::to_string(location) + ", " + std::to_string(length) + "}";
    }
};

}  // namespace ql::ns
