#include "richtext/RTTextAttachmentHTMLElement.h"

namespace ql {

RTTextAttachmentHTMLElement::RTTextAttachmentHTMLElement(std::string_view name, const ns::Dictionary& attributes,
                                                         const ns::Dictionary& options)
    : RTHTMLElement(name, attributes, options) {
    setTextAttachment(RTTextAttachment::textAttachmentWithElement(name, attributes, options));
}

}  // namespace ql
