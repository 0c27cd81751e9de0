#include "richtext/RTTextAttachmentRunDelegate.h"

namespace ql {

std::shared_ptr<ct::RunDelegate> RTTextAttachmentRunDelegateCreate(const std::shared_ptr<RTTextAttachment>& attachment) {
    if (!attachment) return nullptr;
    // The delegate keeps the attachment as its reference for as long as it lives and never hands it out;
    // the callbacks read it through the pointer, which each keeps inside itself instead of on the heap.
    const RTTextAttachment* held = attachment.get();
    return std::make_shared<ct::RunDelegate>(
        ct::RunDelegate::Callbacks{
            .ascent = [held] { return held->ascentForLayout(); },
            .descent = [held] { return held->descentForLayout(); },
            .width = [held] { return held->displaySize().width; },
        },
        attachment);
}

}  // namespace ql
