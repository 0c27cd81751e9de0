#include "platform/ui/SegmentedControl.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/StringDrawing.h"
#include "platform/ui/Touch.h"

namespace ql::ui {

namespace {

const std::shared_ptr<Font>& segmentFont() {
    static const auto& font = *new std::shared_ptr<Font>(Font::systemFontOfSize(13));
    return font;
}

constexpr double kSegmentPadding = 10;

}  // namespace

SegmentedControl::SegmentedControl(const cg::Rect& frame) : Control(frame) {
    setOpaque(false);
    setContentMode(ContentMode::Redraw);
}

SegmentedControl::SegmentedControl(const std::vector<Item>& items) : SegmentedControl(cg::Rect::zero()) {
    for (const auto& item : items) {
        Segment s;
        if (const auto* title = std::get_if<std::string>(&item)) s.title = *title;
        else s.image = std::get<std::shared_ptr<Image>>(item);
        segments_.push_back(std::move(s));
    }
    setFrame({{0, 0}, sizeThatFits({0, 0})});
}

void SegmentedControl::changed() {
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
}

void SegmentedControl::insertSegmentWithTitle(std::optional<std::string> title, std::uint64_t index, bool) {
    index = std::min<std::uint64_t>(index, segments_.size());
    Segment s;
    s.title = std::move(title);
    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(index), std::move(s));
    if (selected_ >= static_cast<std::int64_t>(index)) ++selected_;
    changed();
}

void SegmentedControl::insertSegmentWithImage(std::shared_ptr<Image> image, std::uint64_t index, bool) {
    index = std::min<std::uint64_t>(index, segments_.size());
    Segment s;
    s.image = std::move(image);
    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(index), std::move(s));
    if (selected_ >= static_cast<std::int64_t>(index)) ++selected_;
    changed();
}

void SegmentedControl::removeSegmentAtIndex(std::uint64_t index, bool) {
    if (index >= segments_.size()) return;
    segments_.erase(segments_.begin() + static_cast<std::ptrdiff_t>(index));
    if (selected_ == static_cast<std::int64_t>(index)) selected_ = SegmentedControlNoSegment;
    else if (selected_ > static_cast<std::int64_t>(index)) --selected_;
    changed();
}

void SegmentedControl::removeAllSegments() {
    segments_.clear();
    selected_ = SegmentedControlNoSegment;
    changed();
}

void SegmentedControl::setTitle(std::optional<std::string> title, std::uint64_t index) {
    if (index >= segments_.size()) return;
    segments_[index].title = std::move(title);
    segments_[index].image.reset();
    changed();
}

std::optional<std::string> SegmentedControl::titleForSegmentAtIndex(std::uint64_t index) const {
    return index < segments_.size() ? segments_[index].title : std::nullopt;
}

void SegmentedControl::setImage(std::shared_ptr<Image> image, std::uint64_t index) {
    if (index >= segments_.size()) return;
    segments_[index].image = std::move(image);
    segments_[index].title.reset();
    changed();
}

std::shared_ptr<Image> SegmentedControl::imageForSegmentAtIndex(std::uint64_t index) const {
    return index < segments_.size() ? segments_[index].image : nullptr;
}

void SegmentedControl::setWidth(double width, std::uint64_t index) {
    if (index >= segments_.size()) return;
    segments_[index].width = std::max(0.0, width);
    changed();
}

double SegmentedControl::widthForSegmentAtIndex(std::uint64_t index) const {
    return index < segments_.size() ? segments_[index].width : 0;
}

void SegmentedControl::setEnabled(bool enabled, std::uint64_t index) {
    if (index >= segments_.size()) return;
    segments_[index].enabled = enabled;
    setNeedsDisplay();
}

bool SegmentedControl::isEnabledForSegmentAtIndex(std::uint64_t index) const {
    return index < segments_.size() && segments_[index].enabled;
}

void SegmentedControl::setSelectedSegmentIndex(std::int64_t index) {
    if (index < SegmentedControlNoSegment || index >= static_cast<std::int64_t>(segments_.size())) return;
    selected_ = index;
    setNeedsDisplay();
}

void SegmentedControl::setApportionsSegmentWidthsByContent(bool byContent) {
    byContent_ = byContent;
    setNeedsDisplay();
}

double SegmentedControl::contentWidth(const Segment& segment) const {
    if (segment.image) return segment.image->size().width + 2 * kSegmentPadding;
    return std::ceil(sizeWithFont(segment.title.value_or(""), *segmentFont()).width) + 2 * kSegmentPadding;
}

