#pragma once
// ui::PopoverController: a controller's view shown in a popover pointing at a bar button item. A popover
// that the person dismisses by touching outside it tells its delegate; one dismissed in code does not.

#include <memory>

#include "platform/foundation/Object.h"
#include "platform/ui/PopoverPresentationController.h"

namespace ql::ui {

class BarButtonItem;
class PopoverController;
class ViewController;

class PopoverControllerDelegate {
public:
    virtual ~PopoverControllerDelegate() = default;
    virtual void popoverControllerDidDismissPopover(PopoverController&) {}
};

class PopoverController : public ns::Object {
    QL_OBJECT_NAMED(PopoverController, ns::Object, "UIPopoverController")
public:
    explicit PopoverController(std::shared_ptr<ViewController> contentViewController);

    const std::shared_ptr<ViewController>& contentViewController() const { return content_; }
    std::weak_ptr<PopoverControllerDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<PopoverControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    void presentPopoverFromBarButtonItem(const std::shared_ptr<BarButtonItem>& item, unsigned arrowDirections, bool animated);
    void dismissPopoverAnimated(bool animated);
    bool isPopoverVisible() const { return visible_; }
    std::shared_ptr<BarButtonItem> barButtonItem() const { return anchor_.lock(); }
    unsigned arrowDirections() const { return arrowDirections_; }

    // The person's side: a touch outside the popover dismisses it and tells the delegate.
    void touchOutside();

private:
    std::shared_ptr<ViewController> content_;
    std::weak_ptr<PopoverControllerDelegate> delegate_;
    std::weak_ptr<BarButtonItem> anchor_;
    unsigned arrowDirections_ = PopoverArrowDirectionAny;
    bool visible_ = false;
};

}  // namespace ql::ui
