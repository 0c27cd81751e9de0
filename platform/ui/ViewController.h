#pragma once
// ui::ViewController: manages one view tree (its root view, loaded on first use from a registered nib
// builder or made plain), tells it when it will and did appear and disappear in the platform's order,
// takes part in containment (child controllers) and in modal presentation. Navigation and tab bar
// controllers are containers built on it.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Application.h"
#include "platform/ui/Responder.h"
#include "platform/ui/TraitCollection.h"
#include "platform/ui/View.h"

namespace ql::ui {

class BarButtonItem;
class LayoutGuide;
class NavigationController;
class ScrollView;
class NavigationItem;
class PopoverPresentationController;
class TabBarController;
class TabBarItem;

enum class ModalPresentationStyle {
    None = -1,
    FullScreen = 0,
    PageSheet = 1,
    FormSheet = 2,
    CurrentContext = 3,
    Custom = 4,
    OverFullScreen = 5,
    OverCurrentContext = 6,
    Popover = 7,
};

enum class ModalTransitionStyle { CoverVertical = 0, FlipHorizontal = 1, CrossDissolve = 2, PartialCurl = 3 };

enum RectEdge : unsigned {
    RectEdgeNone = 0,
    RectEdgeTop = 1u << 0,
    RectEdgeLeft = 1u << 1,
    RectEdgeBottom = 1u << 2,
    RectEdgeRight = 1u << 3,
    RectEdgeAll = 15,
};

class ViewController : public Responder {
    QL_OBJECT_NAMED(ViewController, Responder, "UIViewController")
public:
    // How long animated container and modal transitions take on ns::Clock.
    static constexpr double kTransitionDuration = 0.35;

    // With a nib name, the view comes from the nib builder registered under it; without one, from a
    // builder registered under the class name (without "Controller", then in full), else a plain view.
    explicit ViewController(std::string nibName = {});
    ~ViewController() override;

    // ---- The view ----
    const std::shared_ptr<View>& view();
    const std::shared_ptr<View>& viewIfLoaded() const { return view_; }
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(std::shared_ptr<View> view);
    void loadViewIfNeeded() { view(); }
    virtual void loadView();
    virtual void viewDidLoad() {}
    const std::string& nibName() const { return nibName_; }
    virtual void awakeFromNib() {}

