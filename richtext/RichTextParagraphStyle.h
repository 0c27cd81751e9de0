#pragma once
// RichTextParagraphStyle: how the rich text import sets a paragraph. Besides what the platform's
// paragraph style holds (indents, spacing, line heights, alignment, writing direction, tab stops) it
// knows the lists and the blocks that enclose the paragraph, outermost first. It converts to and from
// the platform's paragraph style and writes itself as CSS.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/ParagraphStyleObject.h"
#include "richtext/RTCSSListStyle.h"
#include "richtext/RTTextBlock.h"

namespace ql {

class RichTextParagraphStyle final : public ns::Object {
    QL_OBJECT(RichTextParagraphStyle, ns::Object)
public:
    using TabStops = std::vector<ct::TextTab>;
    using TextLists = std::vector<std::shared_ptr<RTCSSListStyle>>;
    using TextBlocks = std::vector<std::shared_ptr<RTTextBlock>>;

    // Natural alignment and direction, tab stops every 36 points, everything else 0.
    RichTextParagraphStyle() = default;

    static std::shared_ptr<RichTextParagraphStyle> defaultParagraphStyle();
    // Every setting of the platform style; no tab stops when it has none.
    static std::shared_ptr<RichTextParagraphStyle> paragraphStyleWithCTParagraphStyle(const ct::ParagraphStyle& style);
    // Null stands for the platform's default paragraph style (whose tab interval is 0).
    static std::shared_ptr<RichTextParagraphStyle> paragraphStyleWithNSParagraphStyle(const ct::ParagraphStyleObject* style);

    // The platform style; lists and blocks are not part of it.
    ct::ParagraphStyle createCTParagraphStyle() const;
    std::shared_ptr<ct::ParagraphStyleObject> NSParagraphStyle() const;

    // An alignment past natural makes no tab stop and leaves the style as it was.
    void addTabStopAtPosition(double position, std::uint8_t alignment);
    // The declarations of alignment, line height, direction and margins ("text-align:center;…"); nothing
    // when all of them are at their defaults.
    std::optional<std::string> cssStyleRepresentation() const;

    // Lists, blocks and tab stops are compared only when the receiver has them, so a style without lists
    // matches one with lists but not the other way round. Lists compare as objects (the same list).
    bool isEqual(const ns::Object& other) const override;
    // Agrees with isEqual: only what every comparison looks at goes into it.
    std::size_t hash() const;
    std::shared_ptr<ns::Object> copy() const override;

    double firstLineHeadIndent = 0;
    double headIndent = 0;
    // The platform's sense: a right margin of m points is −m.
    double tailIndent = 0;
    double defaultTabInterval = 36;
    double paragraphSpacingBefore = 0;
    double paragraphSpacing = 0;
    double lineHeightMultiple = 0;
    double minimumLineHeight = 0;
    double maximumLineHeight = 0;
    ct::TextAlignment alignment = ct::TextAlignment::Natural;
    ct::WritingDirection baseWritingDirection = ct::WritingDirection::Natural;
    std::optional<TabStops> tabStops;
    std::optional<TextLists> textLists;
    std::optional<TextBlocks> textBlocks;
};

}  // namespace ql
