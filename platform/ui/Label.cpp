#include "platform/ui/Label.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/StringDrawing.h"

namespace ql::ui {

namespace {

const std::shared_ptr<Font>& defaultFont() {
    static const auto& font = *new std::shared_ptr<Font>(Font::systemFontOfSize(17));
    return font;
}

}  // namespace

Label::Label(const cg::Rect& frame) : View(frame), font_(defaultFont()), textColor_(Color::blackColor()) {
    setUserInteractionEnabled(false);
    setOpaque(false);
    setContentMode(ContentMode::Redraw);
}

void Label::changed() {
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
}

void Label::setText(std::optional<std::string> text) {
    if (text == text_) return;
    text_ = std::move(text);
    changed();
}

void Label::setFont(std::shared_ptr<Font> font) {
    font_ = font ? std::move(font) : defaultFont();
    changed();
}

void Label::setTextColor(std::shared_ptr<Color> color) {
    textColor_ = color ? std::move(color) : Color::blackColor();
    setNeedsDisplay();
}

void Label::setHighlightedTextColor(std::shared_ptr<Color> color) {
    highlightedTextColor_ = std::move(color);
    setNeedsDisplay();
}

void Label::setShadowColor(std::shared_ptr<Color> color) {
    shadowColor_ = std::move(color);
    setNeedsDisplay();
}

void Label::setShadowOffset(cg::Size offset) {
    shadowOffset_ = offset;
    setNeedsDisplay();
}

void Label::setTextAlignment(TextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void Label::setLineBreakMode(LineBreakMode mode) {
    lineBreakMode_ = mode;
    changed();
}

void Label::setNumberOfLines(std::int64_t lines) {
    numberOfLines_ = std::max<std::int64_t>(0, lines);
    changed();
}

void Label::setEnabled(bool enabled) {
    enabled_ = enabled;
    setNeedsDisplay();
}

void Label::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    setNeedsDisplay();
}

void Label::setAdjustsFontSizeToFitWidth(bool adjusts) {
    adjustsFontSize_ = adjusts;
    setNeedsDisplay();
}

void Label::setMinimumScaleFactor(double factor) {
    minimumScaleFactor_ = factor;
    setNeedsDisplay();
}

void Label::setMinimumFontSize(double size) {
    minimumFontSize_ = size;
    setNeedsDisplay();
}

void Label::setPreferredMaxLayoutWidth(double width) {
    preferredMaxLayoutWidth_ = width;
    invalidateIntrinsicContentSize();
}

cg::Size Label::measure(const Font& font, cg::Size limit, std::int64_t lines) const {
    if (!text_ || text_->empty()) return {0, 0};
    if (lines == 1) return sizeWithFont(*text_, font);
    // Lines beyond the limit are left out by giving them no room; half a point absorbs rounding.
    const double height = lines > 0 ? lines * font.lineHeight() + 0.5 : 0;
    const LineBreakMode wrapping =
        lineBreakMode_ == LineBreakMode::CharWrapping ? LineBreakMode::CharWrapping : LineBreakMode::WordWrapping;
    return sizeWithFont(*text_, font, {limit.width > 0 ? limit.width : 0, height}, wrapping);
}

std::shared_ptr<Font> Label::drawingFont(double width) const {
    if (!adjustsFontSize_ || numberOfLines_ != 1 || !text_ || width <= 0) return font_;
    const double natural = sizeWithFont(*text_, *font_).width;
    if (natural <= width) return font_;
    const double size = font_->pointSize();
    double smallest = 0;
    if (minimumScaleFactor_ > 0) smallest = size * minimumScaleFactor_;
    else if (minimumFontSize_ > 0) smallest = minimumFontSize_;
    const double fitted = std::max(smallest, std::floor(size * width / natural));
    return fitted < size && fitted > 0 ? font_->fontWithSize(fitted) : font_;
}

cg::Size Label::sizeThatFits(cg::Size size) const { return measure(*font_, size, numberOfLines_); }

cg::Size Label::intrinsicContentSize() const {
    const double width = numberOfLines_ == 1 ? 0 : preferredMaxLayoutWidth_;
    return measure(*font_, {width, 0}, numberOfLines_);
}

cg::Rect Label::textRectForBounds(const cg::Rect& bounds, std::int64_t numberOfLines) const {
    const auto font = drawingFont(bounds.size.width);
    cg::Size size = measure(*font, bounds.size, numberOfLines);
    size.width = std::min(size.width, bounds.size.width);
    size.height = std::min(size.height, bounds.size.height);
    return {bounds.origin, size};
}

void Label::drawTextInRect(const cg::Rect& rect) {
    if (!text_ || text_->empty()) return;
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    const auto font = drawingFont(rect.size.width);
    const cg::Rect textRect = textRectForBounds(rect, numberOfLines_);
    const cg::Rect area{rect.origin.x, rect.origin.y + (rect.size.height - textRect.size.height) / 2, rect.size.width,
                        textRect.size.height};
    std::shared_ptr<Color> color = highlighted_ && highlightedTextColor_ ? highlightedTextColor_ : textColor_;
    if (!enabled_) color = color->colorWithAlphaComponent(0.44);
    context->saveGState();
    if (shadowColor_) context->setShadowWithColor(shadowOffset_, 0, shadowColor_->CGColor());
    context->setFillColor(color->CGColor());
    drawInRect(*text_, area, *font, lineBreakMode_, alignment_);
    context->restoreGState();
}

void Label::drawRect(const cg::Rect&) { drawTextInRect(bounds()); }

std::string Label::description() const {
    std::string d = View::description();
    d.insert(d.size() - 1, "; text = '" + text_.value_or("") + "'");
    return d;
}

}  // namespace ql::ui
