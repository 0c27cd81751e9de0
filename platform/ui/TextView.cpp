#include "platform/ui/TextView.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/ui/AttributedStringDrawing.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/StringDrawing.h"
#include "platform/ui/Touch.h"
#include "platform/ui/Window.h"

namespace ql::ui {

namespace {

void post(std::string_view name, const TextView* view) { ns::NotificationCenter::defaultCenter().post(name, view); }

}  // namespace

TextView::TextView(const cg::Rect& frame)
    : ScrollView(frame), font_(Font::systemFontOfSize(12)), textColor_(Color::blackColor()) {
    setContentMode(ContentMode::Redraw);
    textChanged();
}

void TextView::setDelegate(std::weak_ptr<TextViewDelegate> delegate) {
    ScrollView::setDelegate(delegate);
    delegate_ = std::move(delegate);
}

TextViewLayout& TextView::plainLayout(double viewWidth) const {
    const double width = textWidth(viewWidth);
    if (!layoutCurrent_ || layout_.width() != (width > 0 ? width : std::numeric_limits<double>::infinity())) {
        layout_.reset(text_, font_->ctFont(), width, textLayoutAlignment(alignment_));
        layoutCurrent_ = true;
    }
    return layout_;
}

void TextView::textChanged() {
    setNeedsDisplay();
    setContentSize({bounds().size.width, sizeThatFits(bounds().size).height});
}

void TextView::setAttributedText(std::optional<ct::AttributedString> text) {
    setText(text ? std::optional(text->string()) : std::nullopt);
    attributedText_ = std::move(text);
    textChanged();
}

void TextView::setText(std::optional<std::string> text) {
    attributedText_.reset();
    text_ = text.value_or("");
    layoutCurrent_ = false;
    selection_ = {ns::utf16Length(text_), 0};
    textChanged();
}

void TextView::setFont(std::shared_ptr<Font> font) {
    font_ = font ? std::move(font) : Font::systemFontOfSize(12);
    layoutCurrent_ = false;
    textChanged();
}

void TextView::setTextColor(std::shared_ptr<Color> color) {
    textColor_ = color ? std::move(color) : Color::blackColor();
    setNeedsDisplay();
}

void TextView::setTextAlignment(TextAlignment alignment) {
    alignment_ = alignment;
    layoutCurrent_ = false;
    setNeedsDisplay();
}

void TextView::setEditable(bool editable) {
    editable_ = editable;
    if (!editable && isFirstResponder()) resignFirstResponder();
}

void TextView::setTextContainerInset(const cg::EdgeInsets& inset) {
    textContainerInset_ = inset;
    textChanged();
}

void TextView::setSelectedRange(ns::Range range) {
    const std::uint64_t length = ns::utf16Length(text_);
    range.location = std::min(range.location, length);
    range.length = std::min(range.length, length - range.location);
    // Typing into a range that cuts a surrogate pair would leave half a character, which UTF-8 cannot hold:
    // the character would be lost. The selection takes the whole character instead.
    selection_ = ns::rangeOfWholeCodePoints(text_, range);
    if (auto d = delegate()) d->textViewDidChangeSelection(*this);
}

void TextView::setBounds(const cg::Rect& bounds) {
    const cg::Point old = this->bounds().origin;
    ScrollView::setBounds(bounds);
    // The text is drawn at the scroll offset, so a new offset draws again.
    if (bounds.origin != old) setNeedsDisplay();
}

void TextView::layoutSubviews() {
    ScrollView::layoutSubviews();
    // A new width wraps the text anew.
    if (contentSize().width != bounds().size.width) textChanged();
}

double TextView::textWidth(double viewWidth) const {
    return std::max(0.0, viewWidth - textContainerInset_.left - textContainerInset_.right - 2 * kLineFragmentPadding);
}

cg::Size TextView::sizeThatFits(cg::Size size) const {
    const double viewWidth = size.width > 0 ? size.width : bounds().size.width;
    const double width = textWidth(viewWidth);
    double height = 0;
    if (text_.empty()) height = sizeWithFont(" ", *font_, {width, 0}, LineBreakMode::WordWrapping).height;
    else if (attributedText_) height = sizeOfAttributedString(*attributedText_, width, *font_).height;
    else height = std::ceil(plainLayout(viewWidth).height(text_));
    return {viewWidth, std::ceil(height + textContainerInset_.top + textContainerInset_.bottom)};
}

cg::Point TextView::textOrigin() const { return {textContainerInset_.left + kLineFragmentPadding, textContainerInset_.top}; }

cg::Rect TextView::caretRectForPosition(std::uint64_t position) const {
    position = std::min(position, ns::utf16Length(text_));
    const cg::Point origin = textOrigin();
    const std::optional<cg::Rect> caret = plainLayout(bounds().size.width).caretRect(text_, position);
    if (!caret) return {origin.x, origin.y, 2, font_->lineHeight()};
    return cg::rectOffset(*caret, origin.x, origin.y);
}

std::uint64_t TextView::closestPositionToPoint(cg::Point point) const {
    const cg::Point origin = textOrigin();
    return plainLayout(bounds().size.width).positionAt(text_, {point.x - origin.x, point.y - origin.y});
}

void TextView::scrollRangeToVisible(ns::Range range) {
    const cg::Rect caret = caretRectForPosition(range.end());
    const cg::Rect b = bounds();
    cg::Point offset = b.origin;
    if (cg::maxY(caret) > b.origin.y + b.size.height) offset.y = cg::maxY(caret) - b.size.height;
    if (cg::minY(caret) < offset.y) offset.y = cg::minY(caret);
    if (offset != b.origin) setContentOffset(offset, false);
}

// ---- Editing ----

bool TextView::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!window() || !canBecomeFirstResponder()) return false;
    auto keep = sharedFromThis();
    if (auto d = delegate(); d && !d->textViewShouldBeginEditing(*this)) return false;
    return View::becomeFirstResponder();
}

