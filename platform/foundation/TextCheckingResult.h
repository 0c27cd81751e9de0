#pragma once
// ns::TextCheckingResult: what a search found in a text: the whole match and each capture group, as
// UTF-16 ranges. A group that took no part in the match has the range {NotFound, 0}.

#include <cstdint>
#include <vector>

#include "platform/foundation/Range.h"

namespace ql::ns {

struct TextCheckingResult {
    // The whole match first, then one per capture group.
    std::vector<Range> ranges;

    Range range() const { return ranges.empty() ? Range{NotFound, 0} : ranges.front(); }
    std::uint64_t numberOfRanges() const { return ranges.size(); }
    // {NotFound, 0} beyond the last group.
    Range rangeAtIndex(std::uint64_t index) const { return index < ranges.size() ? ranges[index] : Range{NotFound, 0}; }
};

}  // namespace ql::ns
