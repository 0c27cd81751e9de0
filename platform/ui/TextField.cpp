#include "platform/ui/TextField.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/StringDrawing.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/Touch.h"
#include "platform/ui/Window.h"

namespace ql::ui {

namespace {

constexpr double kClearButtonSize = 19;

double horizontalPadding(TextBorderStyle style) {
    switch (style) {
        case TextBorderStyle::RoundedRect: return 7;
        case TextBorderStyle::Line:
        case TextBorderStyle::Bezel: return 2;
        case TextBorderStyle::None: break;
    }
    return 0;
}

void post(std::string_view name, const TextField* field) { ns::NotificationCenter::defaultCenter().post(name, field); }

// The text's start of at most `limit` UTF-16 units, ending between characters' code points, with its
// length in units; found without reading past it.
std::pair<std::string_view, std::uint64_t> startOfText(std::string_view text, std::uint64_t limit) {
    std::uint64_t units = 0;
    std::size_t at = 0;
    for (; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
        const std::uint64_t width = byte >= 0xF0 ? 2 : 1;
        if (units + width > limit) break;
        units += width;
    }
    return {text.substr(0, at), units};
}

}  // namespace

TextField::TextField(const cg::Rect& frame)
    : Control(frame), font_(Font::systemFontOfSize(17)), textColor_(Color::blackColor()) {
    setOpaque(false);
    setContentMode(ContentMode::Redraw);
    setContentVerticalAlignment(ControlContentVerticalAlignment::Center);
}

// ---- Properties ----

void TextField::setText(std::optional<std::string> text) {
    storeText(text.value_or(""));
    selection_ = {textLength_, 0};
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
}

void TextField::setPlaceholder(std::optional<std::string> placeholder) {
    placeholder_ = std::move(placeholder);
    setNeedsDisplay();
}

void TextField::setFont(std::shared_ptr<Font> font) {
    font_ = font ? std::move(font) : Font::systemFontOfSize(17);
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
}

void TextField::setTextColor(std::shared_ptr<Color> color) {
    textColor_ = color ? std::move(color) : Color::blackColor();
    setNeedsDisplay();
}

void TextField::setTextAlignment(TextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void TextField::setBorderStyle(TextBorderStyle style) {
    borderStyle_ = style;
    setNeedsDisplay();
    setNeedsLayout();
}

void TextField::setBackground(std::shared_ptr<Image> image) {
    background_ = std::move(image);
    setNeedsDisplay();
}

void TextField::setDisabledBackground(std::shared_ptr<Image> image) {
    disabledBackground_ = std::move(image);
    setNeedsDisplay();
}

void TextField::setClearButtonMode(TextFieldViewMode mode) {
    clearButtonMode_ = mode;
    setNeedsDisplay();
}

void TextField::setLeftView(std::shared_ptr<View> view) {
    if (leftView_ && leftView_->superview() == this) leftView_->removeFromSuperview();
    leftView_ = std::move(view);
    if (leftView_) addSubview(leftView_);
    setNeedsLayout();
}

void TextField::setLeftViewMode(TextFieldViewMode mode) {
    leftViewMode_ = mode;
    setNeedsLayout();
}

void TextField::setRightView(std::shared_ptr<View> view) {
    if (rightView_ && rightView_->superview() == this) rightView_->removeFromSuperview();
    rightView_ = std::move(view);
    if (rightView_) addSubview(rightView_);
    setNeedsLayout();
}

void TextField::setRightViewMode(TextFieldViewMode mode) {
    rightViewMode_ = mode;
    setNeedsLayout();
}

void TextField::setSecureTextEntry(bool secure) {
    TextInputTraits::setSecureTextEntry(secure);
    setNeedsDisplay();
}

void TextField::setSelectedRange(ns::Range range) {
    const std::uint64_t length = textLength_;
    range.location = std::min(range.location, length);
    range.length = std::min(range.length, length - range.location);
    // Typing into a range that cuts a surrogate pair would leave half a character, which UTF-8 cannot hold:
    // the character would be lost. The selection takes the whole character instead.
    selection_ = ns::rangeOfWholeCodePoints(text_, range);
}

bool TextField::shows(TextFieldViewMode mode) const {
    switch (mode) {
        case TextFieldViewMode::Always: return true;
        case TextFieldViewMode::WhileEditing: return editing_;
        case TextFieldViewMode::UnlessEditing: return !editing_;
        case TextFieldViewMode::Never: break;
    }
    return false;
}

bool TextField::clearButtonShown() const { return !text_.empty() && shows(clearButtonMode_); }

// ---- Editing ----

bool TextField::canBecomeFirstResponder() const { return isEnabled(); }

bool TextField::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!window() || !canBecomeFirstResponder()) return false;
    auto keep = sharedFromThis();
    if (auto d = delegate(); d && !d->textFieldShouldBeginEditing(*this)) return false;
    return Control::becomeFirstResponder();
}

