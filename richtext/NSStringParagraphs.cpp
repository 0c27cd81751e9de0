#include "richtext/NSStringParagraphs.h"

#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"

namespace ql {

namespace {

bool isParagraphSeparator(char16_t c) { return c == u'\n' || c == u'\r' || c == u'\u0085' || c == u'\u2029'; }

}  // namespace

ns::Range rangeOfParagraphAtIndex(std::u16string_view text, std::uint64_t index) {
    if (index > text.size())
        throw ns::Exception(ns::RangeException, "Index " + std::to_string(index) + " out of bounds; string length " +
                                                    std::to_string(text.size()));
    std::uint64_t start = index;
    // The "\n" of a "\r\n" pair ends the paragraph its "\r" ends.
    if (start < text.size() && text[start] == u'\n' && start > 0 && text[start - 1] == u'\r') --start;
    while (start > 0 && !isParagraphSeparator(text[start - 1])) --start;
    std::uint64_t end = index;
    while (end < text.size() && !isParagraphSeparator(text[end])) ++end;
    if (end < text.size()) {
        const bool pair = text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n';
        end += pair ? 2 : 1;
    }
    return {start, end - start};
}

ns::Range rangeOfParagraphAtIndex(std::string_view text, std::uint64_t index) {
    return rangeOfParagraphAtIndex(ns::toUTF16(text), index);
}

}  // namespace ql
