#include "platform/text/TextLayout.h"

#include <algorithm>
#include <cmath>

#include "platform/text/LinePositions.h"

namespace ql::ct {

namespace {

constexpr char16_t Ellipsis[] = u"\u2026";

// The token that stands for left-out text, in the style of the text it replaces.
Line truncationToken(const Typesetter& typesetter, std::uint64_t at) {
    const TextStyle& style = typesetter.text().runs()[typesetter.text().runIndexAt(at)].style;
    return Typesetter(StyledText(Ellipsis, {{{0, 1}, style}})).createLine({0, 1});
}

// Tail truncation of the rest of a paragraph; when text goes on after it, the token shows even if the
// paragraph itself fits.
Line truncateTail(const Line& paragraph, bool textFollows, double width, const Line& token) {
    if (textFollows && paragraph.visibleWidth() <= width + LayoutTolerance) {
        Line withToken = paragraph.appending(token);
        if (withToken.visibleWidth() <= width + LayoutTolerance) return withToken;
        return withToken.truncated(width, LineTruncationType::End, token).value_or(paragraph.prefix(width));
    }
    return paragraph.truncated(width, LineTruncationType::End, token).value_or(paragraph.prefix(width));
}

// Where the line or paragraph separator that ends `range` starts, else its end.
std::uint64_t separatorStart(const Typesetter& typesetter, ns::Range range) {
    const std::uint64_t end = range.end();
    if (range.length == 0 || !isLineSeparator(typesetter.text().string()[end - 1])) return end;
    // A carriage return and line feed are one character.
    std::uint64_t start = end - 1;
    while (start > range.location && !typesetter.breaks().isCharacterBoundary(start)) --start;
    return start;
}

}  // namespace

double TextLayout::PlacedLine::caretOffset(std::uint64_t index) const {
    return origin.x + offsetForStringIndex(line, index);
}

std::uint64_t TextLayout::PlacedLine::stringIndexAt(double x) const {
    return std::min(stringIndexForPosition(line, {x - origin.x, 0}), caretEnd);
}

std::size_t TextLayout::lineIndexForStringIndex(std::uint64_t index) const {
    // Lines follow one another in text order.
    const auto after = std::partition_point(lines_.begin(), lines_.end(), [&](const PlacedLine& placed) {
        return placed.line.stringRange().location <= index;
    });
    return after == lines_.begin() ? 0 : static_cast<std::size_t>(after - lines_.begin()) - 1;
}

std::size_t TextLayout::lineIndexAtHeight(double y) const {
    const auto after = std::partition_point(lines_.begin(), lines_.end(), [&](const PlacedLine& placed) { return placed.top <= y; });
    return after == lines_.begin() ? 0 : static_cast<std::size_t>(after - lines_.begin()) - 1;
}

TextLayout::TextLayout(const Typesetter& typesetter, const ParagraphStyle& style, const LayoutBox& box)
    : style_(style), box_(box) {
    auto lineHeight = [&](const Line& line) {
        return line.ascent() + line.descent() + (box.usesFontLeading ? line.leading() : 0);
    };
    const bool byCharacter = style.lineBreakMode == LineBreakMode::CharWrapping;
    std::vector<Line> lines;
    double height = 0;
    for (std::uint64_t start = 0; start < typesetter.length();) {
        if (box.maximumNumberOfLines > 0 && lines.size() == box.maximumNumberOfLines) {
            truncated_ = true;
            break;
        }
        std::uint64_t count = byCharacter ? typesetter.suggestClusterBreak(start, box.width)
                                          : typesetter.suggestLineBreak(start, box.width);
        Line line = typesetter.createLine({start, count});
        if (!lines.empty() && height + lineHeight(line) > box.height + LayoutTolerance) {
            truncated_ = true;
            break;
        }
        height += lineHeight(line);
        lines.push_back(std::move(line));
        start += count;
    }
    if (truncated_) lines.back() = lastVisibleLine(typesetter, lines.back());

    double widest = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        double visible = lines[i].visibleWidth();
        if (clips_ && i + 1 == lines.size()) visible = std::min(visible, box.width);
        widest = std::max(widest, visible);
    }
    const double flushWidth = std::isfinite(box.width) ? box.width : widest;
    double y = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool last = i + 1 == lines.size();
        const std::uint64_t end = lines[i].stringRange().end();
        const std::uint64_t caretEnd = separatorStart(typesetter, lines[i].stringRange());
        const bool endsParagraph = end >= typesetter.length() || typesetter.breaks().isMandatoryBreak(end);
        Line shown = style.alignment == TextAlignment::Justified && !endsParagraph && !(last && truncated_)
                         ? lines[i].justified(flushWidth)
                         : std::move(lines[i]);
        const double flush = flushFactor(style.alignment, shown.isRightToLeft());
        cg::Point origin{shown.penOffsetForFlush(flush, flushWidth), y + shown.ascent()};
        double top = y;
        y += lineHeight(shown);
        lines_.push_back({std::move(shown), origin, top, caretEnd});
    }
    size_ = {widest, y};
}

Line TextLayout::lastVisibleLine(const Typesetter& typesetter, const Line& wrapped) {
    const std::uint64_t start = wrapped.stringRange().location;
    const std::uint64_t paragraphEnd = typesetter.breaks().nextMandatoryBreak(start);
    const bool textFollows = paragraphEnd < typesetter.length();
    const double width = box_.width;
    auto paragraph = [&] { return typesetter.createLine({start, paragraphEnd - start}); };
    switch (style_.lineBreakMode) {
    case LineBreakMode::Clipping:
        clips_ = std::isfinite(width);
        return paragraph();
    case LineBreakMode::TruncatingHead:
    case LineBreakMode::TruncatingMiddle: {
        Line rest = paragraph();
        auto type = style_.lineBreakMode == LineBreakMode::TruncatingHead ? LineTruncationType::Start
                                                                           : LineTruncationType::Middle;
        return rest.truncated(width, type, truncationToken(typesetter, start)).value_or(rest.prefix(width));
    }
    case LineBreakMode::TruncatingTail:
        return truncateTail(paragraph(), textFollows, width, truncationToken(typesetter, start));
    case LineBreakMode::WordWrapping:
    case LineBreakMode::CharWrapping:
        break;
    }
    if (!box_.truncatesLastVisibleLine) return wrapped;
    return truncateTail(paragraph(), textFollows, width, truncationToken(typesetter, start));
}

void TextLayout::draw(cg::Context& context, cg::Point origin) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const PlacedLine& placed = lines_[i];
        const bool clip = clips_ && i + 1 == lines_.size();
        if (clip) {
            context.saveGState();
            // Only the sides are cut; ascenders and descenders stay whole.
            double margin = placed.line.height() * 2;
            context.clipToRect({origin.x, origin.y + placed.top - margin, box_.width, placed.line.height() + 2 * margin});
        }
        placed.line.draw(context, {1, 0, 0, -1, origin.x + placed.origin.x, origin.y + placed.origin.y});
        if (clip) context.restoreGState();
    }
}

}  // namespace ql::ct