bool TextField::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    auto keep = sharedFromThis();
    if (!Window::ForcedResign::isForced()) {
        if (auto d = delegate(); d && !d->textFieldShouldEndEditing(*this)) return false;
    }
    return Control::resignFirstResponder();
}

void TextField::didBecomeFirstResponder() {
    editing_ = true;
    if (clearsOnBeginEditing_) storeText({});
    selection_ = {textLength_, 0};
    setNeedsDisplay();
    setNeedsLayout();
    if (auto d = delegate()) d->textFieldDidBeginEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidBegin);
    post(TextFieldTextDidBeginEditingNotification, this);
}

void TextField::didResignFirstResponder() {
    editing_ = false;
    setNeedsDisplay();
    setNeedsLayout();
    if (auto d = delegate()) d->textFieldDidEndEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidEnd);
    post(TextFieldTextDidEndEditingNotification, this);
}

void TextField::announceChange() {
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
    sendActionsForControlEvents(ControlEventEditingChanged);
    post(TextFieldTextDidChangeNotification, this);
}

void TextField::storeText(std::string text) {
    text_ = std::move(text);
    textLength_ = ns::utf16Length(text_);
}

bool TextField::replace(ns::Range range, const std::string& replacement) {
    auto keep = sharedFromThis();
    if (auto d = delegate(); d && !d->textFieldShouldChangeCharactersInRangeReplacementString(*this, range, replacement)) {
        return false;
    }
    const std::uint64_t inserted = ns::utf16Length(replacement);
    if (range.length == 0 && range.location >= textLength_) {
        // Typing at the end appends, without going through the text before it.
        text_ += replacement;
        textLength_ += inserted;
        selection_ = {textLength_, 0};
    } else {
        storeText(ns::substringToIndex(text_, range.location) + replacement + ns::substringFromIndex(text_, range.end()));
        selection_ = {range.location + inserted, 0};
    }
    announceChange();
    return true;
}

void TextField::insertText(const std::string& text) {
    if (text == "\n") {
        auto keep = sharedFromThis();
        if (auto d = delegate(); d && !d->textFieldShouldReturn(*this)) return;
        // A field with an action for the end-on-exit event ends editing with it.
        const bool ends = (allControlEvents() & ControlEventEditingDidEndOnExit) != 0;
        sendActionsForControlEvents(ControlEventEditingDidEndOnExit);
        if (ends) resignFirstResponder();
        return;
    }
    // A single line: line breaks in pasted text are left out.
    std::string line;
    for (char c : text) {
        if (c != '\n' && c != '\r') line += c;
    }
    replace(selection_, line);
}

void TextField::deleteBackward() {
    ns::Range range = selection_;
    if (range.length == 0) {
        if (range.location == 0) return;
        range = ns::rangeOfComposedCharacterSequenceAtIndex(text_, range.location - 1);
    }
    replace(range, "");
}

// ---- Geometry ----

cg::Rect TextField::borderRectForBounds(const cg::Rect& bounds) const { return bounds; }

cg::Rect TextField::leftViewRectForBounds(const cg::Rect& bounds) const {
    if (!leftView_) return cg::Rect::zero();
    const cg::Size s = leftView_->frame().size;
    return {bounds.origin.x, cg::midY(bounds) - s.height / 2, s.width, s.height};
}

cg::Rect TextField::rightViewRectForBounds(const cg::Rect& bounds) const {
    if (!rightView_) return cg::Rect::zero();
    const cg::Size s = rightView_->frame().size;
    return {cg::maxX(bounds) - s.width, cg::midY(bounds) - s.height / 2, s.width, s.height};
}

cg::Rect TextField::clearButtonRectForBounds(const cg::Rect& bounds) const {
    double right = cg::maxX(bounds) - 5;
    if (rightView_ && shows(rightViewMode_)) right -= rightView_->frame().size.width;
    return {right - kClearButtonSize, cg::midY(bounds) - kClearButtonSize / 2, kClearButtonSize, kClearButtonSize};
}