    // ---- Appearance ----
    virtual void viewWillAppear(bool /*animated*/) {}
    virtual void viewDidAppear(bool /*animated*/) {}
    virtual void viewWillDisappear(bool /*animated*/) {}
    virtual void viewDidDisappear(bool /*animated*/) {}
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}
    // Containers call these around a transition; each pair is reported once and forwarded to the child
    // controllers whose views are inside this one's.
    void beginAppearanceTransition(bool isAppearing, bool animated);
    void endAppearanceTransition();
    virtual bool shouldAutomaticallyForwardAppearanceMethods() const { return true; }
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }
    bool isMovingToParentViewController() const { return movingToParent_; }
    bool isMovingFromParentViewController() const { return movingFromParent_; }

    // ---- Title and bar items ----
    const std::optional<std::string>& title() const { return title_; }
    // Also the title of the navigation item and of the tab bar item.
    virtual void setTitle(std::optional<std::string> title);
    const std::shared_ptr<NavigationItem>& navigationItem();
    const std::shared_ptr<TabBarItem>& tabBarItem();
    void setTabBarItem(std::shared_ptr<TabBarItem> item);
    bool hidesBottomBarWhenPushed() const { return hidesBottomBarWhenPushed_; }
    void setHidesBottomBarWhenPushed(bool hides) { hidesBottomBarWhenPushed_ = hides; }
    // Shown in the navigation controller's toolbar while this controller is the top one.
    const std::vector<std::shared_ptr<BarButtonItem>>& toolbarItems() const { return toolbarItems_; }
    void setToolbarItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool animated = false);

    // ---- Size classes ----
    // The traits of the window the view is in (of the screen before that).
    TraitCollection traitCollection() const;
    // Around a change of the traits (the device turning): the new traits, then the old ones.
    virtual void willTransitionToTraitCollection(const TraitCollection& /*newCollection*/) {}
    virtual void traitCollectionDidChange(const std::optional<TraitCollection>& /*previousCollection*/) {}
    // ---- Rotation ----
    // How long the interface takes to turn.
    static constexpr double kRotationDuration = 0.4;
    // Asked before the interface turns with the device; one controller on screen that refuses keeps it.
    virtual bool shouldAutorotate() const { return true; }
    // Around a turn: before it, inside its animation (the views already laid out for the new orientation),
    // and once it has ended.
    virtual void willRotateToInterfaceOrientation(InterfaceOrientation /*orientation*/, double /*duration*/) {}
    virtual void willAnimateRotationToInterfaceOrientation(InterfaceOrientation /*orientation*/, double /*duration*/) {}
    virtual void didRotateFromInterfaceOrientation(InterfaceOrientation /*previous*/) {}
    // Turns the interface to the device's orientation when it was kept from turning earlier.
    static void attemptRotationToDeviceOrientation();
    // The device's side: what an attempt does.
    static void setRotationAttemptHandler(std::function<void()> handler);
    // Every controller of the tree under `root`: children and presented controllers, depth first.
    static void forEachControllerInTree(ViewController& root, const std::function<void(ViewController&)>& visit);

    // ---- Containment ----
    ViewController* parentViewController() const { return parent_; }
    const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return children_; }
    void addChildViewController(const std::shared_ptr<ViewController>& child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(ViewController* /*parent*/) {}
    virtual void didMoveToParentViewController(ViewController* /*parent*/) {}
    // The nearest container of that kind above this controller.
    NavigationController* navigationController() const;
    TabBarController* tabBarController() const;

    // ---- Modal presentation ----
    // The presentation goes to the topmost ancestor of this controller, which must be on screen and not
    // presenting already (both are refused with a warning, as on the platform).
    void presentViewController(const std::shared_ptr<ViewController>& controller, bool animated,
                               std::function<void()> completion = {});
    // Dismisses what this controller presents (with everything presented above it), or, when it presents
    // nothing, asks its presenting controller to dismiss it.
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = {});
    const std::shared_ptr<ViewController>& presentedViewController() const { return presented_; }
    ViewController* presentingViewController() const;
    ModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
    void setModalPresentationStyle(ModalPresentationStyle style) { presentationStyle_ = style; }
    // Made when first asked for while the presentation style is the popover's; null in other styles.
    PopoverPresentationController* popoverPresentationController();
    ModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
    void setModalTransitionStyle(ModalTransitionStyle style) { transitionStyle_ = style; }

    // ---- Layout facts ----
    unsigned edgesForExtendedLayout() const { return edgesForExtendedLayout_; }
    void setEdgesForExtendedLayout(unsigned edges) { edgesForExtendedLayout_ = edges; }
    bool extendedLayoutIncludesOpaqueBars() const { return extendedLayoutIncludesOpaqueBars_; }
    void setExtendedLayoutIncludesOpaqueBars(bool includes) { extendedLayoutIncludesOpaqueBars_ = includes; }
    bool automaticallyAdjustsScrollViewInsets() const { return adjustsScrollViewInsets_; }
    void setAutomaticallyAdjustsScrollViewInsets(bool adjusts) { adjustsScrollViewInsets_ = adjusts; }
    // What the automatic adjustment does, for the scroll view the controller names (it is not found by
    // itself here): its top and bottom insets become how far the bars reach into the view, and content
    // resting at its top stays at its new top. Nothing happens while the adjustment is off.
    void adjustScrollViewInsets(ScrollView& scrollView);
    bool modalPresentationCapturesStatusBarAppearance() const { return capturesStatusBarAppearance_; }
    void setModalPresentationCapturesStatusBarAppearance(bool captures) { capturesStatusBarAppearance_ = captures; }
    InterfaceOrientation interfaceOrientation() const;
    // Invisible views at the top and bottom of the view, as tall as the bars that cover it there; made
    // and added to the view on first request (which loads the view).
    const std::shared_ptr<LayoutGuide>& topLayoutGuide();
    const std::shared_ptr<LayoutGuide>& bottomLayoutGuide();

    virtual void didReceiveMemoryWarning() {}

    Responder* nextResponder() const override;

    // ---- For windows and views ----
    static void memoryWarningToAll();
    // The appearance calls that follow a view tree onto or off a shown window.
    static void beginAutomaticAppearance(View* root, bool appearing);
    static void endAutomaticAppearance(View* root, bool appearing);
    // While alive, the controllers' appearance is left to the container that holds them.
    class AppearanceHold {
    public:
        explicit AppearanceHold(std::vector<ViewController*> controllers);
        ~AppearanceHold();
        AppearanceHold(const AppearanceHold&) = delete;
        AppearanceHold& operator=(const AppearanceHold&) = delete;

    private:
        std::vector<std::pair<ViewController*, bool>> held_;
    };
    // Brings the layout guides' lengths up to date; the view calls it before each layout pass.
    void updateLayoutGuides();
    // Ends every presentation above this controller at once, without animation.
    void dismissAllPresentedAtOnce();
    // Containers mark the controllers they are adding or removing.
    void setMovingToParent(bool moving) { movingToParent_ = moving; }
    void setMovingFromParent(bool moving) { movingFromParent_ = moving; }