bool TextView::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    auto keep = sharedFromThis();
    if (!Window::ForcedResign::isForced()) {
        if (auto d = delegate(); d && !d->textViewShouldEndEditing(*this)) return false;
    }
    return View::resignFirstResponder();
}

void TextView::didBecomeFirstResponder() {
    editing_ = true;
    if (auto d = delegate()) d->textViewDidBeginEditing(*this);
    post(TextViewTextDidBeginEditingNotification, this);
}

void TextView::didResignFirstResponder() {
    editing_ = false;
    if (auto d = delegate()) d->textViewDidEndEditing(*this);
    post(TextViewTextDidEndEditingNotification, this);
}

bool TextView::replace(ns::Range range, const std::string& replacement) {
    auto keep = sharedFromThis();
    if (auto d = delegate(); d && !d->textViewShouldChangeTextInRangeReplacementText(*this, range, replacement)) {
        return false;
    }
    text_ = ns::substringToIndex(text_, range.location) + replacement + ns::substringFromIndex(text_, range.end());
    // Styled text was laid out whole; plain text keeps the paragraphs the change did not touch.
    if (attributedText_) layoutCurrent_ = false;
    else if (layoutCurrent_) layout_.textDidReplace(text_, range);
    attributedText_.reset();
    selection_ = {range.location + ns::utf16Length(replacement), 0};
    textChanged();
    if (auto d = delegate()) {
        d->textViewDidChangeSelection(*this);
        d->textViewDidChange(*this);
    }
    post(TextViewTextDidChangeNotification, this);
    return true;
}

void TextView::insertText(const std::string& text) {
    if (!editable_) return;
    replace(selection_, text);
}

void TextView::deleteBackward() {
    if (!editable_) return;
    ns::Range range = selection_;
    if (range.length == 0) {
        if (range.location == 0) return;
        range = ns::rangeOfComposedCharacterSequenceAtIndex(text_, range.location - 1);
    }
    replace(range, "");
}

// ---- Drawing and touches ----

void TextView::drawRect(const cg::Rect& rect) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context || text_.empty()) return;
    const cg::Rect b = bounds();
    // Drawn in content coordinates: the bounds' origin is the scroll offset.
    const cg::Rect area{textOrigin(), {textWidth(b.size.width), 1e9}};
    if (attributedText_) {
        drawAttributedStringInRect(*attributedText_, area, *font_, textColor_);
        return;
    }
    context->setFillColor(textColor_->CGColor());
    // Only the paragraphs in the part asked for are drawn (and laid out, when new).
    const cg::Rect asked = cg::rectOffset(rect, -area.origin.x, -area.origin.y);
    plainLayout(b.size.width).draw(text_, *context, area.origin, asked);
}

void TextView::touchesEnded(const TouchSet& touches, Event*) {
    if (!editable_ || touches.empty()) return;
    const cg::Point p = (*touches.begin())->locationInView(this);
    if (!cg::rectContainsPoint(bounds(), p)) return;
    if (isFirstResponder()) setSelectedRange({closestPositionToPoint(p), 0});
    else becomeFirstResponder();
}

}  // namespace ql::ui
