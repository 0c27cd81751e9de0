#pragma once
// ui::PresentationController and ui::PopoverPresentationController: how a presented controller is shown.
// A controller presented in the popover style shows in a popover pointing at its anchor, a bar button item.

#include <memory>

#include "platform/foundation/Object.h"

namespace ql::ui {

class BarButtonItem;

enum PopoverArrowDirection : unsigned {
    PopoverArrowDirectionUp = 1u << 0,
    PopoverArrowDirectionDown = 1u << 1,
    PopoverArrowDirectionLeft = 1u << 2,
    PopoverArrowDirectionRight = 1u << 3,
    PopoverArrowDirectionAny = 15,
};

class PresentationController : public ns::Object {
    QL_OBJECT_NAMED(PresentationController, ns::Object, "UIPresentationController")
public:
    PresentationController() = default;
};

class PopoverPresentationController : public PresentationController {
    QL_OBJECT_NAMED(PopoverPresentationController, PresentationController, "UIPopoverPresentationController")
public:
    PopoverPresentationController() = default;

    std::shared_ptr<BarButtonItem> barButtonItem() const { return barButtonItem_.lock(); }
    void setBarButtonItem(std::weak_ptr<BarButtonItem> item) { barButtonItem_ = std::move(item); }
    unsigned permittedArrowDirections() const { return arrowDirections_; }
    void setPermittedArrowDirections(unsigned directions) { arrowDirections_ = directions; }

private:
    std::weak_ptr<BarButtonItem> barButtonItem_;
    unsigned arrowDirections_ = PopoverArrowDirectionAny;
};

}  // namespace ql::ui
