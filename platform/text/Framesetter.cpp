#include "platform/text/Framesetter.h"

#include <algorithm>

#include "platform/foundation/Exception.h"
#include "platform/text/AttributeValues.h"

namespace ql::ct {

namespace {

double lineHeight(const Line& line, const ParagraphStyle& style) {
    double height = line.ascent() + line.descent() + line.leading();
    if (style.lineHeightMultiple > 0) height *= style.lineHeightMultiple;
    if (style.minimumLineHeight > 0) height = std::max(height, style.minimumLineHeight);
    if (style.maximumLineHeight > 0) height = std::min(height, style.maximumLineHeight);
    return height;
}

}  // namespace

Framesetter::Framesetter(AttributedString string)
    : string_(std::move(string)), typesetter_(std::make_unique<Typesetter>(styledTextFromAttributedString(string_))) {}

ns::Range Framesetter::resolve(ns::Range range) const {
    const std::uint64_t length = string_.length();
    if (range.location > length || (range.length > 0 && range.end() > length))
        throw ns::Exception(ns::RangeException,
                            "range " + range.description() + " out of bounds; length " + std::to_string(length));
    if (range.length == 0) range.length = length - range.location;
    return range;
}

Framesetter::Layout Framesetter::layOut(ns::Range range, cg::Size size) const {
    Layout layout;
    if (range.length == 0) return layout;
    const TextBreaks& breaks = typesetter_->breaks();
    auto paragraphStart = [&](std::uint64_t index) {
        while (index > 0 && !breaks.isMandatoryBreak(index)) --index;
        return index;
    };
    ParagraphStyle style = paragraphStyleFromAttributes(string_.attributesAtIndex(paragraphStart(range.location)));
    double y = 0;
    // Spacing owed before the next line: between lines, or after a paragraph and before the next one.
    double pending = 0;
    for (std::uint64_t start = range.location; start < range.end();) {
        const bool firstOfParagraph = start == 0 || breaks.isMandatoryBreak(start);
        if (firstOfParagraph && start != range.location)
            style = paragraphStyleFromAttributes(string_.attributesAtIndex(start));
        // Indents measure from the paragraph's leading edge: the right one for right-to-left text.
        const double head = firstOfParagraph ? style.firstLineHeadIndent : style.headIndent;
        const double tail = style.tailIndent > 0 ? style.tailIndent : size.width + style.tailIndent;
        const double available = std::max(0.0, tail - head);

        std::uint64_t count = style.lineBreakMode == LineBreakMode::CharWrapping
                                  ? typesetter_->suggestClusterBreak(start, available)
                                  : typesetter_->suggestLineBreak(start, available);
        count = std::min(count, range.end() - start);
        Line line = typesetter_->createLine({start, count});
        const std::uint64_t end = start + count;
        const bool endsParagraph = end >= string_.length() || breaks.isMandatoryBreak(end);
        if (style.alignment == TextAlignment::Justified && !endsParagraph) line = line.justified(available);

        if (!layout.lines.empty()) y += pending + style.lineSpacing;
        if (firstOfParagraph && !layout.lines.empty()) y += style.paragraphSpacingBefore;
        const double height = lineHeight(line, style);
        if (y + height > size.height + LayoutTolerance) break;
        const double roomX = line.isRightToLeft() ? size.width - head - available : head;
        const double x = roomX + line.penOffsetForFlush(flushFactor(style.alignment, line.isRightToLeft()), available);
        layout.width = std::max(layout.width, head + line.visibleWidth());
        y += height;
        layout.baselines.push_back({x, y - line.descent()});
        layout.rooms.push_back({roomX, available});
        layout.lines.push_back(std::move(line));
        layout.height = y;
        pending = endsParagraph ? style.paragraphSpacing : 0;
        start = end;
    }
    return layout;
}

Frame Framesetter::createFrame(ns::Range range, const cg::Rect& rect) const {
    range = resolve(range);
    Layout layout = layOut(range, rect.size);
    std::vector<cg::Point> origins;
    origins.reserve(layout.baselines.size());
    for (const cg::Point& baseline : layout.baselines) origins.push_back({baseline.x, rect.size.height - baseline.y});
    return Frame(range, rect, std::move(layout.lines), std::move(origins), std::move(layout.rooms));
}

cg::Size Framesetter::suggestFrameSize(ns::Range range, cg::Size constraints, ns::Range* fitRange) const {
    range = resolve(range);
    Layout layout = layOut(range, constraints);
    if (fitRange) {
        *fitRange = {range.location, layout.lines.empty() ? 0 : layout.lines.back().stringRange().end() - range.location};
    }
    return {layout.width, layout.height};
}

Line createLine(const AttributedString& string) {
    return Typesetter(styledTextFromAttributedString(string)).createLine({0, string.length()});
}

}  // namespace ql::ct
