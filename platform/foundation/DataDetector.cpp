#include "platform/foundation/DataDetector.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/foundation/Calendar.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/RegularExpression.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UnicodeText.h"

namespace ql::ns {

namespace {

constexpr std::uint64_t DetectableTypes = TextCheckingTypeDate | TextCheckingTypeAddress | TextCheckingTypeLink |
                                          TextCheckingTypePhoneNumber | TextCheckingTypeTransitInformation;

const RegularExpression& expression(std::string_view pattern, unsigned options = 0) {
    // Each pattern is one of the few constants below, compiled once.
    static std::mutex mutex;
    static auto& compiled = *new std::map<std::string, RegularExpression, std::less<>>;
    std::lock_guard lock(mutex);
    auto found = compiled.find(pattern);
    if (found == compiled.end())
        found = compiled.emplace(std::string(pattern), *RegularExpression::regularExpressionWithPattern(pattern, options)).first;
    return found->second;
}

// The matched text of a group, as UTF-8.
struct Matched {
    const std::u16string& text;
    const TextCheckingResult& match;

    bool has(std::uint64_t group) const { return match.rangeAtIndex(group).location != NotFound; }
    std::string operator[](std::uint64_t group) const {
        Range r = match.rangeAtIndex(group);
        if (r.location == NotFound) return {};
        return fromUTF16(std::u16string_view(text).substr(r.location, r.length));
    }
};

// Links are web addresses or mail addresses, found left to right as the alternation of the two patterns
// would find them: at each place the web form first.
constexpr std::string_view WebLinkPattern =
    R"((?:\b(?:https?|ftp)://|\bwww\.)[^\s<>"'\x{3000}-\x{303F}\x{FF00}-\x{FFEF}]+)";
constexpr std::string_view MailLinkPattern = R"(\b[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,}\b)";
constexpr std::string_view PhonePattern = R"((?<![\w+])\+?\(?[0-9][[0-9]\s().-]{5,}[0-9](?!\w))";
constexpr std::string_view AddressPattern =
    R"(\b([0-9]{1,5}(?:\s+[A-Z][A-Za-z.]*){1,4}\s+(?:Street|St|Avenue|Ave|Road|Rd|Boulevard|Blvd|Lane|Ln|Drive|Dr|Way|Court|Ct|Place|Pl)\b\.?)(?:,\s*([A-Z][A-Za-z]+(?:\s[A-Z][A-Za-z]+)*))?(?:,\s*([A-Z]{2})(?:\s+([0-9]{5}))?)?)";
constexpr std::string_view MonthNames =
    "January|February|March|April|May|June|July|August|September|October|November|December|"
    "Jan|Feb|Mar|Apr|Jun|Jul|Aug|Sep|Sept|Oct|Nov|Dec";
constexpr std::string_view TimePattern = R"((?:,?\s*(?:at\s+)?([0-9]{1,2}):([0-9]{2})\s*(am|pm|AM|PM)?)?)";
constexpr std::string_view TransitPattern = R"(\b(?i:flight)\s+([A-Z]{2}|[A-Z][0-9]|[0-9][A-Z])\s?([0-9]{1,4})\b)";

std::int64_t monthNumber(std::string name) {
    static constexpr std::array<std::string_view, 12> months{"jan", "feb", "mar", "apr", "may", "jun",
                                                             "jul", "aug", "sep", "oct", "nov", "dec"};
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (std::size_t i = 0; i < months.size(); ++i) {
        if (name.compare(0, 3, months[i]) == 0) return static_cast<std::int64_t>(i + 1);
    }
    return 0;
}

std::optional<Date> makeDate(std::int64_t year, std::int64_t month, std::int64_t day, const Matched& m,
                             std::uint64_t hourGroup) {
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    DateComponents components;
    components.year = year;
    components.month = month;
    components.day = day;
    if (hourGroup && m.has(hourGroup)) {
        std::int64_t hour = std::stoll(m[hourGroup]);
        const std::int64_t minute = std::stoll(m[hourGroup + 1]);
        const std::string half = m[hourGroup + 2];
        if (!half.empty() && (half[0] == 'p' || half[0] == 'P') && hour < 12) hour += 12;
        if (!half.empty() && (half[0] == 'a' || half[0] == 'A') && hour == 12) hour = 0;
        if (hour > 23 || minute > 59) return std::nullopt;
        components.hour = hour;
        components.minute = minute;
    } else {
        // A day without a time stands for its noon, as the platform's detector reads it.
        components.hour = 12;
        components.minute = 0;
    }
    components.second = 0;
    Calendar calendar = Calendar::currentCalendar();
    auto date = calendar.dateFromComponents(components);
    // A day that does not exist (31 February) is no date.
    if (!date || calendar.components(CalendarUnitDay, *date).day != day) return std::nullopt;
    return date;
}

const icu::RegexPattern& compiledPattern(std::string_view pattern) {
    UParseError parseError{};
    UErrorCode status = U_ZERO_ERROR;
    auto* compiled = icu::RegexPattern::compile(detail::unicodeText(pattern), 0, parseError, status);
    if (U_FAILURE(status) || !compiled) throw Exception(InternalInconsistencyException, u_errorName(status));
    return *compiled;  // kept for the life of the process
}

bool isMailNameCharacter(char16_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::u16string_view(u"._%+-").find(c) != std::u16string_view::npos;
}

// The link matches of a text, in the order and extent the alternation of the web and mail patterns would
// give them. Left to the alternation, a mail address would be tried at every word boundary of a long run
// of name characters, each time to the end of the run: quadratic in the run. Here it is tried once per
// "@", at the first boundary of the run before it: a try from a later place in the run reads the same
// "@" and the same rest, so it ends the same way.
class LinkScanner {
public:
    explicit LinkScanner(icu::UnicodeString text) : text_(std::move(text)) {
        static const icu::RegexPattern& web = compiledPattern(WebLinkPattern);
        static const icu::RegexPattern& mail = compiledPattern(MailLinkPattern);
        static const icu::RegexPattern& boundary = compiledPattern(R"(\b)");
        web_ = matcher(web);
        mail_ = matcher(mail);
        boundary_ = matcher(boundary);
    }

