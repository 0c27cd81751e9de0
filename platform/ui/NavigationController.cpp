#include "platform/ui/NavigationController.h"

#include <algorithm>

#include "platform/foundation/Exception.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"

namespace ql::ui {

namespace {

// The view that holds the bar and the top controller's view; it lays them out through its controller.
class NavigationContainerView final : public View {
    QL_OBJECT_NAMED(NavigationContainerView, View, "UILayoutContainerView")
public:
    using View::View;
};

}  // namespace

NavigationController::NavigationController() = default;

NavigationController::NavigationController(std::shared_ptr<ViewController> rootViewController) {
    if (rootViewController) {
        addChildViewController(rootViewController);
        rootViewController->didMoveToParentViewController(this);
    }
}

std::shared_ptr<ViewController> NavigationController::topViewController() const {
    const auto& stack = childViewControllers();
    return stack.empty() ? nullptr : stack.back();
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const {
    auto top = topViewController();
    if (auto presented = presentedViewController()) return presented;
    return top;
}

const std::shared_ptr<NavigationBar>& NavigationController::navigationBar() {
    if (!bar_) {
        bar_ = std::make_shared<NavigationBar>();
        bar_->setDelegate(std::static_pointer_cast<NavigationController>(shared_from_this()));
        bar_->setAutoresizingMask(ViewAutoresizingFlexibleWidth);
        syncBarItems(false);
    }
    return bar_;
}

const std::shared_ptr<Toolbar>& NavigationController::toolbar() {
    if (!toolbar_) {
        toolbar_ = std::make_shared<Toolbar>();
        toolbar_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleTopMargin);
        toolbar_->setHidden(toolbarHidden_);
        topToolbarItemsChanged(false);
        if (isViewLoaded()) {
            view()->addSubview(toolbar_);
            view()->setNeedsLayout();
        }
    }
    return toolbar_;
}

void NavigationController::setToolbarHidden(bool hidden, bool) {
    toolbarHidden_ = hidden;
    toolbar()->setHidden(hidden);
}

void NavigationController::topToolbarItemsChanged(bool animated) {
    if (!toolbar_) return;
    auto top = topViewController();
    toolbar_->setItems(top ? top->toolbarItems() : std::vector<std::shared_ptr<BarButtonItem>>{}, animated);
}

void NavigationController::loadView() {
    setView(std::make_shared<NavigationContainerView>(Screen::mainScreen().bounds()));
    const auto& bar = navigationBar();
    bar->setHidden(barHidden_);
    view()->addSubview(bar);
    if (toolbar_) view()->addSubview(toolbar_);
    if (auto top = topViewController()) {
        AppearanceHold hold({top.get()});
        top->view()->setFrame(contentFrame(*top));
        top->view()->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
        view()->insertSubview(top->view(), 0);
        shown_ = top;
    }
}

cg::Rect NavigationController::contentFrame(const ViewController& controller) const {
    const cg::Rect bounds = viewIfLoaded() ? viewIfLoaded()->bounds() : Screen::mainScreen().bounds();
    if (barHidden_ || !bar_ || (controller.edgesForExtendedLayout() & RectEdgeTop)) return bounds;
    const double top = cg::maxY(bar_->frame());
    return {bounds.origin.x, bounds.origin.y + top, bounds.size.width, bounds.size.height - top};
}

void NavigationController::viewWillLayoutSubviews() {
    if (!bar_ || !isViewLoaded()) return;
    const cg::Rect bounds = view()->bounds();
    const double statusBar = Application::sharedApplication().statusBarFrame().size.height;
    bar_->setFrame({0, statusBar, bounds.size.width, bar_->sizeThatFits(bounds.size).height});
    if (toolbar_) {
        toolbar_->setFrame({0, bounds.size.height - Toolbar::kHeight, bounds.size.width, Toolbar::kHeight});
    }
    if (auto shown = shown_.lock()) {
        if (shown->isViewLoaded() && shown->view()->superview() == view().get()) shown->view()->setFrame(contentFrame(*shown));
    }
}

bool NavigationController::isShowing() const {
    const auto& v = viewIfLoaded();
    return v && v->window() && !v->window()->isHidden();
}

void NavigationController::syncBarItems(bool animated) {
    if (!bar_) return;
    std::vector<std::shared_ptr<NavigationItem>> items;
    for (const auto& c : childViewControllers()) items.push_back(c->navigationItem());
    bar_->setItems(std::move(items), animated);
    topToolbarItemsChanged(animated);
}

void NavigationController::setNavigationBarHidden(bool hidden, bool) {
    barHidden_ = hidden;
    if (bar_) bar_->setHidden(hidden);
    if (isViewLoaded()) {
        view()->setNeedsLayout();
        if (auto shown = shown_.lock(); shown && shown->isViewLoaded()) shown->view()->setFrame(contentFrame(*shown));
    }
}

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& controller, bool animated) {
    if (!controller) return;
    const auto& stack = childViewControllers();
    if (std::find(stack.begin(), stack.end(), controller) != stack.end()) {
        throw ns::Exception(ns::InvalidArgumentException,
                            "Pushing the same view controller instance more than once is not supported");
    }
    finishPendingTransition();
    auto from = topViewController();
    addChildViewController(controller);
    controller->setMovingToParent(true);
    transition(from, controller, true, animated, {}, {controller});
}

