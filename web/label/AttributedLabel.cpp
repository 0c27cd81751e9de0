#include "web/label/AttributedLabel.h"

#include "platform/foundation/Text.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/ParagraphStyleObject.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GestureRecognizer.h"

namespace ql {

// The long-press recognizer holds its target and delegate weakly; this relay, owned by the label, stands
// in for the label so that both exist from the label's first moment on.
class AttributedLabel::GestureRelay : public ns::Object, public ui::GestureRecognizerDelegate {
public:
    explicit GestureRelay(AttributedLabel& label) : label_(label) {}

    void fired(ns::Object* sender) {
        if (auto* recognizer = dynamic_cast<ui::LongPressGestureRecognizer*>(sender))
            label_.longPressGestureDidFire(*recognizer);
    }
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Touch& touch) override {
        return label_.gestureRecognizerShouldReceiveTouch(recognizer, touch);
    }

private:
    AttributedLabel& label_;
};

namespace {

ns::Dictionary linkLook(bool underline, const std::shared_ptr<ui::Color>& color) {
    ns::Dictionary look;
    look[ct::UnderlineStyleAttributeName] = ns::Value(underline);
    look[ct::ForegroundColorAttributeName] = ns::Value(color);
    return look;
}

}  // namespace

AttributedLabel::AttributedLabel(const cg::Rect& frame)
    : ui::Label(frame),
      linkAttributes_(linkLook(true, ui::Color::blueColor())),
      activeLinkAttributes_(linkLook(false, ui::Color::redColor())),
      inactiveLinkAttributes_(linkLook(false, ui::Color::grayColor())),
      relay_(std::make_shared<GestureRelay>(*this)) {
    setUserInteractionEnabled(true);
    setMultipleTouchEnabled(false);
    longPress_ = std::make_shared<ui::LongPressGestureRecognizer>(relay_, ui::Action(&GestureRelay::fired));
    longPress_->setDelegate(relay_);
    addGestureRecognizer(longPress_);
}

AttributedLabel::~AttributedLabel() { removeGestureRecognizer(longPress_.get()); }

// ---- Text ----

ns::Dictionary AttributedLabel::labelTextAttributes() const {
    const auto& labelFont = font();
    ct::ParagraphStyle paragraph;
    // The view layer's alignment values differ from the typesetter's.
    switch (textAlignment()) {
    case ui::TextAlignment::Left: paragraph.alignment = ct::TextAlignment::Left; break;
    case ui::TextAlignment::Center: paragraph.alignment = ct::TextAlignment::Center; break;
    case ui::TextAlignment::Right: paragraph.alignment = ct::TextAlignment::Right; break;
    case ui::TextAlignment::Justified: paragraph.alignment = ct::TextAlignment::Justified; break;
    case ui::TextAlignment::Natural: paragraph.alignment = ct::TextAlignment::Natural; break;
    }
    paragraph.lineSpacing = lineSpacing_;
    const double height = labelFont->lineHeight() * lineHeightMultiple_;
    paragraph.minimumLineHeight = minimumLineHeight_ > 0 ? minimumLineHeight_ : height;
    paragraph.maximumLineHeight = maximumLineHeight_ > 0 ? maximumLineHeight_ : height;
    paragraph.lineHeightMultiple = lineHeightMultiple_;
    paragraph.firstLineHeadIndent = firstLineIndent_;
    paragraph.lineBreakMode = numberOfLines() == 1 ? static_cast<ct::LineBreakMode>(lineBreakMode())
                                                   : ct::LineBreakMode::WordWrapping;
    ns::Dictionary attributes;
    attributes[ct::FontAttributeName] = ns::Value(labelFont);
    attributes[ct::ForegroundColorAttributeName] = ns::Value(textColor());
    attributes[ct::KernAttributeName] = ns::Value(kern_);
    attributes[ct::ParagraphStyleAttributeName] = ns::Value(std::make_shared<ct::ParagraphStyleObject>(paragraph));
    return attributes;
}

void AttributedLabel::setText(std::optional<std::string> text) {
    if (text) {
        setText(*text, Configure());
        return;
    }
    setAttributedText(std::nullopt);
    dropActiveLink();
    setLinkModels({});
}

void AttributedLabel::setText(std::string_view text, const Configure& configure) {
    setText(ct::AttributedString(text, labelTextAttributes()), configure);
}

void AttributedLabel::setText(const ct::AttributedString& text, const Configure& configure) {
    ct::AttributedString styled = text;
    styled.addAttributes(labelTextAttributes(), {0, styled.length()});
    if (configure) styled = configure(std::move(styled));
    setText(styled);
}

void AttributedLabel::setText(const ct::AttributedString& text) {
    setAttributedText(text);
    dropActiveLink();
    setLinkModels({});
    if (attributedText_ && enabledTextCheckingTypes_ != 0) startDataDetection(*attributedText_);
    // Links the text carries count at once, before any detection finishes.
    std::vector<std::pair<ns::URL, ns::Range>> carried;
    text.enumerateAttribute(ui::LinkAttributeName, {0, text.length()}, [&](const ns::Value& value, ns::Range range, bool&) {
        if (!value.isString()) return;
        if (auto url = ns::URL::fromString(value.asString())) carried.emplace_back(*url, range);
    });
    for (const auto& [url, range] : carried) addLinkToURL(url, range);
}

void AttributedLabel::dropActiveLink() {
    // The text kept for restoring the touched link's look belongs to the text just replaced.
    activeLink_ = nullptr;
    inactiveAttributedText_.reset();
}

void AttributedLabel::setAttributedText(std::optional<ct::AttributedString> text) {
    if (text && attributedText_ && *text == *attributedText_) return;
    attributedText_ = std::move(text);
    setNeedsFramesetter();
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
    ui::Label::setText(attributedText_ ? std::optional<std::string>(attributedText_->string()) : std::nullopt);
}

void AttributedLabel::setNeedsFramesetter() {
    renderedAttributedText_.reset();
    needsFramesetter_ = true;
}

ct::AttributedString AttributedLabel::renderedFormOf(const ct::AttributedString& text) const {
    ct::AttributedString rendered = text;
    std::vector<ns::Range> fromContext;
    rendered.enumerateAttribute(ct::ForegroundColorFromContextAttributeName, {0, rendered.length()},
                                [&](const ns::Value& value, ns::Range range, bool&) {
                                    if (!value.isNil()) fromContext.push_back(range);
                                });
    // Such a range takes the label's colour and keeps its font and every other attribute.
    for (ns::Range range : fromContext) {
        rendered.removeAttribute(ct::ForegroundColorFromContextAttributeName, range);
        rendered.addAttribute(ct::ForegroundColorAttributeName, ns::Value(textColor()), range);
    }
    return rendered;
}

const ct::AttributedString& AttributedLabel::renderedAttributedText() const {
    if (renderOverride_) return *renderOverride_;
    if (!renderedAttributedText_) renderedAttributedText_ = renderedFormOf(attributedText_.value_or(ct::AttributedString()));
    return *renderedAttributedText_;
}

void AttributedLabel::setTextColor(std::shared_ptr<ui::Color> color) {
    const std::shared_ptr<ui::Color> before = textColor();
    ui::Label::setTextColor(std::move(color));
    if (textColor() != before) {
        setNeedsFramesetter();
        setNeedsDisplay();
    }
}

void AttributedLabel::setHighlighted(bool highlighted) {
    ui::Label::setHighlighted(highlighted);
    setNeedsDisplay();
}

}  // namespace ql
