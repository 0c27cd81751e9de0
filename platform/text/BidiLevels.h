#pragma once
// Bidirectional levels for the typesetter: the characters of each paragraph get the embedding levels of
// the Unicode bidirectional algorithm (ICU's), from the paragraph's base direction (natural: that of its
// first strong character, left to right when it has none). Even levels run left to right, odd ones right
// to left. Text that is left to right throughout keeps no levels at all, so that it costs one scan. For
// the text layer's own sources.

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/text/ParagraphStyle.h"

namespace ql::ct::detail {

class BidiLevels {
public:
    // `direction` gives the base direction of the paragraph that starts at a code unit.
    BidiLevels(std::u16string_view text, const std::function<WritingDirection(std::uint64_t)>& direction);

    // Whether every level is 0: left-to-right text in left-to-right paragraphs.
    bool isLeftToRight() const { return levels_.empty(); }
    // One level per UTF-16 code unit; empty when the text is left to right throughout.
    std::span<const std::uint8_t> levels() const { return levels_; }
    std::uint8_t levelAt(std::uint64_t index) const { return levels_.empty() ? 0 : levels_[index]; }
    // The level of the paragraph holding the code unit: 0 left to right, 1 right to left.
    std::uint8_t paragraphLevelAt(std::uint64_t index) const;

private:
    struct Paragraph {
        std::uint64_t start;
        std::uint8_t level;
    };
    std::vector<std::uint8_t> levels_;
    // In text order; empty when the text is left to right throughout.
    std::vector<Paragraph> paragraphs_;
};

// The order in which elements of the given levels show from left to right (the algorithm's reordering
// of a line): order[i] is the index of the element shown i-th.
std::vector<std::size_t> visualOrder(std::span<const std::uint8_t> levels);

// Whether the code unit ends a paragraph: a line feed, next line or paragraph separator, or a carriage
// return not followed by a line feed.
inline bool endsParagraphAt(std::u16string_view text, std::uint64_t index) {
    const char16_t c = text[index];
    if (c == u'\r') return index + 1 >= text.size() || text[index + 1] != u'\n';
    return c == u'\n' || c == 0x85 || c == 0x2029;
}

}  // namespace ql::ct::detail
