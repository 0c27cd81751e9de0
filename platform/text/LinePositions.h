#pragma once
// Where the characters of a line sit along it: the caret offset of a string index and the string index
// nearest a position, for lines laid out left to right from x = 0 (a typesetter's or a frame's lines).

#include <cstdint>
#include <optional>

#include "platform/graphics/Geometry.h"
#include "platform/text/Line.h"

namespace ql::ct {

// The distance from the line's origin to the caret before the character at `index`: 0 before the
// line's first character, the line's width past its last.
double offsetForStringIndex(const Line& line, std::uint64_t index);

// The string index whose caret lies nearest to `position` (its y is not used): a position over the
// first half of a character gives that character's index, over its second half the next one's. Before
// the line, its first index; past it, the end of its range.
std::uint64_t stringIndexForPosition(const Line& line, cg::Point position);

}  // namespace ql::ct
