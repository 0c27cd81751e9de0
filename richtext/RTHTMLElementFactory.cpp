// Which class makes the element of a tag.

#include "richtext/RTHTMLNodePool.h"
#include "richtext/RTListItemHTMLElement.h"
#include "richtext/RTSimpleHTMLElements.h"
#include "richtext/RTStylesheetHTMLElement.h"
#include "richtext/RTTextAttachmentHTMLElement.h"

namespace ql {

std::shared_ptr<RTHTMLElement> RTHTMLElement::elementWithName(std::string_view name, ns::Dictionary attributes,
                                                              const ns::Dictionary& options,
                                                              const std::shared_ptr<RTHTMLNodePool>& pool) {
    if (name == "a") return makePooledNode<RTAnchorHTMLElement>(pool, name, std::move(attributes), options);
    if (name == "br") return makePooledNode<RTBreakHTMLElement>(pool, name, std::move(attributes), options);
    if (name == "hr") return makePooledNode<RTHorizontalRuleHTMLElement>(pool, name, std::move(attributes), options);
    if (name == "li") return makePooledNode<RTListItemHTMLElement>(pool, name, std::move(attributes), options);
    if (name == "style") return makePooledNode<RTStylesheetHTMLElement>(pool, name, std::move(attributes), options);
    if (name == "img" || name == "object" || name == "video" || name == "iframe" || RTTextAttachment::registeredClassForTagName(name)) {
        return makePooledNode<RTTextAttachmentHTMLElement>(pool, name, std::move(attributes), options);
    }
    return makePooledNode<RTHTMLElement>(pool, name, std::move(attributes), options);
}

}  // namespace ql