    // The next link starting at `from` or later, as [start, end); nothing when there is none.
    std::optional<std::pair<std::int32_t, std::int32_t>> next(std::int32_t from) {
        if (web_.start < from) web_ = nextWeb(from);
        if (mail_.start < from) mail_ = nextMail(from);
        const Found& first = web_.start <= mail_.start ? web_ : mail_;
        if (first.start == kNone) return std::nullopt;
        return std::pair{first.start, first.end};
    }

private:
    static constexpr std::int32_t kNone = INT32_MAX;
    struct Found {
        std::int32_t start = -1;  // not looked for yet
        std::int32_t end = -1;
        std::unique_ptr<icu::RegexMatcher> matcher;
    };

    Found matcher(const icu::RegexPattern& pattern) {
        UErrorCode status = U_ZERO_ERROR;
        Found found;
        found.matcher.reset(pattern.matcher(text_, status));
        if (U_FAILURE(status)) throw Exception(InternalInconsistencyException, u_errorName(status));
        // What lies before a place is seen from it, as in one scan of the whole text.
        found.matcher->useTransparentBounds(true);
        return found;
    }

    // Tries `found`'s pattern from `at` to the text's end: anywhere in it, or only right at `at`.
    static bool tryFrom(Found& found, std::int32_t at, std::int32_t length, bool anywhere) {
        UErrorCode status = U_ZERO_ERROR;
        found.matcher->region(at, length, status);
        const bool matched = anywhere ? found.matcher->find(status) : found.matcher->lookingAt(status);
        if (U_FAILURE(status) || !matched) return false;
        found.start = found.matcher->start(status);
        found.end = found.matcher->end(status);
        return U_SUCCESS(status);
    }

    Found nextWeb(std::int32_t from) {
        Found found{kNone, kNone, std::move(web_.matcher)};
        if (!tryFrom(found, from, text_.length(), true)) found.start = found.end = kNone;
        return found;
    }

    Found nextMail(std::int32_t from) {
        Found found{kNone, kNone, std::move(mail_.matcher)};
        const std::int32_t length = text_.length();
        // An "@" right at `from` has no name before it that this search may take.
        for (std::int32_t at = text_.indexOf(u'@', from + 1); at >= 0; at = text_.indexOf(u'@', at + 1)) {
            std::int32_t run = at;
            while (run > from && isMailNameCharacter(text_.charAt(run - 1))) --run;
            for (std::int32_t start = run; start < at; ++start) {
                if (!tryFrom(boundary_, start, length, false)) continue;
                if (tryFrom(found, start, length, false)) return found;
                break;
            }
        }
        found.start = found.end = kNone;
        return found;
    }

