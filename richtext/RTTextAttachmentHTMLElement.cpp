#include "richtext/RTTextAttachmentHTMLElement.h"

namespace ql {

RTTextAttachmentHTMLElement::RTTextAttachmentHTMLElement(std::string_view name, ns::Dictionary attributes,
                                                         const ns::Dictionary& options)
    : RTHTMLElement(name, std::move(attributes), options) {
    setTextAttachment(RTTextAttachment::textAttachmentWithElement(name, this->attributes(), options));
}

}  // namespace ql
