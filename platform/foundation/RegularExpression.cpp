#include "platform/foundation/RegularExpression.h"

#include <unicode/regex.h>

#include <functional>

#include "platform/foundation/Exception.h"
#include "platform/foundation/UnicodeText.h"

namespace ql::ns {

struct RegularExpression::Impl {
    std::string pattern;
    unsigned options = 0;
    std::unique_ptr<icu::RegexPattern> compiled;
    std::uint64_t groups = 0;

    // Calls `found` for each match in the range until it answers false.
    void forEachMatch(const icu::UnicodeString& text, unsigned matching, std::optional<Range> range,
                      const std::function<bool(const icu::RegexMatcher&)>& found) const;
};

namespace {

std::uint32_t icuFlags(unsigned options) {
    std::uint32_t flags = 0;
    if (options & RegularExpressionCaseInsensitive) flags |= UREGEX_CASE_INSENSITIVE;
    if (options & RegularExpressionAllowCommentsAndWhitespace) flags |= UREGEX_COMMENTS;
    if (options & RegularExpressionIgnoreMetacharacters) flags |= UREGEX_LITERAL;
    if (options & RegularExpressionDotMatchesLineSeparators) flags |= UREGEX_DOTALL;
    if (options & RegularExpressionAnchorsMatchLines) flags |= UREGEX_MULTILINE;
    if (options & RegularExpressionUseUnixLineSeparators) flags |= UREGEX_UNIX_LINES;
    if (options & RegularExpressionUseUnicodeWordBoundaries) flags |= UREGEX_UWORD;
    return flags;
}

Range groupRange(const icu::RegexMatcher& matcher, std::int32_t group) {
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t start = matcher.start(group, status);
    std::int32_t end = matcher.end(group, status);
    if (U_FAILURE(status) || start < 0) return Range{NotFound, 0};
    return Range{static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(end - start)};
}

TextCheckingResult checkingResult(const icu::RegexMatcher& matcher, std::uint64_t groups) {
    TextCheckingResult result;
    result.ranges.reserve(groups + 1);
    for (std::uint64_t group = 0; group <= groups; ++group)
        result.ranges.push_back(groupRange(matcher, static_cast<std::int32_t>(group)));
    return result;
}

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The template with "$n" replaced by the groups of the match and "\x" by x.
void appendExpandedTemplate(icu::UnicodeString& out, const icu::UnicodeString& replacement,
                            const icu::UnicodeString& text, const icu::RegexMatcher& matcher, std::uint64_t groups) {
    const std::int32_t length = replacement.length();
    for (std::int32_t i = 0; i < length;) {
        char16_t c = replacement.charAt(i);
        if (c == u'\\' && i + 1 < length) {
            out.append(replacement.charAt(i + 1));
            i += 2;
        } else if (c == u'$' && i + 1 < length && isDigit(replacement.charAt(i + 1))) {
            std::uint64_t group = replacement.charAt(i + 1) - u'0';
            i += 2;
            while (i < length && isDigit(replacement.charAt(i)) &&
                   group * 10 + (replacement.charAt(i) - u'0') <= groups) {
                group = group * 10 + (replacement.charAt(i) - u'0');
                ++i;
            }
            if (group > groups) continue;
            Range range = groupRange(matcher, static_cast<std::int32_t>(group));
            if (!range.isNotFound())
                out.append(text, static_cast<std::int32_t>(range.location), static_cast<std::int32_t>(range.length));
        } else {
            out.append(c);
            ++i;
        }
    }
}

}  // namespace

void RegularExpression::Impl::forEachMatch(const icu::UnicodeString& text, unsigned matching,
                                           std::optional<Range> range,
                                           const std::function<bool(const icu::RegexMatcher&)>& found) const {
    const auto length = static_cast<std::uint64_t>(text.length());
    Range searched = range.value_or(Range{0, length});
    if (searched.location > length || searched.length > length - searched.location)
        throw Exception(RangeException,
                        "Range " + searched.description() + " out of bounds; string length " + std::to_string(length));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(text, status));
    if (U_FAILURE(status)) throw Exception(InternalInconsistencyException, u_errorName(status));
    matcher->region(static_cast<int64_t>(searched.location), static_cast<int64_t>(searched.end()), status);
    matcher->useTransparentBounds(matching & MatchingWithTransparentBounds);
    matcher->useAnchoringBounds(!(matching & MatchingWithoutAnchoringBounds));
    std::int32_t expectedStart = static_cast<std::int32_t>(searched.location);
    while (matcher->find(status) && U_SUCCESS(status)) {
        if ((matching & MatchingAnchored) && matcher->start(status) != expectedStart) break;
        if (!found(*matcher)) break;
        expectedStart = matcher->end(status);
    }
}

