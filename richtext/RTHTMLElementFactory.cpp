// Which class makes the element of a tag.

#include "richtext/RTListItemHTMLElement.h"
#include "richtext/RTSimpleHTMLElements.h"
#include "richtext/RTStylesheetHTMLElement.h"
#include "richtext/RTTextAttachmentHTMLElement.h"

namespace ql {

std::shared_ptr<RTHTMLElement> RTHTMLElement::elementWithName(std::string_view name, const ns::Dictionary& attributes,
                                                              const ns::Dictionary& options) {
    if (name == "a") return std::make_shared<RTAnchorHTMLElement>(name, attributes, options);
    if (name == "br") return std::make_shared<RTBreakHTMLElement>(name, attributes, options);
    if (name == "hr") return std::make_shared<RTHorizontalRuleHTMLElement>(name, attributes, options);
    if (name == "li") return std::make_shared<RTListItemHTMLElement>(name, attributes, options);
    if (name == "style") return std::make_shared<RTStylesheetHTMLElement>(name, attributes, options);
    if (name == "img" || name == "object" || name == "video" || name == "iframe" || RTTextAttachment::registeredClassForTagName(name)) {
        return std::make_shared<RTTextAttachmentHTMLElement>(name, attributes, options);
    }
    return std::make_shared<RTHTMLElement>(name, attributes, options);
}

}  // namespace ql