std::vector<double> SegmentedControl::segmentWidths(double total) const {
    std::vector<double> widths(segments_.size(), 0);
    double fixed = 0;
    std::size_t free = 0;
    for (std::size_t i = 0; i < segments_.size(); ++i) {
        if (segments_[i].width > 0) {
            widths[i] = segments_[i].width;
            fixed += widths[i];
        } else {
            ++free;
        }
    }
    const double rest = std::max(0.0, total - fixed);
    if (byContent_) {
        double content = 0;
        for (std::size_t i = 0; i < segments_.size(); ++i) {
            if (segments_[i].width <= 0) content += contentWidth(segments_[i]);
        }
        for (std::size_t i = 0; i < segments_.size(); ++i) {
            if (segments_[i].width <= 0) widths[i] = content > 0 ? rest * contentWidth(segments_[i]) / content : 0;
        }
    } else {
        for (std::size_t i = 0; i < segments_.size(); ++i) {
            if (segments_[i].width <= 0) widths[i] = free ? rest / static_cast<double>(free) : 0;
        }
    }
    return widths;
}

cg::Rect SegmentedControl::rectForSegmentAtIndex(std::uint64_t index) const {
    if (index >= segments_.size()) return cg::Rect::zero();
    const cg::Rect b = bounds();
    const auto widths = segmentWidths(b.size.width);
    const double x = std::accumulate(widths.begin(), widths.begin() + static_cast<std::ptrdiff_t>(index), 0.0);
    return {b.origin.x + x, b.origin.y, widths[index], b.size.height};
}

std::int64_t SegmentedControl::segmentAtPoint(cg::Point point) const {
    for (std::size_t i = 0; i < segments_.size(); ++i) {
        if (cg::rectContainsPoint(rectForSegmentAtIndex(i), point)) return static_cast<std::int64_t>(i);
    }
    return SegmentedControlNoSegment;
}

cg::Size SegmentedControl::sizeThatFits(cg::Size) const {
    double widest = 0, sum = 0;
    for (const auto& s : segments_) {
        const double w = s.width > 0 ? s.width : contentWidth(s);
        widest = std::max(widest, w);
        sum += w;
    }
    const double width = byContent_ ? sum : widest * static_cast<double>(segments_.size());
    return {std::ceil(width), kHeight};
}

void SegmentedControl::endTrackingWithTouch(Touch* touch, Event*) {
    if (!touch) return;
    const cg::Point p = touch->locationInView(this);
    const std::int64_t index = segmentAtPoint(p);
    if (index == SegmentedControlNoSegment || !segments_[static_cast<std::size_t>(index)].enabled) return;
    if (!momentary_ && index == selected_) return;
    auto keep = sharedFromThis();
    selected_ = index;
    setNeedsDisplay();
    sendActionsForControlEvents(ControlEventValueChanged);
    if (momentary_) {
        selected_ = SegmentedControlNoSegment;
        setNeedsDisplay();
    }
}

void SegmentedControl::drawRect(const cg::Rect&) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context || segments_.empty()) return;
    const cg::Color tint = tintColor()->CGColor();
    const cg::Rect frame = cg::rectInset(bounds(), 0.5, 0.5);
    cg::Path outline;
    outline.addRoundedRect(frame, 4, 4);
    context->saveGState();
    context->beginPath();
    context->addPath(outline);
    context->clip();
    for (std::size_t i = 0; i < segments_.size(); ++i) {
        const cg::Rect r = rectForSegmentAtIndex(i);
        const bool selected = static_cast<std::int64_t>(i) == selected_;
        if (selected) {
            context->setFillColor(tint);
            context->fillRect(r);
        }
        if (i > 0) {
            context->setFillColor(tint);
            context->fillRect({r.origin.x - 0.5, r.origin.y, 1, r.size.height});
        }
        cg::Color ink = selected ? cg::Color::gray(1, 1) : tint;
        if (!segments_[i].enabled || !isEnabled()) ink = ink.withAlpha(0.3);
        if (const auto& image = segments_[i].image) {
            const cg::Size s = image->size();
            image->drawInRect({cg::midX(r) - s.width / 2, cg::midY(r) - s.height / 2, s.width, s.height});
        } else if (const auto& title = segments_[i].title) {
            const double line = segmentFont()->lineHeight();
            context->setFillColor(ink);
            drawInRect(*title, {r.origin.x + 2, cg::midY(r) - line / 2, r.size.width - 4, line}, *segmentFont(),
                       LineBreakMode::TruncatingTail, TextAlignment::Center);
        }
    }
    context->restoreGState();
    context->beginPath();
    context->addPath(outline);
    context->setStrokeColor(tint);
    context->setLineWidth(1);
    context->strokePath();
}

}  // namespace ql::ui