cg::Rect TextField::insetTextRect(const cg::Rect& bounds) const {
    const double pad = horizontalPadding(borderStyle_);
    double left = cg::minX(bounds) + pad;
    double right = cg::maxX(bounds) - pad;
    if (leftView_ && shows(leftViewMode_)) left = std::max(left, cg::maxX(leftViewRectForBounds(bounds)));
    if (rightView_ && shows(rightViewMode_)) right = std::min(right, cg::minX(rightViewRectForBounds(bounds)));
    if (clearButtonShown()) right = std::min(right, cg::minX(clearButtonRectForBounds(bounds)) - 2);
    return {left, bounds.origin.y, std::max(0.0, right - left), bounds.size.height};
}

cg::Rect TextField::textRectForBounds(const cg::Rect& bounds) const { return insetTextRect(bounds); }

cg::Rect TextField::placeholderRectForBounds(const cg::Rect& bounds) const { return textRectForBounds(bounds); }

cg::Rect TextField::editingRectForBounds(const cg::Rect& bounds) const { return textRectForBounds(bounds); }

cg::Size TextField::sizeThatFits(cg::Size) const {
    const double line = std::ceil(font_->lineHeight());
    const double height = borderStyle_ == TextBorderStyle::RoundedRect ? std::max(30.0, line + 8) : line + 4;
    return {bounds().size.width, height};
}

cg::Size TextField::intrinsicContentSize() const {
    const std::string shown = text_.empty() ? placeholder_.value_or("") : displayedText();
    const double width = sizeWithFont(shown, *font_).width + 2 * horizontalPadding(borderStyle_);
    return {std::ceil(width), sizeThatFits({0, 0}).height};
}

void TextField::layoutSubviews() {
    const cg::Rect b = bounds();
    if (leftView_) {
        leftView_->setHidden(!shows(leftViewMode_));
        leftView_->setFrame(leftViewRectForBounds(b));
    }
    if (rightView_) {
        rightView_->setHidden(!shows(rightViewMode_));
        rightView_->setFrame(rightViewRectForBounds(b));
    }
}

// ---- Drawing ----

std::uint64_t TextField::laidOutLength() const {
    const double width = std::max(0.0, bounds().size.width);
    return 256 + static_cast<std::uint64_t>(std::ceil(8 * width / std::max(1.0, font_->pointSize())));
}

std::string TextField::displayedText() const {
    const std::uint64_t limit = laidOutLength();
    if (!isSecureTextEntry()) return std::string(startOfText(text_, limit).first);
    std::string dots;
    for (std::uint64_t i = 0, n = std::min(textLength_, limit); i < n; ++i) dots += "\u2022";
    return dots;
}

cg::Rect TextField::lineRectIn(const cg::Rect& rect) const {
    const double line = font_->lineHeight();
    return {rect.origin.x, cg::midY(rect) - line / 2, rect.size.width, line};
}

ct::TextLayout TextField::displayedLayout(const cg::Rect& line) const {
    return layoutWithFont(displayedText(), *font_, line.size, LineBreakMode::Clipping, alignment_);
}

cg::Rect TextField::currentLineRect() const {
    return lineRectIn(editing_ ? editingRectForBounds(bounds()) : textRectForBounds(bounds()));
}

void TextField::drawTextInRect(const cg::Rect& rect) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    context->setFillColor(textColor_->CGColor());
    const cg::Rect line = lineRectIn(rect);
    displayedLayout(line).draw(*context, line.origin);
}

void TextField::drawPlaceholderInRect(const cg::Rect& rect) {
    if (!placeholder_) return;
    if (cg::Context* context = GraphicsGetCurrentContext()) context->setFillColor(cg::Color::gray(0.7, 1));
    drawInRect(*placeholder_, lineRectIn(rect), *font_, LineBreakMode::TruncatingTail, alignment_);
}

cg::Rect TextField::caretRectForPosition(std::uint64_t position) const {
    // A position past the start laid out sits at its end.
    position = std::min({position, textLength_, isSecureTextEntry() ? laidOutLength() : startOfText(text_, laidOutLength()).second});
    const cg::Rect line = currentLineRect();
    const ct::TextLayout layout = displayedLayout(line);
    if (layout.lines().empty()) return {line.origin.x, line.origin.y, 2, line.size.height};
    const auto& placed = layout.lines()[layout.lineIndexForStringIndex(position)];
    return {line.origin.x + placed.caretOffset(position), line.origin.y + placed.top, 2, placed.line.height()};
}