protected:
    // Container transitions: the model values change at once and `finish` runs after the animation (at
    // once without one). A transition started while another is running completes the older first.
    static void runTransition(bool animated, const std::function<void()>& animations, std::function<void()> finish);
    static void finishPendingTransition();
    // Puts the children in this order; the list holds the same controllers as the children.
    void reorderChildViewControllers(std::vector<std::shared_ptr<ViewController>> order);
    // The controller's own class for its destructors, which only see the class they belong to: taken while
    // the object is whole, the first time it loads its view or goes into a container (a tab never shown
    // only goes into its navigation controller).
    std::string_view ownClassName() const { return ownClass_ ? ownClass_->name() : className(); }

private:
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };

    void dismissPresented(bool animated, std::function<void()> completion);

    void noteOwnClass() {
        if (!ownClass_) ownClass_ = &objectClass();
    }

    std::string nibName_;
    const ns::Class* ownClass_ = nullptr;
    std::shared_ptr<View> view_;
    std::optional<std::string> title_;
    std::shared_ptr<LayoutGuide> topLayoutGuide_;
    std::shared_ptr<LayoutGuide> bottomLayoutGuide_;
    std::shared_ptr<NavigationItem> navigationItem_;
    std::shared_ptr<TabBarItem> tabBarItem_;
    ViewController* parent_ = nullptr;
    std::vector<std::shared_ptr<ViewController>> children_;
    std::shared_ptr<ViewController> presented_;
    std::weak_ptr<ViewController> presenting_;
    Appearance appearance_ = Appearance::Disappeared;
    bool appearanceAnimated_ = false;
    std::vector<std::weak_ptr<ViewController>> forwarded_;
    bool held_ = false;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    bool movingToParent_ = false;
    bool movingFromParent_ = false;
    bool hidesBottomBarWhenPushed_ = false;
    std::vector<std::shared_ptr<BarButtonItem>> toolbarItems_;
    std::shared_ptr<PopoverPresentationController> popoverPresentation_;
    ModalPresentationStyle presentationStyle_ = ModalPresentationStyle::FullScreen;
    ModalTransitionStyle transitionStyle_ = ModalTransitionStyle::CoverVertical;
    unsigned edgesForExtendedLayout_ = RectEdgeAll;
    bool extendedLayoutIncludesOpaqueBars_ = false;
    bool adjustsScrollViewInsets_ = true;
    bool capturesStatusBarAppearance_ = false;
};

}  // namespace ql::ui
