#pragma once
// ns::TextCheckingResult: what a search found in a text: the whole match and each capture group, as
// UTF-16 ranges, with the kind of the find and what it stands for. A group that took no part in the
// match has the range {NotFound, 0}. Regular expressions give the regular-expression kind; a data
// detector gives links, phone numbers, addresses, dates and transit information with their payloads.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Range.h"
#include "platform/foundation/TimeZone.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

// With the platform's values; a data detector's types are a mask of them.
enum TextCheckingType : std::uint64_t {
    TextCheckingTypeOrthography = 1ull << 0,
    TextCheckingTypeSpelling = 1ull << 1,
    TextCheckingTypeGrammar = 1ull << 2,
    TextCheckingTypeDate = 1ull << 3,
    TextCheckingTypeAddress = 1ull << 4,
    TextCheckingTypeLink = 1ull << 5,
    TextCheckingTypeQuote = 1ull << 6,
    TextCheckingTypeDash = 1ull << 7,
    TextCheckingTypeReplacement = 1ull << 8,
    TextCheckingTypeCorrection = 1ull << 9,
    TextCheckingTypeRegularExpression = 1ull << 10,
    TextCheckingTypePhoneNumber = 1ull << 11,
    TextCheckingTypeTransitInformation = 1ull << 12,
};

struct TextCheckingResult {
    // The whole match first, then one per capture group.
    std::vector<Range> ranges;
    std::uint64_t resultType = TextCheckingTypeRegularExpression;
    // A link's URL.
    std::optional<ns::URL> URL;
    // A phone number as written.
    std::string phoneNumber;
    // A date's moment, with its time zone and length when the text gave them.
    std::optional<Date> date;
    std::optional<TimeZone> timeZone;
    double duration = 0;
    // An address's or transit information's parts ("Street", "City", "ZIP"; "Airline", "Flight").
    Dictionary components;

    Range range() const { return ranges.empty() ? Range{NotFound, 0} : ranges.front(); }
    std::uint64_t numberOfRanges() const { return ranges.size(); }
    // {NotFound, 0} beyond the last group.
    Range rangeAtIndex(std::uint64_t index) const { return index < ranges.size() ? ranges[index] : Range{NotFound, 0}; }

    static TextCheckingResult linkCheckingResult(Range range, ns::URL url);
    static TextCheckingResult phoneNumberCheckingResult(Range range, std::string phoneNumber);
    static TextCheckingResult addressCheckingResult(Range range, Dictionary components);
    static TextCheckingResult dateCheckingResult(Range range, Date date);
    static TextCheckingResult dateCheckingResult(Range range, Date date, std::optional<TimeZone> timeZone,
                                                 double duration);
    static TextCheckingResult transitInformationCheckingResult(Range range, Dictionary components);
    // Any other kind over a range, without a payload.
    static TextCheckingResult checkingResult(std::uint64_t type, Range range);
};

}  // namespace ql::ns
