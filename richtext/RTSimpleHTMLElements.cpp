#include "richtext/RTSimpleHTMLElements.h"

#include "platform/text/AttributeNames.h"
#include "richtext/RTAttributeNames.h"
#include "richtext/RTHTMLColors.h"

namespace ql {

void RTAnchorHTMLElement::applyStyleDictionary(const ns::Dictionary& styles) {
    RTHTMLElement::applyStyleDictionary(styles);
    if (const ns::Value* active = styles.find("active:color")) highlightedTextColor_ = RTColorFromHTMLColorString(active->stringValue());
}

bool RTAnchorHTMLElement::appendAttributedStringTo(ct::AttributedString& text) {
    const std::uint64_t own = text.length();
    if (!RTHTMLElement::appendAttributedStringTo(text)) return false;
    if (highlightedTextColor_ && text.length() > own) {
        const ns::Range whole{own, text.length() - own};
        text.addAttribute(RTLinkHighlightColorAttribute, ns::Value(highlightedTextColor_), whole);
        text.addAttribute(ct::ForegroundColorFromContextAttributeName, ns::Value(true), whole);
    }
    return true;
}

bool RTBreakHTMLElement::appendAttributedStringTo(ct::AttributedString& text) {
    if (!writesText()) return false;
    text.appendAttributedString(ct::AttributedString(std::u16string(1, u'\u2028'), attributesForAttributedStringRepresentation()));
    return true;
}

ns::Dictionary RTHorizontalRuleHTMLElement::attributesForAttributedStringRepresentation() const {
    ns::Dictionary attributes = RTHTMLElement::attributesForAttributedStringRepresentation();
    attributes.set(RTHorizontalRuleStyleAttribute, ns::Value(true));
    return attributes;
}

bool RTHorizontalRuleHTMLElement::appendAttributedStringTo(ct::AttributedString& text) {
    if (!writesText()) return false;
    text.appendAttributedString(ct::AttributedString("\n", attributesForAttributedStringRepresentation()));
    return true;
}

}  // namespace ql