std::uint64_t TextField::closestPositionToPoint(cg::Point point) const {
    const cg::Rect line = currentLineRect();
    const ct::TextLayout layout = displayedLayout(line);
    if (layout.lines().empty()) return 0;
    const auto& placed = layout.lines()[layout.lineIndexAtHeight(point.y - line.origin.y)];
    return placed.stringIndexAt(point.x - line.origin.x);
}

void TextField::drawRect(const cg::Rect&) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    const cg::Rect b = bounds();
    const cg::Rect border = borderRectForBounds(b);
    const auto& image = !isEnabled() && disabledBackground_ ? disabledBackground_ : background_;
    if (image && borderStyle_ != TextBorderStyle::RoundedRect) {
        image->drawInRect(border);
    } else if (borderStyle_ == TextBorderStyle::RoundedRect) {
        cg::Path path;
        path.addRoundedRect(cg::rectInset(border, 0.5, 0.5), 5, 5);
        context->beginPath();
        context->addPath(path);
        context->setFillColor(cg::Color::gray(1, 1));
        context->fillPath();
        context->beginPath();
        context->addPath(path);
        context->setStrokeColor(cg::Color::gray(0.8, 1));
        context->setLineWidth(1);
        context->strokePath();
    } else if (borderStyle_ == TextBorderStyle::Line || borderStyle_ == TextBorderStyle::Bezel) {
        context->setStrokeColor(borderStyle_ == TextBorderStyle::Line ? cg::Color::gray(0, 1) : cg::Color::gray(0.5, 1));
        context->setLineWidth(1);
        context->strokeRect(cg::rectInset(border, 0.5, 0.5));
    }
    context->saveGState();
    if (text_.empty()) {
        drawPlaceholderInRect(placeholderRectForBounds(b));
    } else {
        drawTextInRect(editing_ ? editingRectForBounds(b) : textRectForBounds(b));
    }
    context->restoreGState();
    if (clearButtonShown()) {
        const cg::Rect r = clearButtonRectForBounds(b);
        context->setFillColor(cg::Color::gray(0.7, 1));
        context->fillEllipseInRect(r);
        context->setStrokeColor(cg::Color::gray(1, 1));
        context->setLineWidth(1.5);
        const cg::Rect x = cg::rectInset(r, 6, 6);
        context->strokeLineSegments({{cg::minX(x), cg::minY(x)}, {cg::maxX(x), cg::maxY(x)},
                                     {cg::maxX(x), cg::minY(x)}, {cg::minX(x), cg::maxY(x)}});
    }
}

// ---- Touches ----

void TextField::touchesBegan(const TouchSet& touches, Event* event) {
    if (!touches.empty()) touchDown_ = (*touches.begin())->locationInView(nullptr);
    Control::touchesBegan(touches, event);
}

void TextField::touchesEnded(const TouchSet& touches, Event* event) {
    const bool wasTracking = isTracking() || isHighlighted();
    Control::touchesEnded(touches, event);
    if (!wasTracking || touches.empty() || !isEnabled()) return;
    const Touch& touch = **touches.begin();
    const cg::Point p = touch.locationInView(this);
    if (!cg::rectContainsPoint(bounds(), p)) return;
    // A finger that travelled further than a tap may was dragging or swiping across the field.
    const cg::Point up = touch.locationInView(nullptr);
    if (std::hypot(up.x - touchDown_.x, up.y - touchDown_.y) > TapGestureRecognizer::kAllowableMovement) return;
    auto keep = sharedFromThis();
    if (clearButtonShown() && cg::rectContainsPoint(cg::rectInset(clearButtonRectForBounds(bounds()), -5, -5), p)) {
        if (auto d = delegate(); d && !d->textFieldShouldClear(*this)) return;
        storeText({});
        selection_ = {0, 0};
        announceChange();
        return;
    }
    if (isFirstResponder()) setSelectedRange({closestPositionToPoint(p), 0});
    else becomeFirstResponder();
}

std::string TextField::description() const {
    std::string d = View::description();
    d.insert(d.size() - 1, "; text = '" + text_ + "'");
    return d;
}

}  // namespace ql::ui
