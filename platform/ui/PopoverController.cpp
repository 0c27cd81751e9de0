#include "platform/ui/PopoverController.h"

#include "platform/ui/MainThread.h"
#include "platform/ui/ViewController.h"

namespace ql::ui {

PopoverController::PopoverController(std::shared_ptr<ViewController> contentViewController)
    : content_(std::move(contentViewController)) {}

void PopoverController::presentPopoverFromBarButtonItem(const std::shared_ptr<BarButtonItem>& item, unsigned arrowDirections,
                                                        bool) {
    assertMainThread();
    anchor_ = item;
    arrowDirections_ = arrowDirections;
    if (content_) content_->loadViewIfNeeded();
    visible_ = true;
}

void PopoverController::dismissPopoverAnimated(bool) {
    assertMainThread();
    visible_ = false;
}

void PopoverController::touchOutside() {
    if (!visible_) return;
    auto self = shared_from_this();
    visible_ = false;
    if (auto delegate = delegate_.lock()) delegate->popoverControllerDidDismissPopover(*this);
}

}  // namespace ql::ui
