#pragma once
// ui::TabBarController: shows one of its child controllers at a time above a tab bar of their tab bar
// items. Selecting another tab (by code or by a tap on the bar, which asks the delegate first) swaps the
// shown controller, with the platform's appearance order.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/ViewController.h"

namespace ql::ui {

class TabBarController;

class TabBarControllerDelegate {
public:
    virtual ~TabBarControllerDelegate() = default;
    virtual bool tabBarControllerShouldSelectViewController(TabBarController&, ViewController&) { return true; }
    virtual void tabBarControllerDidSelectViewController(TabBarController&, ViewController&) {}
};

class TabBarController : public ViewController, public TabBarDelegate {
    QL_OBJECT_NAMED(TabBarController, ViewController, "UITabBarController")
public:
    TabBarController() = default;

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return childViewControllers(); }
    // The first tab is selected when none was (or the selected one is gone).
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool animated = false);
    std::shared_ptr<ViewController> selectedViewController() const;
    void setSelectedViewController(const std::shared_ptr<ViewController>& controller);
    // ns::NotFound without tabs.
    std::uint64_t selectedIndex() const;
    void setSelectedIndex(std::uint64_t index);

    const std::shared_ptr<TabBar>& tabBar();

    std::shared_ptr<TabBarControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<TabBarControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    void loadView() override;
    void viewWillLayoutSubviews() override;

    // A tap on the bar.
    void tabBarDidSelectItem(TabBar& bar, TabBarItem& item) override;

private:
    void select(const std::shared_ptr<ViewController>& controller);
    cg::Rect contentFrame(const ViewController& controller) const;
    bool barHiddenFor(const ViewController& controller) const;

    std::shared_ptr<TabBar> tabBar_;
    std::weak_ptr<ViewController> selected_;
    std::weak_ptr<TabBarControllerDelegate> delegate_;
};

}  // namespace ql::ui
