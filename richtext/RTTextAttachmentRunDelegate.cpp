#include "richtext/RTTextAttachmentRunDelegate.h"

namespace ql {

std::shared_ptr<ct::RunDelegate> RTTextAttachmentRunDelegateCreate(const std::shared_ptr<RTTextAttachment>& attachment) {
    if (!attachment) return nullptr;
    return std::make_shared<ct::RunDelegate>(ct::RunDelegate::Callbacks{
        .ascent = [attachment] { return attachment->ascentForLayout(); },
        .descent = [attachment] { return attachment->descentForLayout(); },
        .width = [attachment] { return attachment->displaySize().width; },
    });
}

}  // namespace ql
