#include "richtext/RTTextAttachmentRunDelegate.h"

namespace ql {

std::shared_ptr<ct::RunDelegate> RTTextAttachmentRunDelegateCreate(const std::shared_ptr<RTTextAttachment>& attachment) {
    if (!attachment) return nullptr;
    // One callback holds the attachment for the delegate, which keeps all three for as long as it lives
    // and never hands them out; the other two read it through the pointer, which a callback keeps inside
    // itself instead of on the heap.
    const RTTextAttachment* held = attachment.get();
    return std::make_shared<ct::RunDelegate>(ct::RunDelegate::Callbacks{
        .ascent = [held] { return held->ascentForLayout(); },
        .descent = [held] { return held->descentForLayout(); },
        .width = [attachment] { return attachment->displaySize().width; },
    });
}

}  // namespace ql
