#pragma once
// The run delegate that makes text layout leave room for an attachment: it reports the attachment's
// ascent, descent and display width as they are when layout asks, so a size set later still counts.

#include <memory>

#include "platform/text/RunDelegate.h"
#include "richtext/RTTextAttachment.h"

namespace ql {

// A new delegate holding the attachment; nullptr for no attachment.
std::shared_ptr<ct::RunDelegate> RTTextAttachmentRunDelegateCreate(const std::shared_ptr<RTTextAttachment>& attachment);

}  // namespace ql
