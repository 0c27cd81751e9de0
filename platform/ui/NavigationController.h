#pragma once
// ui::NavigationController: a stack of view controllers of which the top one shows, under a navigation
// bar that shows their navigation items. Pushing and popping run the platform's appearance order
// (the leaving controller's will-disappear, the coming one's will-appear, then both did-) around a slide
// on ns::Clock. There is no swipe back here.

#include <memory>
#include <vector>

#include "platform/ui/NavigationBar.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/ViewController.h"

namespace ql::ui {

class GestureRecognizer;
class NavigationController;

class NavigationControllerDelegate {
public:
    virtual ~NavigationControllerDelegate() = default;
    virtual void navigationControllerWillShowViewControllerAnimated(NavigationController&, ViewController&, bool) {}
    virtual void navigationControllerDidShowViewControllerAnimated(NavigationController&, ViewController&, bool) {}
};

class NavigationController : public ViewController, public NavigationBarDelegate {
    QL_OBJECT_NAMED(NavigationController, ViewController, "UINavigationController")
public:
    NavigationController();
    explicit NavigationController(std::shared_ptr<ViewController> rootViewController);

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return childViewControllers(); }
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool animated = false);
    std::shared_ptr<ViewController> topViewController() const;
    // The top controller, or what it presents.
    std::shared_ptr<ViewController> visibleViewController() const;

    // Pushing a controller that is already on the stack raises "NSInvalidArgumentException".
    void pushViewController(const std::shared_ptr<ViewController>& controller, bool animated);
    // Null when only the root is left.
    std::shared_ptr<ViewController> popViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToRootViewControllerAnimated(bool animated);
    // Raises "NSInvalidArgumentException" for a controller that is not on the stack.
    std::vector<std::shared_ptr<ViewController>> popToViewController(const ViewController* controller, bool animated);

    const std::shared_ptr<NavigationBar>& navigationBar();
    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    // The bar along the bottom that shows the top controller's toolbar items; hidden at first.
    const std::shared_ptr<Toolbar>& toolbar();
    bool isToolbarHidden() const { return toolbarHidden_; }
    void setToolbarHidden(bool hidden, bool animated = false);
    // The top controller's toolbar items changed.
    void topToolbarItemsChanged(bool animated);

    // The platform's swipe back does not exist here.
    std::shared_ptr<GestureRecognizer> interactivePopGestureRecognizer() const { return nullptr; }

    std::shared_ptr<NavigationControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<NavigationControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    void loadView() override;
    void viewWillLayoutSubviews() override;

    // The back button: pops the top controller instead of letting the bar pop its item alone.
    bool navigationBarShouldPopItem(NavigationBar& bar, NavigationItem& item) override;

private:
    bool isShowing() const;
    cg::Rect contentFrame(const ViewController& controller) const;
    void syncBarItems(bool animated);
    // Moves from the shown top to `to` (already on the stack), forwards or back.
    void transition(const std::shared_ptr<ViewController>& from, const std::shared_ptr<ViewController>& to,
                    bool forward, bool animated, std::vector<std::shared_ptr<ViewController>> leaving,
                    std::vector<std::shared_ptr<ViewController>> arriving);

    std::shared_ptr<NavigationBar> bar_;
    bool barHidden_ = false;
    std::shared_ptr<Toolbar> toolbar_;
    bool toolbarHidden_ = true;
    std::weak_ptr<NavigationControllerDelegate> delegate_;
    std::weak_ptr<ViewController> shown_;
};

}  // namespace ql::ui
