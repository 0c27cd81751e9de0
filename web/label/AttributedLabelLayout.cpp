#include <algorithm>
#include <cmath>

#include "platform/text/LinePositions.h"
#include "platform/ui/Font.h"
#include "web/label/AttributedLabel.h"

namespace ql {

namespace {

// Stands for an unbounded extent in every measurement.
constexpr double Unbounded = 100000;

// The measuring every size question shares: a single line at its full width, the first lines of a
// limited text, or all of it.
cg::Size suggestLabelFrameSize(const ct::Framesetter& framesetter, std::uint64_t length, double width, std::int64_t numberOfLines) {
    // A length that counts a truncation token beyond the text is held to the text.
    length = std::min(length, framesetter.attributedString().length());
    ns::Range range{0, length};
    cg::Size constraints{width, Unbounded};
    if (numberOfLines == 1) {
        constraints = {Unbounded, Unbounded};
    } else if (numberOfLines > 1) {
        ct::Frame frame = framesetter.createFrame({0, 0}, {0, 0, width, Unbounded});
        if (!frame.lines().empty()) {
            const std::size_t last = std::min<std::size_t>(static_cast<std::size_t>(numberOfLines), frame.lines().size()) - 1;
            range = {0, frame.lines()[last].stringRange().end()};
        }
    }
    if (range.length == 0) return {0, 0};
    cg::Size size = framesetter.suggestFrameSize(range, constraints);
    return {std::ceil(size.width), std::ceil(size.height)};
}

}  // namespace

std::shared_ptr<const ct::Framesetter> AttributedLabel::framesetter() const {
    if (framesetterOverride_) return framesetterOverride_;
    if (needsFramesetter_) {
        std::lock_guard lock(lock_);
        if (needsFramesetter_) {
            framesetter_ = std::make_shared<const ct::Framesetter>(renderedAttributedText());
            highlightFramesetter_.reset();
            needsFramesetter_ = false;
        }
    }
    std::lock_guard lock(lock_);
    return framesetter_;
}

cg::Size AttributedLabel::sizeThatFitsAttributedString(const std::optional<ct::AttributedString>& string,
                                                       cg::Size constraints, std::uint64_t numberOfLines) {
    if (!string || string->empty()) return {0, 0};
    ct::Framesetter framesetter(*string);
    return suggestLabelFrameSize(framesetter, string->length(), constraints.width, static_cast<std::int64_t>(numberOfLines));
}

cg::Size AttributedLabel::sizeThatFits(cg::Size size) const {
    if (!attributedText_) return ui::Label::sizeThatFits(size);
    std::uint64_t length = attributedText_->length();
    if (attributedTruncationToken_) length += attributedTruncationToken_->length();
    auto setter = framesetter();
    cg::Size fits = suggestLabelFrameSize(*setter, length, size.width, numberOfLines());
    return {fits.width + textInsets_.left + textInsets_.right, fits.height + textInsets_.top + textInsets_.bottom};
}

cg::Size AttributedLabel::intrinsicContentSize() const { return sizeThatFits(ui::Label::intrinsicContentSize()); }

cg::Rect AttributedLabel::textRectForBounds(const cg::Rect& bounds, std::int64_t lines) const {
    const cg::Rect inset = cg::insetRect(bounds, textInsets_);
    if (!attributedText_) return ui::Label::textRectForBounds(inset, lines);
    cg::Rect rect = inset;
    rect.size.height = std::max(font()->lineHeight() * static_cast<double>(std::max<std::int64_t>(2, lines)),
                                inset.size.height);
    auto setter = framesetter();
    const double textHeight =
        std::ceil(setter->suggestFrameSize({0, attributedText_->length()}, {inset.size.width, rect.size.height}).height);
    if (textHeight < inset.size.height) {
        switch (verticalAlignment_) {
        case LabelVerticalAlignment::Bottom: rect.origin.y += inset.size.height - textHeight; break;
        case LabelVerticalAlignment::Center: rect.origin.y += std::floor((inset.size.height - textHeight) / 2); break;
        default: break;
        }
    }
    return rect;
}

double AttributedLabel::flushFactor() const {
    switch (textAlignment()) {
    case ui::TextAlignment::Right: return 1;
    case ui::TextAlignment::Center: return 0.5;
    default: return 0;
    }
}

double AttributedLabel::lineStart(const ct::Frame& frame, std::size_t index, const ct::Line& line) const {
    const ct::LineRoom& room = frame.lineRooms()[index];
    return room.x + line.penOffsetForFlush(flushFactor(), room.width);
}

ct::Frame AttributedLabel::frameInRect(const cg::Rect& rect) const {
    auto setter = framesetter();
    return setter->createFrame({0, setter->attributedString().length()}, rect);
}

cg::Rect AttributedLabel::boundingRectForCharacterRange(ns::Range range) const {
    return boundingRectsForCharacterRanges({range}).front();
}

std::vector<cg::Rect> AttributedLabel::boundingRectsForCharacterRanges(const std::vector<ns::Range>& ranges) const {
    std::vector<cg::Rect> rects(ranges.size(), cg::Rect::null());
    if (!attributedText_) return rects;
    // The text set in the label's whole bounds from the top, as a text container of that size sets it.
    ct::Framesetter setter(*attributedText_);
    const cg::Size size = bounds().size;
    ct::Frame frame = setter.createFrame({0, 0}, {0, 0, size.width, size.height});
    const auto& lines = frame.lines();
    for (std::size_t r = 0; r < ranges.size(); ++r) {
        const ns::Range range = ranges[r];
        if (range.location == ns::NotFound) continue;
        // Lines follow the text in order: the search starts at the first line ending after the range starts.
        auto first = std::partition_point(lines.begin(), lines.end(),
                                          [&](const ct::Line& line) { return line.stringRange().end() <= range.location; });
        for (auto it = first; it != lines.end(); ++it) {
            const ns::Range lineRange = it->stringRange();
            if (lineRange.location >= range.end()) break;
            const std::uint64_t from = std::max(lineRange.location, range.location);
            const std::uint64_t to = std::min(lineRange.end(), range.end());
            if (from >= to) continue;
            const cg::Point origin = frame.lineOrigins()[static_cast<std::size_t>(it - lines.begin())];
            const auto [left, right] = ct::horizontalExtent(*it, {from, to - from});
            const double baseline = size.height - origin.y;
            const cg::Rect piece{origin.x + left, baseline - it->ascent(), right - left, it->ascent() + it->descent()};
            rects[r] = cg::rectUnion(rects[r], piece);
        }
    }
    return rects;
}

}  // namespace ql
