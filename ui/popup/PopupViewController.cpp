#include "ui/popup/PopupViewController.h"

#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/Screen.h"
#include "ui/DeviceModel.h"

namespace ql {

namespace {

const char kPopupViewControllerKey = 0;
const char kPopupBackgroundViewKey = 0;
const char kDismissedCallbackKey = 0;
const char kDismissTargetKey = 0;

constexpr unsigned kFlexibleSize = ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight;
constexpr unsigned kFlexibleMargins = ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
                                      ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin;
// An iPad's faded-in card is this much taller than its own height.
constexpr double kPadExtraHeight = 200;

class CallbackBox : public ns::Object {
public:
    explicit CallbackBox(PopupDismissedCallback callback) : callback(std::move(callback)) {}
    const PopupDismissedCallback callback;
};

// The dismiss button's target, owned by the button: it sends the tap on to the presenter.
class DismissTarget : public ns::Object {
public:
    explicit DismissTarget(std::weak_ptr<ui::ViewController> presenter) : presenter_(std::move(presenter)) {}
    void tapped(ns::Object* sender) {
        if (auto presenter = presenter_.lock()) dismissPopupViewControllerWithanimation(*presenter, sender);
    }

private:
    std::weak_ptr<ui::ViewController> presenter_;
};

std::shared_ptr<ui::ViewController> sharedPresenter(ui::ViewController& presenter) {
    return std::static_pointer_cast<ui::ViewController>(presenter.shared_from_this());
}

std::shared_ptr<ui::View> sharedView(ui::View* view) { return view ? view->sharedFromThis() : nullptr; }

bool isSlide(std::int32_t type) { return type >= 1 && type <= 8; }

cg::Rect centredFrame(cg::Size source, cg::Size popup) {
    return {(source.width - popup.width) / 2, (source.height - popup.height) / 2, popup.width, popup.height};
}

// The end of every dismissal, whatever it found to animate.
void finishDismissal(const std::shared_ptr<ui::ViewController>& presenter, const std::shared_ptr<ui::View>& popupView,
                     const std::shared_ptr<ui::View>& overlayView) {
    auto controller = mm_popupViewController(*presenter);
    {
        // The presented controller hears of its going from the animations only.
        ui::ViewController::AppearanceHold hold({controller.get()});
        if (popupView) popupView->removeFromSuperview();
        if (overlayView) overlayView->removeFromSuperview();
    }
    if (controller) controller->viewDidDisappear(false);
    mm_setPopupViewController(*presenter, nullptr);
    // Taken before it runs: a callback that presents the next popup sets that popup's own callback.
    if (auto callback = dismissedCallback(*presenter)) {
        setDismissedCallback(*presenter, nullptr);
        callback();
    }
}

}  // namespace

// ---- Attached values ----

std::shared_ptr<ui::ViewController> mm_popupViewController(const ui::ViewController& presenter) {
    return presenter.associatedValue(&kPopupViewControllerKey).asObject<ui::ViewController>();
}

void mm_setPopupViewController(ui::ViewController& presenter, std::shared_ptr<ui::ViewController> controller) {
    presenter.setAssociatedValue(&kPopupViewControllerKey, ns::Value(std::move(controller)));
}

std::shared_ptr<PopupBackgroundView> mm_popupBackgroundView(const ui::ViewController& presenter) {
    return presenter.associatedValue(&kPopupBackgroundViewKey).asObject<PopupBackgroundView>();
}

void mm_setPopupBackgroundView(ui::ViewController& presenter, std::shared_ptr<PopupBackgroundView> view) {
    presenter.setAssociatedValue(&kPopupBackgroundViewKey, ns::Value(std::move(view)));
}

PopupDismissedCallback dismissedCallback(const ui::ViewController& presenter) {
    auto box = presenter.associatedValue(&kDismissedCallbackKey).asObject<CallbackBox>();
    return box ? box->callback : PopupDismissedCallback{};
}

void setDismissedCallback(ui::ViewController& presenter, PopupDismissedCallback callback) {
    auto box = callback ? std::make_shared<CallbackBox>(std::move(callback)) : nullptr;
    presenter.setAssociatedValue(&kDismissedCallbackKey, ns::Value(std::move(box)));
}

// ---- Presenting ----

std::shared_ptr<ui::View> topView(ui::ViewController& presenter) {
    ui::ViewController* top = &presenter;
    while (top->parentViewController()) top = top->parentViewController();
    return top->view();
}

void presentPopupViewController(ui::ViewController& presenter, std::shared_ptr<ui::ViewController> controller,
                                std::int32_t animationType, PopupDismissedCallback dismissed) {
    mm_setPopupViewController(presenter, controller);
    presentPopupView(presenter, controller->view(), animationType, std::move(dismissed));
}

void presentPopupView(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                      std::int32_t animationType, PopupDismissedCallback dismissed) {
    ui::assertMainThread();
    auto source = topView(presenter);
    source->setTag(PopupSourceViewTag);
    popupView->setAutoresizingMask(kFlexibleMargins);
    popupView->setTag(PopupViewTag);
    if (popupView->superview() == source.get()) return;

    popupView->layer()->setShouldRasterize(true);
    popupView->layer()->setRasterizationScale(ui::Screen::mainScreen().scale());

    auto overlay = std::make_shared<ui::View>(source->bounds());
    overlay->setAutoresizingMask(kFlexibleSize);
    overlay->setTag(PopupOverlayViewTag);
    overlay->setBackgroundColor(ui::Color::clearColor());

    auto background = std::make_shared<PopupBackgroundView>(source->bounds());
    mm_setPopupBackgroundView(presenter, background);
    background->setAutoresizingMask(kFlexibleSize);
    background->setBackgroundColor(ui::Color::clearColor());
    background->setAlpha(0);
    overlay->addSubview(background);

    auto dismissButton = ui::Button::buttonWithType(ui::ButtonType::Custom);
    dismissButton->setAutoresizingMask(kFlexibleSize);
    dismissButton->setBackgroundColor(ui::Color::clearColor());
    dismissButton->setFrame(source->bounds());
    overlay->addSubview(dismissButton);

    popupView->setAlpha(0);
    {
        // The presented controller hears of its coming from the animations only.
        ui::ViewController::AppearanceHold hold({mm_popupViewController(presenter).get()});
        overlay->addSubview(popupView);
        source->addSubview(overlay);
    }

    auto target = std::make_shared<DismissTarget>(sharedPresenter(presenter));
    dismissButton->setAssociatedValue(&kDismissTargetKey, ns::Value(target));
    dismissButton->addTarget(target, ui::Action(&DismissTarget::tapped), ui::ControlEventTouchUpInside);

    if (animationType == PopupAnimationFadeIgnoringTaps) {
        dismissButton->setTag(PopupAnimationFadeIgnoringTaps);
        fadeViewIn(presenter, popupView, source, overlay);
    } else if (isSlide(animationType)) {
        dismissButton->setTag(animationType);
        slideViewIn(presenter, popupView, source, overlay, animationType);
    } else {
        dismissButton->setTag(0);
        fadeViewIn(presenter, popupView, source, overlay);
    }
    setDismissedCallback(presenter, std::move(dismissed));
}

void slideViewIn(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                 const std::shared_ptr<ui::View>& sourceView, const std::shared_ptr<ui::View>&,
                 std::int32_t animationType) {
    const cg::Size source = sourceView->bounds().size;
    const cg::Size popup = popupView->bounds().size;
    cg::Point start;
    switch (animationType) {
        case 1: case 2: start = {(source.width - popup.width) / 2, source.height}; break;
        case 3: case 4: start = {(source.width - popup.width) / 2, -popup.height}; break;
        case 5: case 6: start = {-source.width, (source.height - popup.height) / 2}; break;
        default: start = {source.width, (source.height - popup.height) / 2}; break;
    }
    popupView->setFrame({start, popup});
    popupView->setAlpha(1);
    const cg::Rect end = centredFrame(source, popup);
    auto owner = sharedPresenter(presenter);
    ui::View::animate(
        PopupAnimationDuration, 0, ui::ViewAnimationOptionCurveEaseOut,
        [owner, popupView, end] {
            if (auto controller = mm_popupViewController(*owner)) controller->viewWillAppear(false);
            if (auto background = mm_popupBackgroundView(*owner)) background->setAlpha(1);
            popupView->setFrame(end);
        },
        [owner](bool) {
            if (auto controller = mm_popupViewController(*owner)) controller->viewDidAppear(false);
        });
}

void fadeViewIn(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                const std::shared_ptr<ui::View>& sourceView, const std::shared_ptr<ui::View>&) {
    const cg::Size source = sourceView->bounds().size;
    const cg::Size popup = popupView->bounds().size;
    const double height = popup.height + (deviceModel() == 4 ? kPadExtraHeight : 0);
    popupView->setFrame({0, (source.height - popup.height) / 3, source.width, height});
    popupView->setAlpha(0);
    auto owner = sharedPresenter(presenter);
    ui::View::animate(
        PopupAnimationDuration,
        [owner, popupView] {
            if (auto controller = mm_popupViewController(*owner)) controller->viewWillAppear(false);
            if (auto background = mm_popupBackgroundView(*owner)) background->setAlpha(0.5);
            popupView->setAlpha(1);
        },
        [owner](bool) {
            if (auto controller = mm_popupViewController(*owner)) controller->viewDidAppear(false);
        });
}

// ---- Dismissing ----

void dismissPopupViewControllerWithanimationType(ui::ViewController& presenter, std::int32_t animationType) {
    ui::assertMainThread();
    auto source = topView(presenter);
    auto popupView = sharedView(source->viewWithTag(PopupViewTag));
    auto overlay = sharedView(source->viewWithTag(PopupOverlayViewTag));
    if (isSlide(animationType)) {
        slideViewOut(presenter, popupView, source, overlay, animationType);
    } else {
        fadeViewOut(presenter, popupView, source, overlay);
    }
}

void dismissPopupViewControllerWithanimation(ui::ViewController& presenter, ns::Object* sender) {
    auto* button = dynamic_cast<ui::Button*>(sender);
    if (!button) {
        dismissPopupViewControllerWithanimationType(presenter, 0);
        return;
    }
    const std::int64_t tag = button->tag();
    if (tag == PopupAnimationFadeIgnoringTaps) return;
    dismissPopupViewControllerWithanimationType(presenter, tag >= 1 && tag <= 8 ? static_cast<std::int32_t>(tag) : 0);
}

void slideViewOut(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                  const std::shared_ptr<ui::View>& sourceView, const std::shared_ptr<ui::View>& overlayView,
                  std::int32_t animationType) {
    const cg::Size source = sourceView->bounds().size;
    const cg::Size popup = popupView ? popupView->bounds().size : cg::Size{};
    const double currentY = popupView ? popupView->frame().origin.y : 0;
    cg::Point end;
    switch (animationType) {
        case 1: case 3: end = {(source.width - popup.width) / 2, -popup.height}; break;
        case 2: case 4: end = {(source.width - popup.width) / 2, source.height}; break;
        case 5: case 7: end = {-popup.width, currentY}; break;
        default: end = {source.width, currentY}; break;
    }
    auto owner = sharedPresenter(presenter);
    ui::View::animate(
        PopupAnimationDuration, 0, ui::ViewAnimationOptionCurveEaseIn,
        [owner, popupView, end, popup] {
            if (auto controller = mm_popupViewController(*owner)) controller->viewWillDisappear(false);
            if (popupView) popupView->setFrame({end, popup});
            if (auto background = mm_popupBackgroundView(*owner)) background->setAlpha(0);
        },
        [owner, popupView, overlayView](bool) { finishDismissal(owner, popupView, overlayView); });
}

void fadeViewOut(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                 const std::shared_ptr<ui::View>&, const std::shared_ptr<ui::View>& overlayView) {
    auto owner = sharedPresenter(presenter);
    ui::View::animate(
        PopupAnimationDuration,
        [owner, popupView] {
            if (auto controller = mm_popupViewController(*owner)) controller->viewWillDisappear(false);
            if (auto background = mm_popupBackgroundView(*owner)) background->setAlpha(0);
            if (popupView) popupView->setAlpha(0);
        },
        [owner, popupView, overlayView](bool) { finishDismissal(owner, popupView, overlayView); });
}

void keyboardNotifi(ui::ViewController& presenter, std::int64_t offset) {
    ui::View* popupView = topView(presenter)->viewWithTag(PopupViewTag);
    if (!popupView) return;
    cg::Rect frame = popupView->frame();
    frame.origin.y += static_cast<double>(offset);
    popupView->setFrame(frame);
}

}  // namespace ql
