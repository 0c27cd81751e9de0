#pragma once
// ns::IndexPath: the place of a row or item in a sectioned list (section, then row or item), as tables
// and collection views name their elements. A value; it travels inside a Value boxed as an
// "NSIndexPath" object. Index paths order by section, then by row.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace ql::ns {

class IndexPath {
public:
    constexpr IndexPath() = default;
    constexpr IndexPath(std::int64_t section, std::int64_t row) : section_(section), row_(row) {}

    static constexpr IndexPath indexPathForRow(std::int64_t row, std::int64_t section) { return {section, row}; }
    static constexpr IndexPath indexPathForItem(std::int64_t item, std::int64_t section) { return {section, item}; }

    constexpr std::int64_t section() const { return section_; }
    constexpr std::int64_t row() const { return row_; }
    constexpr std::int64_t item() const { return row_; }
    // Always two: section and row.
    static constexpr std::size_t length() { return 2; }

    friend constexpr auto operator<=>(const IndexPath&, const IndexPath&) = default;

    // "{length = 2, path = 0 - 5}", the path part of the platform's description.
    std::string description() const;

    Value boxed() const;
    // The index path a Value holds, when it holds one.
    static std::optional<IndexPath> fromValue(const Value& value);

private:
    std::int64_t section_ = 0;
    std::int64_t row_ = 0;
};

}  // namespace ql::ns

template <>
struct std::hash<ql::ns::IndexPath> {
    std::size_t operator()(const ql::ns::IndexPath& path) const noexcept {
        return std::hash<std::int64_t>()(path.section()) * 1000003u ^ std::hash<std::int64_t>()(path.row());
    }
};
