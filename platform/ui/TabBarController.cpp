#include "platform/ui/TabBarController.h"

#include <algorithm>

#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarItem.h"
#include "platform/ui/Window.h"

namespace ql::ui {

namespace {

class TabBarContainerView final : public View {
    QL_OBJECT_NAMED(TabBarContainerView, View, "UITransitionView")
public:
    using View::View;
};

}  // namespace

const std::shared_ptr<TabBar>& TabBarController::tabBar() {
    if (!tabBar_) {
        tabBar_ = std::make_shared<TabBar>();
        tabBar_->setDelegate(std::static_pointer_cast<TabBarController>(shared_from_this()));
        tabBar_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleTopMargin);
    }
    return tabBar_;
}

void TabBarController::loadView() {
    setView(std::make_shared<TabBarContainerView>(Screen::mainScreen().bounds()));
    view()->addSubview(tabBar());
    viewWillLayoutSubviews();
    if (auto selected = selectedViewController()) {
        AppearanceHold hold({selected.get()});
        selected->view()->setFrame(contentFrame(*selected));
        view()->insertSubviewBelow(selected->view(), tabBar_.get());
    }
}

bool TabBarController::barHiddenFor(const ViewController& controller) const {
    if (const auto* nav = dynamic_cast<const NavigationController*>(&controller)) {
        const auto& stack = nav->viewControllers();
        for (std::size_t i = 1; i < stack.size(); ++i) {
            if (stack[i]->hidesBottomBarWhenPushed()) return true;
        }
    }
    return false;
}

cg::Rect TabBarController::contentFrame(const ViewController& controller) const {
    const cg::Rect bounds = viewIfLoaded() ? viewIfLoaded()->bounds() : Screen::mainScreen().bounds();
    if (!tabBar_ || tabBar_->isHidden() || (controller.edgesForExtendedLayout() & RectEdgeBottom)) return bounds;
    return {bounds.origin.x, bounds.origin.y, bounds.size.width, cg::minY(tabBar_->frame()) - bounds.origin.y};
}

void TabBarController::viewWillLayoutSubviews() {
    if (!tabBar_ || !isViewLoaded()) return;
    const cg::Rect bounds = view()->bounds();
    const double height = tabBar_->sizeThatFits(bounds.size).height;
    tabBar_->setFrame({0, bounds.size.height - height, bounds.size.width, height});
    auto selected = selectedViewController();
    tabBar_->setHidden(selected && barHiddenFor(*selected));
    if (selected && selected->isViewLoaded() && selected->view()->superview() == view().get()) {
        selected->view()->setFrame(contentFrame(*selected));
    }
}

void TabBarController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool) {
    auto selected = selectedViewController();
    const auto old = childViewControllers();
    const bool keepsSelected = selected && std::find(controllers.begin(), controllers.end(), selected) != controllers.end();
    for (const auto& c : old) {
        if (std::find(controllers.begin(), controllers.end(), c) != controllers.end()) continue;
        c->willMoveToParentViewController(nullptr);
        if (c != selected) c->removeFromParentViewController();
    }
    for (const auto& c : controllers) {
        if (std::find(old.begin(), old.end(), c) != old.end()) continue;
        addChildViewController(c);
        c->didMoveToParentViewController(this);
    }
    std::vector<std::shared_ptr<ViewController>> order = controllers;
    if (selected && !keepsSelected) order.push_back(selected);
    reorderChildViewControllers(order);

    std::vector<std::shared_ptr<TabBarItem>> items;
    for (const auto& c : controllers) items.push_back(c->tabBarItem());
    tabBar()->setItems(std::move(items), false);

    if (!keepsSelected) {
        select(controllers.empty() ? nullptr : controllers.front());
        if (selected) selected->removeFromParentViewController();
    } else {
        tabBar_->setSelectedItem(selected->tabBarItem());
    }
}

std::shared_ptr<ViewController> TabBarController::selectedViewController() const { return selected_.lock(); }

void TabBarController::setSelectedViewController(const std::shared_ptr<ViewController>& controller) {
    const auto& tabs = childViewControllers();
    if (std::find(tabs.begin(), tabs.end(), controller) == tabs.end()) return;
    select(controller);
}

std::uint64_t TabBarController::selectedIndex() const {
    auto selected = selectedViewController();
    const auto& tabs = childViewControllers();
    auto it = std::find(tabs.begin(), tabs.end(), selected);
    return selected && it != tabs.end() ? static_cast<std::uint64_t>(it - tabs.begin()) : ns::NotFound;
}

void TabBarController::setSelectedIndex(std::uint64_t index) {
    const auto& tabs = childViewControllers();
    if (index < tabs.size()) select(tabs[index]);
}

void TabBarController::select(const std::shared_ptr<ViewController>& controller) {
    auto from = selectedViewController();
    if (from == controller) return;
    selected_ = controller;
    if (tabBar_) tabBar_->setSelectedItem(controller ? controller->tabBarItem() : nullptr);
    if (!isViewLoaded()) return;
    const bool showing = view()->window() && !view()->window()->isHidden();
    if (controller) controller->view();
    if (showing) {
        if (from) from->beginAppearanceTransition(false, false);
        if (controller) controller->beginAppearanceTransition(true, false);
    }
    {
        AppearanceHold hold({from.get(), controller.get()});
        if (from && from->isViewLoaded() && from->view()->superview() == view().get()) from->view()->removeFromSuperview();
        if (controller) {
            controller->view()->setFrame(contentFrame(*controller));
            controller->view()->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
            view()->insertSubviewBelow(controller->view(), tabBar_.get());
        }
    }
    if (showing) {
        if (from) from->endAppearanceTransition();
        if (controller) controller->endAppearanceTransition();
    }
    view()->setNeedsLayout();
}

void TabBarController::tabBarDidSelectItem(TabBar&, TabBarItem& item) {
    const auto tabs = childViewControllers();
    for (const auto& c : tabs) {
        if (c->tabBarItem().get() != &item) continue;
        auto d = delegate();
        if (d && !d->tabBarControllerShouldSelectViewController(*this, *c)) {
            if (auto selected = selectedViewController(); selected && tabBar_) tabBar_->setSelectedItem(selected->tabBarItem());
            return;
        }
        select(c);
        if (d) d->tabBarControllerDidSelectViewController(*this, *c);
        return;
    }
}

}  // namespace ql::ui
