// The base screens and the app's title bar on the headless device: root screens against inner ones, the
// back button, the tab bar, titles, the search button's delegate and the keyboard manager of text screens.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "app/uikit/AppScreens.h"
#include "app/uikit/BasicVC.h"
#include "app/uikit/CustomNavigationBar.h"
#include "platform/device/Device.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "ui/keyboard/KBKeyboardManager.h"

using namespace ql;

namespace {

class RootScreen : public BasicVC {
    QL_OBJECT(RootScreen, BasicVC)
};

class DerivedRootScreen : public RootScreen {
    QL_OBJECT(DerivedRootScreen, RootScreen)
};

class InnerScreen : public BasicVC {
    QL_OBJECT(InnerScreen, BasicVC)
};

class FieldScreen : public InputVC {
    QL_OBJECT(FieldScreen, InputVC)
public:
    void viewDidLoad() override {
        InputVC::viewDidLoad();
        field = std::make_shared<ui::TextField>(cg::Rect{20, 100, 200, 40});
        field->setPlaceholder("名字");
        view()->addSubview(field);
    }
    std::shared_ptr<ui::TextField> field;
};

// A window and a tab bar, as the app's delegate carries them.
class HostDelegate : public ns::Object, public ui::ApplicationDelegate, public TabBarHost {
    QL_OBJECT(HostDelegate, ns::Object)
public:
    bool applicationDidFinishLaunchingWithOptions(ui::Application&, const ns::Dictionary&) override {
        window_ = std::make_shared<ui::Window>();
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<ui::Window> window() const override { return window_; }
    std::shared_ptr<ui::View> tabBarView() const override { return tabBar_; }
    void setTabBarView(std::shared_ptr<ui::View> view) override { tabBar_ = std::move(view); }

private:
    std::shared_ptr<ui::Window> window_;
    std::shared_ptr<ui::View> tabBar_;
};

struct SearchListener : TarnNavigationBarDelegate {
    int searches = 0;
    int backs = 0;
    void TarnNavigationBar_onButtonSearch() override { ++searches; }
    void TarnNavigationBar_onButtonBack() override { ++backs; }
};

class BaseScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        AppScreens::registerRootScreenClass(RootScreen::classObject());
        device.boot([this] {
            delegate = std::make_shared<HostDelegate>();
            return delegate;
        });
        delegate->setTabBarView(std::make_shared<ui::View>(cg::Rect{0, 512, 320, 56}));
    }

    std::shared_ptr<ui::NavigationController> show(std::shared_ptr<ui::ViewController> root) {
        auto navigation = std::make_shared<ui::NavigationController>(std::move(root));
        AppScreens::setRootViewController(navigation);
        device.runUntilIdle();
        return navigation;
    }

    ns::TemporarySandbox sandbox;
    sim::Device device{sim::ScreenProfile::phone320x568()};
    std::shared_ptr<HostDelegate> delegate;
};

}  // namespace

TEST_F(BaseScreenTest, RootScreensHideTheBackButtonAndShowTheTabBar) {
    auto root = std::make_shared<RootScreen>();
    root->setTitle("书城");
    auto navigation = show(root);
    EXPECT_TRUE(navigation->isNavigationBarHidden());
    ASSERT_TRUE(root->navgationBar());
    EXPECT_TRUE(root->navgationBar()->buttonBack()->isHidden());
    EXPECT_FALSE(delegate->tabBarView()->isHidden());
    EXPECT_EQ(root->navgationBar()->titleLabel()->text(), "书城");
    EXPECT_EQ(root->navgationBar()->frame().size.height, BasicVC::kNavigationBarHeight);

    auto inner = std::make_shared<InnerScreen>();
    inner->setTitle("null");
    navigation->pushViewController(inner, true);
    device.runUntilIdle();
    EXPECT_FALSE(inner->navgationBar()->buttonBack()->isHidden());
    EXPECT_TRUE(delegate->tabBarView()->isHidden());
    EXPECT_EQ(inner->navgationBar()->titleLabel()->text(), "");  // the service's "null" shows as nothing
    EXPECT_TRUE(device.find("书城") == nullptr || !device.find("书城")->window());

    device.tap(*inner->navgationBar()->buttonBack());
    device.runUntilIdle();
    EXPECT_EQ(navigation->topViewController(), root);
    EXPECT_FALSE(delegate->tabBarView()->isHidden());

    // A subclass of a root screen is a root screen too.
    auto derived = std::make_shared<DerivedRootScreen>();
    navigation->pushViewController(derived, false);
    device.runUntilIdle();
    EXPECT_TRUE(derived->navgationBar()->buttonBack()->isHidden());
    EXPECT_FALSE(delegate->tabBarView()->isHidden());
}

TEST_F(BaseScreenTest, TheBarScalesTheDesignAndTellsOnlyADelegateThatListens) {
    auto screen = std::make_shared<InnerScreen>();
    show(screen);
    const auto& bar = screen->navgationBar();
    // Phones lay the bar out on the 375 × 667 design, scaled to the screen.
    const cg::Rect back = bar->buttonBack()->frame();
    // (on the 2× pixel grid, so that the layout settles)
    EXPECT_NEAR(back.origin.x, 320 * 11 / 375.0, 0.25);
    EXPECT_NEAR(back.origin.y, 568 * 42 / 667.0, 0.25);
    EXPECT_NEAR(back.size.width, 320 * 90 / 375.0, 0.25);
    EXPECT_DOUBLE_EQ(back.origin.x * 2, std::round(back.origin.x * 2));
    EXPECT_TRUE(bar->buttonSearch()->isHidden());
    EXPECT_EQ(bar->buttonSearch()->tag(), CustomNavigationBar::kSearchTag);
    EXPECT_EQ(bar->segmentView(), nullptr);

    auto listener = std::make_shared<SearchListener>();
    bar->setDelegate(listener);
    bar->buttonSearch()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(listener->searches, 1);
    EXPECT_EQ(listener->backs, 0);

    // The bar does not keep its delegate alive, and a bar without one does nothing.
    std::weak_ptr<SearchListener> gone = listener;
    listener.reset();
    EXPECT_TRUE(gone.expired());
    bar->buttonSearch()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);

    // A delegate that implements neither operation is simply not told.
    auto silent = std::make_shared<TarnNavigationBarDelegate>();
    bar->setDelegate(silent);
    bar->onButtonInTarnNavigationBar(bar->buttonSearch().get());
    bar->onButtonInTarnNavigationBar(nullptr);
}

TEST_F(BaseScreenTest, TextScreensRunTheKeyboardManagerWhileShownAndCloseTheKeyboardOnATap) {
    const auto& keyboard = KBKeyboardManager::sharedManager();
    keyboard->setEnable(false);
    auto navigation = show(std::make_shared<InnerScreen>());
    auto screen = std::make_shared<FieldScreen>();
    navigation->pushViewController(screen, false);
    device.runUntilIdle();
    EXPECT_TRUE(keyboard->isEnabled());
    EXPECT_TRUE(keyboard->isEnableAutoToolbar());

    device.tap(*screen->field);
    EXPECT_TRUE(screen->field->isFirstResponder());
    device.tap(cg::Point{160, 300});  // empty space on the screen
    device.runUntilIdle();
    EXPECT_FALSE(screen->field->isFirstResponder());

    navigation->popViewControllerAnimated(false);
    device.runUntilIdle();
    EXPECT_FALSE(keyboard->isEnabled());
    EXPECT_TRUE(keyboard->isEnableAutoToolbar());
}
