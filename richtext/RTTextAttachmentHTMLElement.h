#pragma once
// RTTextAttachmentHTMLElement: an element whose content is an embedded object (img, object, video,
// iframe and any tag registered with RTTextAttachment). It makes the attachment from its attributes and
// the import's options (base URL, largest image size); its text is the object replacement character.

#include "richtext/RTHTMLElement.h"

namespace ql {

class RTTextAttachmentHTMLElement final : public RTHTMLElement {
    QL_OBJECT(RTTextAttachmentHTMLElement, RTHTMLElement)
public:
    RTTextAttachmentHTMLElement(std::string_view name, ns::Dictionary attributes, const ns::Dictionary& options = {});
};

}  // namespace ql