    icu::UnicodeString text_;
    Found web_;
    Found mail_;
    Found boundary_;
};

void findLinks(const std::u16string& text, std::string_view, Range range, std::vector<TextCheckingResult>& out) {
    // Only the range is seen, as a search in it would see it.
    LinkScanner scanner(icu::UnicodeString(text.data() + range.location, static_cast<std::int32_t>(range.length)));
    for (auto link = scanner.next(0); link; link = scanner.next(link->second)) {
        Range r{range.location + static_cast<std::uint64_t>(link->first),
                static_cast<std::uint64_t>(link->second - link->first)};
        // Closing punctuation ends the sentence, not the link.
        while (r.length > 0 && std::u16string_view(u".,;:!?)]}'\"").find(text[r.end() - 1]) != std::u16string_view::npos)
            --r.length;
        std::string found = fromUTF16(std::u16string_view(text).substr(r.location, r.length));
        std::string address = found;
        if (found.find("://") == std::string::npos)
            address = found.find('@') != std::string::npos ? "mailto:" + found : "http://" + found;
        if (auto url = URL::fromString(address)) out.push_back(TextCheckingResult::linkCheckingResult(r, *url));
    }
}

void findPhoneNumbers(const std::u16string& text, std::string_view utf8, Range range,
                      std::vector<TextCheckingResult>& out) {
    for (const TextCheckingResult& match : expression(PhonePattern).matchesInString(utf8, 0, range)) {
        std::string number = Matched{text, match}[0];
        const auto digits = std::count_if(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (digits < 7 || digits > 15) continue;
        out.push_back(TextCheckingResult::phoneNumberCheckingResult(match.range(), number));
    }
}

void findAddresses(const std::u16string& text, std::string_view utf8, Range range,
                   std::vector<TextCheckingResult>& out) {
    for (const TextCheckingResult& match : expression(AddressPattern).matchesInString(utf8, 0, range)) {
        Matched m{text, match};
        Dictionary components;
        components["Street"] = m[1];
        if (m.has(2)) components["City"] = m[2];
        if (m.has(3)) components["State"] = m[3];
        if (m.has(4)) components["ZIP"] = m[4];
        out.push_back(TextCheckingResult::addressCheckingResult(match.range(), std::move(components)));
    }
}

void findDates(const std::u16string& text, std::string_view utf8, Range range, std::vector<TextCheckingResult>& out) {
    const std::string months(MonthNames);
    const std::string time(TimePattern);
    struct Form {
        std::string pattern;
        int year, month, day, hour;
        bool namedMonth;
    };
    const std::array<Form, 4> forms{{
        {R"(\b([0-9]{4})-([0-9]{1,2})-([0-9]{1,2})(?:[ T]([0-9]{1,2}):([0-9]{2})()?)?\b)", 1, 2, 3, 4, false},
        {R"(\b()" + months + R"()\.?\s+([0-9]{1,2})(?:st|nd|rd|th)?,?\s+([0-9]{4})\b)" + time, 3, 1, 2, 4, true},
        {R"(\b([0-9]{1,2})\s+()" + months + R"()\.?,?\s+([0-9]{4})\b)" + time, 3, 2, 1, 4, true},
        {R"(([0-9]{4})年([0-9]{1,2})月([0-9]{1,2})[日号](?:\s*([0-9]{1,2})[:：]([0-9]{2})()?)?)", 1, 2, 3, 4, false},
    }};
    for (const Form& form : forms) {
        for (const TextCheckingResult& match : expression(form.pattern).matchesInString(utf8, 0, range)) {
            Matched m{text, match};
            const std::int64_t month = form.namedMonth ? monthNumber(m[static_cast<std::uint64_t>(form.month)])
                                                       : std::stoll(m[static_cast<std::uint64_t>(form.month)]);
            auto date = makeDate(std::stoll(m[static_cast<std::uint64_t>(form.year)]), month,
                                 std::stoll(m[static_cast<std::uint64_t>(form.day)]), m,
                                 static_cast<std::uint64_t>(form.hour));
            if (date) out.push_back(TextCheckingResult::dateCheckingResult(match.range(), *date));
        }
    }
}

void findTransit(const std::u16string& text, std::string_view utf8, Range range, std::vector<TextCheckingResult>& out) {
    for (const TextCheckingResult& match : expression(TransitPattern).matchesInString(utf8, 0, range)) {
        Matched m{text, match};
        Dictionary components;
        components["Airline"] = m[1];
        components["Flight"] = m[2];
        out.push_back(TextCheckingResult::transitInformationCheckingResult(match.range(), std::move(components)));
    }
}

}  // namespace

std::optional<DataDetector> DataDetector::dataDetectorWithTypes(std::uint64_t types, Error* error) {
    if ((types & DetectableTypes) == 0 || (types & ~DetectableTypes) != 0) {
        if (error) *error = Error(std::string(CocoaErrorDomain), 2048);
        return std::nullopt;
    }
    return DataDetector(types);
}

std::vector<TextCheckingResult> DataDetector::matchesInString(std::string_view text, unsigned,
                                                              std::optional<Range> range) const {
    const std::u16string utf16 = toUTF16(text);
    const Range searched = range.value_or(Range{0, utf16.size()});
    std::vector<TextCheckingResult> found;
    // The kinds in the order they win a tie over the same characters.
    if (types_ & TextCheckingTypeLink) findLinks(utf16, text, searched, found);
    if (types_ & TextCheckingTypeDate) findDates(utf16, text, searched, found);
    if (types_ & TextCheckingTypeAddress) findAddresses(utf16, text, searched, found);
    if (types_ & TextCheckingTypeTransitInformation) findTransit(utf16, text, searched, found);
    if (types_ & TextCheckingTypePhoneNumber) findPhoneNumbers(utf16, text, searched, found);
    // Earlier finds first, the longer of two at one place; a find that overlaps one kept is dropped.
    std::stable_sort(found.begin(), found.end(), [](const TextCheckingResult& a, const TextCheckingResult& b) {
        if (a.range().location != b.range().location) return a.range().location < b.range().location;
        return a.range().length > b.range().length;
    });
    std::vector<TextCheckingResult> results;
    for (TextCheckingResult& result : found) {
        if (!results.empty() && result.range().location < results.back().range().end()) continue;
        results.push_back(std::move(result));
    }
    return results;
}

}  // namespace ql::ns
