#pragma once
// ct::TextBreaks: where a text may be broken. Line-break opportunities follow the Unicode line breaking
// rules through ICU (between words, and between ideographs in Chinese and Japanese, never before closing
// punctuation); mandatory breaks follow line and paragraph separators; character boundaries are those of
// user-perceived characters, which neither a break nor a truncation may split. Positions are UTF-16
// indexes from 0 to the text's length; both ends are boundaries of every kind.

#include <cstdint>
#include <string_view>
#include <vector>

namespace ql::ct {

class TextBreaks {
public:
    explicit TextBreaks(std::u16string_view text);

    std::uint64_t length() const { return flags_.size() - 1; }
    bool isCharacterBoundary(std::uint64_t index) const { return flags_[index] & CharacterBoundary; }
    // A line may start at `index`.
    bool isLineBreak(std::uint64_t index) const { return flags_[index] & LineBreak; }
    // A line must start at `index`: the previous character ends a line or paragraph.
    bool isMandatoryBreak(std::uint64_t index) const { return flags_[index] & MandatoryBreak; }

    // The first character boundary after `index` (the length at the end).
    std::uint64_t nextCharacterBoundary(std::uint64_t index) const;
    // The first mandatory break after `index` (the length when there is none).
    std::uint64_t nextMandatoryBreak(std::uint64_t index) const;

private:
    enum : std::uint8_t { CharacterBoundary = 1, LineBreak = 2, MandatoryBreak = 4 };
    std::vector<std::uint8_t> flags_;
};

// Characters that end a line or paragraph and take no room on it.
bool isLineSeparator(char32_t c);
// Characters that hang past the end of a line instead of taking room on it.
bool isBreakingWhitespace(char32_t c);

}  // namespace ql::ct
