#pragma once
// ns::RegularExpression: a compiled pattern in the platform's regular-expression syntax, matched over
// texts with every position and range in UTF-16 code units. Immutable, so one expression may be used
// from several threads at once.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Range.h"
#include "platform/foundation/TextCheckingResult.h"

namespace ql::ns {

// With the platform's values.
enum RegularExpressionOptions : unsigned {
    RegularExpressionCaseInsensitive = 1u << 0,
    RegularExpressionAllowCommentsAndWhitespace = 1u << 1,
    RegularExpressionIgnoreMetacharacters = 1u << 2,
    RegularExpressionDotMatchesLineSeparators = 1u << 3,
    RegularExpressionAnchorsMatchLines = 1u << 4,
    RegularExpressionUseUnixLineSeparators = 1u << 5,
    RegularExpressionUseUnicodeWordBoundaries = 1u << 6,
};

enum MatchingOptions : unsigned {
    // Each match must start where the search range (or the previous match) ends.
    MatchingAnchored = 1u << 2,
    // Lookahead, lookbehind and word boundaries may see the text outside the search range.
    MatchingWithTransparentBounds = 1u << 3,
    // "^" and "$" match only at the text's own ends, not at those of the search range.
    MatchingWithoutAnchoringBounds = 1u << 4,
};

class RegularExpression {
public:
    // Nothing for a pattern that does not compile; `error` (when given) then receives the platform's error
    // (domain NSCocoaErrorDomain, code 2048, the pattern under "NSInvalidValue").
    static std::optional<RegularExpression> regularExpressionWithPattern(std::string_view pattern, unsigned options = 0,
                                                                         Error* error = nullptr);

    const std::string& pattern() const;
    unsigned options() const;
    std::uint64_t numberOfCaptureGroups() const;

    // Searches `range` of the text (all of it when absent); a range beyond the text raises
    // "NSRangeException".
    std::vector<TextCheckingResult> matchesInString(std::string_view text, unsigned options = 0,
                                                    std::optional<Range> range = std::nullopt) const;
    std::optional<TextCheckingResult> firstMatchInString(std::string_view text, unsigned options = 0,
                                                         std::optional<Range> range = std::nullopt) const;
    std::uint64_t numberOfMatchesInString(std::string_view text, unsigned options = 0,
                                          std::optional<Range> range = std::nullopt) const;
    // {NotFound, 0} when nothing matches.
    Range rangeOfFirstMatchInString(std::string_view text, unsigned options = 0,
                                    std::optional<Range> range = std::nullopt) const;

    // Each match in the range replaced by the template, in which "$0"…"$n" stand for the match and its
    // groups (digits are read while they name a group) and "\" takes the next character literally.
    std::string stringByReplacingMatchesInString(std::string_view text, unsigned options, std::optional<Range> range,
                                                 std::string_view replacementTemplate) const;

private:
    struct Impl;
    explicit RegularExpression(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
    std::shared_ptr<const Impl> impl_;
};

}  // namespace ql::ns
