#include "richtext/RTSimpleHTMLElements.h"

#include "platform/text/AttributeNames.h"
#include "richtext/RTAttributeNames.h"
#include "richtext/RTHTMLColors.h"

namespace ql {

void RTAnchorHTMLElement::applyStyleDictionary(const ns::Dictionary& styles) {
    RTHTMLElement::applyStyleDictionary(styles);
    if (const ns::Value* active = styles.find("active:color")) highlightedTextColor_ = RTColorFromHTMLColorString(active->stringValue());
}

std::optional<ct::AttributedString> RTAnchorHTMLElement::attributedString() {
    std::optional<ct::AttributedString> text = RTHTMLElement::attributedString();
    if (text && highlightedTextColor_ && !text->empty()) {
        const ns::Range whole{0, text->length()};
        text->addAttribute(RTLinkHighlightColorAttribute, ns::Value(highlightedTextColor_), whole);
        text->addAttribute(ct::ForegroundColorFromContextAttributeName, ns::Value(true), whole);
    }
    return text;
}

std::optional<ct::AttributedString> RTBreakHTMLElement::attributedString() {
    if (displayStyle() == RTHTMLElementDisplayStyle::None || didOutput()) return std::nullopt;
    return ct::AttributedString(std::u16string(1, u'\u2028'), attributesForAttributedStringRepresentation());
}

ns::Dictionary RTHorizontalRuleHTMLElement::attributesForAttributedStringRepresentation() const {
    ns::Dictionary attributes = RTHTMLElement::attributesForAttributedStringRepresentation();
    attributes.set(RTHorizontalRuleStyleAttribute, ns::Value(true));
    return attributes;
}

std::optional<ct::AttributedString> RTHorizontalRuleHTMLElement::attributedString() {
    if (displayStyle() == RTHTMLElementDisplayStyle::None || didOutput()) return std::nullopt;
    return ct::AttributedString("\n", attributesForAttributedStringRepresentation());
}

}  // namespace ql