std::shared_ptr<ViewController> NavigationController::popViewControllerAnimated(bool animated) {
    const auto& stack = childViewControllers();
    if (stack.size() < 2) return nullptr;
    auto popped = popToViewController(stack[stack.size() - 2].get(), animated);
    return popped.empty() ? nullptr : popped.front();
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewControllerAnimated(bool animated) {
    const auto& stack = childViewControllers();
    if (stack.empty()) return {};
    return popToViewController(stack.front().get(), animated);
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToViewController(const ViewController* controller,
                                                                                      bool animated) {
    finishPendingTransition();
    const auto stack = childViewControllers();
    auto it = std::find_if(stack.begin(), stack.end(), [&](const auto& c) { return c.get() == controller; });
    if (it == stack.end()) {
        throw ns::Exception(ns::InvalidArgumentException, "Tried to pop to a view controller that doesn't exist.");
    }
    std::vector<std::shared_ptr<ViewController>> leaving(it + 1, stack.end());
    if (leaving.empty()) return {};
    auto from = stack.back();
    for (auto& c : leaving) c->willMoveToParentViewController(nullptr);
    from->setMovingFromParent(true);
    transition(from, *it, false, animated, leaving, {});
    return leaving;
}

void NavigationController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool animated) {
    finishPendingTransition();
    auto from = topViewController();
    const auto old = childViewControllers();
    std::vector<std::shared_ptr<ViewController>> leaving;
    for (const auto& c : old) {
        if (std::find(controllers.begin(), controllers.end(), c) == controllers.end()) leaving.push_back(c);
    }
    for (auto& c : leaving) c->willMoveToParentViewController(nullptr);
    std::vector<std::shared_ptr<ViewController>> arriving;
    for (auto& c : controllers) {
        if (std::find(old.begin(), old.end(), c) != old.end()) continue;
        addChildViewController(c);
        arriving.push_back(c);
    }
    std::vector<std::shared_ptr<ViewController>> order = controllers;
    order.insert(order.end(), leaving.begin(), leaving.end());
    reorderChildViewControllers(std::move(order));
    // The leaving ones stay children until the transition is over, after the new stack.
    auto to = controllers.empty() ? nullptr : controllers.back();
    const bool forward = to && std::find(old.begin(), old.end(), to) == old.end();
    if (to == from) {
        for (auto& c : leaving) c->removeFromParentViewController();
        for (auto& c : arriving) c->didMoveToParentViewController(this);
        syncBarItems(animated);
        return;
    }
    if (to) to->setMovingToParent(forward);
    transition(from, to, forward, animated, leaving, arriving);
}

void NavigationController::transition(const std::shared_ptr<ViewController>& from, const std::shared_ptr<ViewController>& to,
                                      bool forward, bool animated, std::vector<std::shared_ptr<ViewController>> leaving,
                                      std::vector<std::shared_ptr<ViewController>> arriving) {
    auto self = std::static_pointer_cast<NavigationController>(shared_from_this());
    // The stack as it will be: the leaving controllers are no longer part of it for the bar.
    {
        std::vector<std::shared_ptr<NavigationItem>> items;
        for (const auto& c : childViewControllers()) {
            if (std::find(leaving.begin(), leaving.end(), c) == leaving.end()) items.push_back(c->navigationItem());
        }
        if (bar_) bar_->setItems(std::move(items), animated);
        if (toolbar_) toolbar_->setItems(to ? to->toolbarItems() : std::vector<std::shared_ptr<BarButtonItem>>{}, animated);
    }
    auto finishChildren = [self, leaving, arriving] {
        for (auto& c : leaving) {
            c->removeFromParentViewController();
            c->setMovingFromParent(false);
        }
        for (auto& c : arriving) {
            c->setMovingToParent(false);
            c->didMoveToParentViewController(self.get());
        }
        // A tab bar controller above hides its bar while a controller that asks for it is on the stack.
        if (auto* tabs = self->tabBarController(); tabs && tabs->isViewLoaded()) tabs->viewIfLoaded()->setNeedsLayout();
    };
    if (!isViewLoaded() || !to) {
        finishChildren();
        return;
    }
    const bool showing = isShowing();
    animated = animated && showing;
    to->view();
    if (auto d = delegate(); d && to) d->navigationControllerWillShowViewControllerAnimated(*this, *to, animated);
    if (showing) {
        if (from) from->beginAppearanceTransition(false, animated);
        to->beginAppearanceTransition(true, animated);
    }
    const cg::Rect frame = contentFrame(*to);
    const double width = view()->bounds().size.width;
    {
        AppearanceHold hold({from.get(), to.get()});
        auto toView = to->view();
        toView->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
        toView->setFrame(animated ? cg::rectOffset(frame, forward ? width : -width / 3, 0) : frame);
        if (from && from->isViewLoaded() && from->view()->superview() == view().get()) {
            if (forward) view()->insertSubviewAbove(toView, from->view().get());
            else view()->insertSubviewBelow(toView, from->view().get());
        } else {
            view()->insertSubviewBelow(toView, bar_.get());
        }
    }
    shown_ = to;
    auto toView = to->view();
    auto fromView = from ? from->viewIfLoaded() : nullptr;
    runTransition(
        animated,
        [toView, fromView, frame, forward, width] {
            toView->setFrame(frame);
            if (fromView) fromView->setFrame(cg::rectOffset(fromView->frame(), forward ? -width / 3 : width, 0));
        },
        [self, from, to, fromView, frame, showing, animated, finishChildren] {
            if (fromView && fromView->superview() == self->view().get()) {
                AppearanceHold hold({from.get()});
                fromView->removeFromSuperview();
                fromView->setFrame(frame);
            }
            if (showing) {
                if (from) from->endAppearanceTransition();
                to->endAppearanceTransition();
            }
            finishChildren();
            if (auto d = self->delegate()) d->navigationControllerDidShowViewControllerAnimated(*self, *to, animated);
        });
}

bool NavigationController::navigationBarShouldPopItem(NavigationBar&, NavigationItem& item) {
    auto top = topViewController();
    if (top && top->navigationItem().get() == &item) popViewControllerAnimated(true);
    return false;
}

}  // namespace ql::ui
