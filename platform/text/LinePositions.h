#pragma once
// Where the characters of a line sit along it, in the order it shows them: the caret offset of a string
// index, the stretch a range of characters takes, and the string index nearest a position. Offsets are
// from the line's origin (a typesetter's or a frame's lines, laid out from x = 0).

#include <cstdint>
#include <utility>

#include "platform/foundation/Range.h"
#include "platform/graphics/Geometry.h"
#include "platform/text/Line.h"

namespace ql::ct {

// The caret before the character at `index`: at its leading edge, the left edge of a left-to-right
// character and the right edge of a right-to-left one; past the line's characters, after the last one
// at its trailing edge (the line's width for left-to-right text). `secondary`, when given, receives the
// caret after the character before `index`, at its trailing edge: where the direction changes at `index`
// the two differ; at the line's start it is the primary one.
double offsetForStringIndex(const Line& line, std::uint64_t index, double* secondary = nullptr);

// The left and right ends of what the characters of `range` show on the line (right-to-left text among
// them may leave gaps between); both at the caret of its location when none of its characters is there.
std::pair<double, double> horizontalExtent(const Line& line, ns::Range range);

// The string index whose caret lies nearest to `position` (its y is not used): over the half of a
// character its caret leads from, that character's index, over the other half the index after it.
// Before the line's left end or past its right end, the caret at that end.
std::uint64_t stringIndexForPosition(const Line& line, cg::Point position);

}  // namespace ql::ct
