#include "platform/text/TextBreaks.h"

#include <unicode/brkiter.h>
#include <unicode/rbbi.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <climits>
#include <memory>
#include <string>

#include "platform/foundation/Exception.h"

namespace ql::ct {

namespace {

using BreakIteratorFactory = icu::BreakIterator* (*)(const icu::Locale&, UErrorCode&);

// Runs one ICU iterator over the text and marks each boundary it finds. Breaks use the root locale, so
// that the result does not depend on the host's language settings.
template <class Mark>
void forEachBoundary(BreakIteratorFactory make, const icu::UnicodeString& text, Mark mark) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(make(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !iterator)
        throw ns::Exception(ns::InternalInconsistencyException,
                            std::string("ICU break iterator unavailable: ") + u_errorName(status));
    iterator->setText(text);
    for (std::int32_t p = iterator->first(); p != icu::BreakIterator::DONE; p = iterator->next()) {
        mark(static_cast<std::uint64_t>(p), iterator->getRuleStatus());
    }
}

}  // namespace

TextBreaks::TextBreaks(std::u16string_view text) : flags_(text.size() + 1, 0) {
    if (text.size() > static_cast<std::size_t>(INT32_MAX))
        throw ns::Exception(ns::InvalidArgumentException, "text too long to lay out");
    const icu::UnicodeString alias(false, text.data(), static_cast<std::int32_t>(text.size()));
    forEachBoundary(&icu::BreakIterator::createCharacterInstance, alias,
                    [&](std::uint64_t p, std::int32_t) { flags_[p] |= CharacterBoundary; });
    forEachBoundary(&icu::BreakIterator::createLineInstance, alias, [&](std::uint64_t p, std::int32_t status) {
        flags_[p] |= LineBreak;
        if (p > 0 && status >= UBRK_LINE_HARD && status < UBRK_LINE_HARD_LIMIT) flags_[p] |= MandatoryBreak;
    });
    flags_.front() |= CharacterBoundary | LineBreak;
    flags_.back() |= CharacterBoundary | LineBreak | MandatoryBreak;
}

std::uint64_t TextBreaks::nextCharacterBoundary(std::uint64_t index) const {
    std::uint64_t p = index + 1;
    while (p < length() && !isCharacterBoundary(p)) ++p;
    return std::min(p, length());
}

std::uint64_t TextBreaks::nextMandatoryBreak(std::uint64_t index) const {
    std::uint64_t p = index + 1;
    while (p < length() && !isMandatoryBreak(p)) ++p;
    return std::min(p, length());
}

bool isLineSeparator(char32_t c) {
    return c == U'\n' || c == U'\r' || c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isBreakingWhitespace(char32_t c) {
    // Space separators except the no-break ones, tabs and the line separators.
    if (c == 0xA0 || c == 0x2007 || c == 0x202F) return false;
    return c == U'\t' || isLineSeparator(c) || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

}  // namespace ql::ct
