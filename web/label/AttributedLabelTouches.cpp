#include <algorithm>

#include "platform/foundation/Text.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/Touch.h"
#include "platform/ui/Window.h"
#include "web/label/AttributedLabel.h"

namespace ql {

namespace {

// Views this transparent take no touches.
constexpr double MinimumTouchAlpha = 0.01;

}  // namespace

// ---- Delegate dispatch ----

void AttributedLabel::dispatchTap(const ns::TextCheckingResult& result) {
    auto delegate = delegate_.lock();
    if (!delegate) return;
    bool answered = false;
    switch (result.resultType) {
    case ns::TextCheckingTypeLink:
        answered = result.URL && delegate->didSelectLinkWithURL(*this, *result.URL);
        break;
    case ns::TextCheckingTypeAddress: answered = delegate->didSelectLinkWithAddress(*this, result.components); break;
    case ns::TextCheckingTypePhoneNumber:
        answered = delegate->didSelectLinkWithPhoneNumber(*this, result.phoneNumber);
        break;
    case ns::TextCheckingTypeTransitInformation:
        answered = delegate->didSelectLinkWithTransitInformation(*this, result.components);
        break;
    case ns::TextCheckingTypeDate:
        if (result.date) {
            answered = result.timeZone &&
                       delegate->didSelectLinkWithDate(*this, *result.date, *result.timeZone, result.duration);
            if (!answered) answered = delegate->didSelectLinkWithDate(*this, *result.date);
        }
        break;
    default: break;
    }
    if (!answered) delegate->didSelectLinkWithTextCheckingResult(*this, result);
}

void AttributedLabel::dispatchLongPress(const ns::TextCheckingResult& result, cg::Point point) {
    auto delegate = delegate_.lock();
    if (!delegate) return;
    bool answered = false;
    switch (result.resultType) {
    case ns::TextCheckingTypeLink:
        answered = result.URL && delegate->didLongPressLinkWithURL(*this, *result.URL, point);
        break;
    case ns::TextCheckingTypeAddress:
        answered = delegate->didLongPressLinkWithAddress(*this, result.components, point);
        break;
    case ns::TextCheckingTypePhoneNumber:
        answered = delegate->didLongPressLinkWithPhoneNumber(*this, result.phoneNumber, point);
        break;
    case ns::TextCheckingTypeTransitInformation:
        answered = delegate->didLongPressLinkWithTransitInformation(*this, result.components, point);
        break;
    case ns::TextCheckingTypeDate:
        if (result.date) {
            answered = result.timeZone && delegate->didLongPressLinkWithDate(*this, *result.date, *result.timeZone,
                                                                             result.duration, point);
            if (!answered) answered = delegate->didLongPressLinkWithDate(*this, *result.date, point);
        }
        break;
    default: break;
    }
    if (!answered) delegate->didLongPressLinkWithTextCheckingResult(*this, result, point);
}

// ---- Touches ----

ui::View* AttributedLabel::hitTest(cg::Point point, ui::Event* event) {
    if (isUserInteractionEnabled() && !isHidden() && alpha() >= MinimumTouchAlpha && linkAtPoint(point)) return this;
    return ui::Label::hitTest(point, event);
}

void AttributedLabel::touchesBegan(const ui::TouchSet& touches, ui::Event* event) {
    auto link = touches.empty() ? nullptr : linkAtPoint((*touches.begin())->locationInView(this));
    setActiveLink(link);
    if (!link) ui::Label::touchesBegan(touches, event);
}

void AttributedLabel::touchesMoved(const ui::TouchSet& touches, ui::Event* event) {
    if (!activeLink_) {
        ui::Label::touchesMoved(touches, event);
        return;
    }
    if (touches.empty()) return;
    // Once off the link the touch stays off it, even back over the link.
    if (linkAtPoint((*touches.begin())->locationInView(this)) != activeLink_) setActiveLink(nullptr);
}

void AttributedLabel::touchesEnded(const ui::TouchSet& touches, ui::Event* event) {
    if (!activeLink_) {
        ui::Label::touchesEnded(touches, event);
        return;
    }
    std::shared_ptr<AttributedLabelLink> link = activeLink_;
    if (link->linkTapBlock()) {
        link->linkTapBlock()(*this, *link);
        setActiveLink(nullptr);
        return;
    }
    const ns::TextCheckingResult result = link->result();
    // The normal look is back before the delegate hears of the tap.
    setActiveLink(nullptr);
    dispatchTap(result);
}

void AttributedLabel::touchesCancelled(const ui::TouchSet& touches, ui::Event* event) {
    if (activeLink_) setActiveLink(nullptr);
    else ui::Label::touchesCancelled(touches, event);
}

bool AttributedLabel::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Touch& touch) const {
    return containslinkAtPoint(touch.locationInView(this));
}

