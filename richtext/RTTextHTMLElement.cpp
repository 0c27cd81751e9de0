#include "richtext/RTTextHTMLElement.h"

namespace ql {

RTTextHTMLElement::RTTextHTMLElement(std::string_view text) : RTHTMLElement(ElementName, ns::Dictionary()), text_(text) {}

std::optional<ct::AttributedString> RTTextHTMLElement::attributedString() {
    std::lock_guard guard(outputLock());
    if (displayStyle() == RTHTMLElementDisplayStyle::None || didOutput()) return std::nullopt;
    return ct::AttributedString(text_, attributesForAttributedStringRepresentation());
}

}  // namespace ql
