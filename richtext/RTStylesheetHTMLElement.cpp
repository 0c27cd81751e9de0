#include "richtext/RTStylesheetHTMLElement.h"

#include "richtext/RTTextHTMLElement.h"

namespace ql {

RTCSSStylesheet RTStylesheetHTMLElement::stylesheet() const {
    std::string css;
    if (const std::optional<NodeList> children = childNodes()) {
        for (const auto& child : *children) {
            if (auto raw = std::dynamic_pointer_cast<RTHTMLParserTextNode>(child)) css += raw->characters();
            else if (auto text = std::dynamic_pointer_cast<RTTextHTMLElement>(child)) css += text->text();
        }
    }
    return RTCSSStylesheet(css);
}

}  // namespace ql