void AttributedLabel::longPressGestureDidFire(ui::LongPressGestureRecognizer& recognizer) {
    if (recognizer.state() != ui::GestureRecognizerState::Began) return;
    const cg::Point point = recognizer.locationInView(this);
    auto link = linkAtPoint(point);
    if (!link) return;
    if (link->linkLongPressBlock()) link->linkLongPressBlock()(*this, *link);
    else dispatchLongPress(link->result(), point);
}

// ---- Copy ----

void AttributedLabel::copy() { ui::Pasteboard::generalPasteboard()->setString(text().value_or("")); }

// ---- Accessibility ----

const std::vector<LabelAccessibilityElement>& AttributedLabel::accessibilityElements() {
    std::lock_guard lock(lock_);
    if (accessibilityElements_) return *accessibilityElements_;
    std::vector<LabelAccessibilityElement> elements;
    const std::u16string plain = attributedText_ ? attributedText_->u16string() : ns::toUTF16(text().value_or(""));
    // A link that reaches past the text has no words to speak.
    std::vector<std::shared_ptr<AttributedLabelLink>> spoken;
    std::vector<ns::Range> ranges;
    for (const auto& link : linkModels_) {
        const ns::Range range = link->result().range();
        if (range.location == ns::NotFound || !range.liesWithin(plain.size())) continue;
        spoken.push_back(link);
        ranges.push_back(range);
    }
    // The text is set once for all the links' frames.
    const std::vector<cg::Rect> rects = boundingRectsForCharacterRanges(ranges);
    for (std::size_t i = 0; i < spoken.size(); ++i) {
        const auto& link = spoken[i];
        const ns::Range range = ranges[i];
        LabelAccessibilityElement element;
        element.isLink = true;
        element.label = ns::fromUTF16(std::u16string_view(plain).substr(range.location, range.length));
        std::optional<std::string> value = link->accessibilityValue();
        if (value != element.label) element.value = std::move(value);
        element.frame = convertRectToView(rects[i], window());
        elements.push_back(std::move(element));
    }
    LabelAccessibilityElement whole;
    whole.label = accessibilityLabel() ? accessibilityLabel() : text();
    whole.frame = convertRectToView(bounds(), window());
    elements.push_back(std::move(whole));
    accessibilityElements_ = std::move(elements);
    return *accessibilityElements_;
}

std::int64_t AttributedLabel::accessibilityElementCount() {
    return static_cast<std::int64_t>(accessibilityElements().size());
}

std::optional<LabelAccessibilityElement> AttributedLabel::accessibilityElementAtIndex(std::int64_t index) {
    const auto& elements = accessibilityElements();
    if (index < 0 || static_cast<std::size_t>(index) >= elements.size()) return std::nullopt;
    return elements[static_cast<std::size_t>(index)];
}

std::int64_t AttributedLabel::indexOfAccessibilityElement(const LabelAccessibilityElement& element) {
    const auto& elements = accessibilityElements();
    auto found = std::find(elements.begin(), elements.end(), element);
    if (found == elements.end()) return static_cast<std::int64_t>(ns::NotFound);
    return found - elements.begin();
}

}  // namespace ql