std::optional<RegularExpression> RegularExpression::regularExpressionWithPattern(std::string_view pattern,
                                                                                 unsigned options, Error* error) {
    auto impl = std::make_shared<Impl>();
    impl->pattern = std::string(pattern);
    impl->options = options;
    UParseError parseError{};
    UErrorCode status = U_ZERO_ERROR;
    impl->compiled.reset(
        icu::RegexPattern::compile(detail::unicodeText(pattern), icuFlags(options), parseError, status));
    if (U_FAILURE(status) || !impl->compiled) {
        if (error) *error = Error(std::string(CocoaErrorDomain), 2048, Dictionary{{"NSInvalidValue", Value(pattern)}});
        return std::nullopt;
    }
    status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> probe(impl->compiled->matcher(status));
    impl->groups = probe && U_SUCCESS(status) ? static_cast<std::uint64_t>(probe->groupCount()) : 0;
    return RegularExpression(std::move(impl));
}

const std::string& RegularExpression::pattern() const { return impl_->pattern; }
unsigned RegularExpression::options() const { return impl_->options; }
std::uint64_t RegularExpression::numberOfCaptureGroups() const { return impl_->groups; }

std::vector<TextCheckingResult> RegularExpression::matchesInString(std::string_view text, unsigned options,
                                                                   std::optional<Range> range) const {
    std::vector<TextCheckingResult> results;
    impl_->forEachMatch(detail::unicodeText(text), options, range, [&](const icu::RegexMatcher& matcher) {
        results.push_back(checkingResult(matcher, impl_->groups));
        return true;
    });
    return results;
}

std::optional<TextCheckingResult> RegularExpression::firstMatchInString(std::string_view text, unsigned options,
                                                                        std::optional<Range> range) const {
    std::optional<TextCheckingResult> first;
    impl_->forEachMatch(detail::unicodeText(text), options, range, [&](const icu::RegexMatcher& matcher) {
        first = checkingResult(matcher, impl_->groups);
        return false;
    });
    return first;
}

std::uint64_t RegularExpression::numberOfMatchesInString(std::string_view text, unsigned options,
                                                         std::optional<Range> range) const {
    std::uint64_t count = 0;
    impl_->forEachMatch(detail::unicodeText(text), options, range, [&](const icu::RegexMatcher&) {
        ++count;
        return true;
    });
    return count;
}

Range RegularExpression::rangeOfFirstMatchInString(std::string_view text, unsigned options,
                                                   std::optional<Range> range) const {
    Range first{NotFound, 0};
    impl_->forEachMatch(detail::unicodeText(text), options, range, [&](const icu::RegexMatcher& matcher) {
        first = groupRange(matcher, 0);
        return false;
    });
    return first;
}

std::string RegularExpression::stringByReplacingMatchesInString(std::string_view text, unsigned options,
                                                                std::optional<Range> range,
                                                                std::string_view replacementTemplate) const {
    const icu::UnicodeString unicode = detail::unicodeText(text);
    const icu::UnicodeString replacement = detail::unicodeText(replacementTemplate);
    icu::UnicodeString out;
    std::int32_t copied = 0;
    impl_->forEachMatch(unicode, options, range, [&](const icu::RegexMatcher& matcher) {
        Range match = groupRange(matcher, 0);
        out.append(unicode, copied, static_cast<std::int32_t>(match.location) - copied);
        appendExpandedTemplate(out, replacement, unicode, matcher, impl_->groups);
        copied = static_cast<std::int32_t>(match.end());
        return true;
    });
    out.append(unicode, copied, unicode.length() - copied);
    return detail::utf8Text(out);
}

}  // namespace ql::ns
