#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Nib.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TabBarItem.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;

namespace {

using Log = std::vector<std::string>;

// Writes every appearance call as "<name>.<call>".
class Page : public ViewController {
public:
    Page(std::string name, Log* log, std::string nibName = {}) : ViewController(std::move(nibName)), name_(std::move(name)), log_(log) {
        setTitle(name_);
    }
    void viewDidLoad() override { note("load"); }
    void viewWillAppear(bool) override { note("willAppear"); }
    void viewDidAppear(bool) override { note("didAppear"); }
    void viewWillDisappear(bool) override { note("willDisappear"); }
    void viewDidDisappear(bool) override { note("didDisappear"); }
    void didReceiveMemoryWarning() override { note("memoryWarning"); }

    std::shared_ptr<Button> button;  // an outlet a nib fills

private:
    void note(const std::string& call) { log_->push_back(name_ + "." + call); }
    std::string name_;
    Log* log_;
};

std::shared_ptr<Page> screen(const std::string& name, Log& log) { return std::make_shared<Page>(name, &log); }

struct BookScreenController : ViewController {
    QL_OBJECT(BookScreenController, ViewController)
};

}  // namespace

TEST(ViewController, RootAppearsWithItsWindowAndNibsBuildViews) {
    Log log;
    Nib::registerNib("LoginScreen", [](Nib::Loading& loading) {
        auto view = loading.make<View>(cg::Rect{0, 0, 320, 480});
        auto button = loading.make<Button>(cg::Rect{10, 10, 100, 40});
        button->setTag(1);
        view->addSubview(button);
        auto* owner = loading.ownerAs<Page>();
        owner->setView(view);
        owner->button = button;
        return std::vector<std::shared_ptr<ns::Object>>{view};
    });
    test::UIHarness harness;
    auto login = std::make_shared<Page>("login", &log, "LoginScreen");
    EXPECT_FALSE(login->isViewLoaded());
    harness.window->setRootViewController(login);
    EXPECT_EQ(log, (Log{"login.load", "login.willAppear", "login.didAppear"}));
    ASSERT_TRUE(login->button);
    EXPECT_EQ(login->button->superview(), login->view().get());
    EXPECT_EQ(login->view()->frame(), harness.window->bounds());
    EXPECT_THROW(Nib::loadNibNamed("Missing", nullptr), ns::Exception);

    // A controller whose class has a nib of its name (without "Controller") loads it without being told.
    Nib::registerNib("BookScreen", [](Nib::Loading& loading) {
        auto view = loading.make<View>(cg::Rect{0, 0, 10, 10});
        view->setTag(42);
        loading.ownerAs<ViewController>()->setView(view);
        return std::vector<std::shared_ptr<ns::Object>>{view};
    });
    EXPECT_EQ(std::make_shared<BookScreenController>()->view()->tag(), 42);

    log.clear();
    harness.window->setHidden(true);
    EXPECT_EQ(log, (Log{"login.willDisappear", "login.didDisappear"}));
    log.clear();
    harness.window->setHidden(false);
    EXPECT_EQ(log, (Log{"login.willAppear", "login.didAppear"}));

    log.clear();
    Application::sharedApplication().receiveMemoryWarning();
    EXPECT_EQ(std::count(log.begin(), log.end(), "login.memoryWarning"), 1);
}

TEST(ViewController, NavigationPushAndPopFollowThePlatformOrderOnTheClock) {
    Log log;
    test::UIHarness harness;
    auto a = screen("A", log);
    auto b = screen("B", log);
    auto c = screen("C", log);
    auto nav = std::make_shared<NavigationController>(a);
    harness.window->setRootViewController(nav);
    EXPECT_EQ(log, (Log{"A.load", "A.willAppear", "A.didAppear"}));
    EXPECT_EQ(a->navigationController(), nav.get());

    log.clear();
    nav->pushViewController(b, true);
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear", "B.willAppear"}));
    EXPECT_TRUE(b->isMovingToParentViewController());
    harness.advance(ViewController::kTransitionDuration - 0.05);
    EXPECT_EQ(log.size(), 3u);
    harness.advance(0.1);
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear", "B.willAppear", "A.didDisappear", "B.didAppear"}));
    EXPECT_FALSE(b->isMovingToParentViewController());
    EXPECT_EQ(nav->topViewController(), b);
    EXPECT_EQ(a->view()->superview(), nullptr);
    EXPECT_EQ(nav->navigationBar()->topItem(), b->navigationItem());
    EXPECT_EQ(nav->navigationBar()->backItem(), a->navigationItem());

    // Without animation everything happens in the call.
    log.clear();
    nav->pushViewController(c, false);
    EXPECT_EQ(log, (Log{"C.load", "B.willDisappear", "C.willAppear", "B.didDisappear", "C.didAppear"}));
    EXPECT_THROW(nav->pushViewController(c, false), ns::Exception);

    // Popping to the root: B, never shown again, hears nothing.
    log.clear();
    auto popped = nav->popToRootViewControllerAnimated(false);
    EXPECT_EQ(popped, (std::vector<std::shared_ptr<ViewController>>{b, c}));
    EXPECT_EQ(log, (Log{"C.willDisappear", "A.willAppear", "C.didDisappear", "A.didAppear"}));
    EXPECT_EQ(b->parentViewController(), nullptr);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_EQ(nav->popViewControllerAnimated(false), nullptr);

    // The back button pops, animated.
    nav->pushViewController(b, false);
    log.clear();
    harness.settle();
    auto back = std::dynamic_pointer_cast<Button>(nav->navigationBar()->leftItemViews().at(0));
    ASSERT_TRUE(back);
    ASSERT_TRUE(harness.fingers.tap(*back));
    EXPECT_EQ(log, (Log{"B.willDisappear", "A.willAppear"}));
    harness.advance(0.5);
    EXPECT_EQ(log, (Log{"B.willDisappear", "A.willAppear", "B.didDisappear", "A.didAppear"}));
    EXPECT_EQ(nav->topViewController(), a);

    // The bar can be hidden; the content then fills the whole view.
    nav->setNavigationBarHidden(true);
    EXPECT_TRUE(nav->navigationBar()->isHidden());
    EXPECT_EQ(a->view()->frame(), nav->view()->bounds());
}

TEST(ViewController, ModalPresentationOrderAndChain) {
    Log log;
    test::UIHarness harness;
    auto home = screen("home", log);
    harness.window->setRootViewController(home);
    auto sheet = screen("sheet", log);
    auto nested = screen("nested", log);
    log.clear();

    int completions = 0;
    home->presentViewController(sheet, true, [&] { ++completions; });
    EXPECT_EQ(log, (Log{"sheet.load", "home.willDisappear", "sheet.willAppear"}));
    EXPECT_TRUE(sheet->isBeingPresented());
    harness.advance(ViewController::kTransitionDuration + 0.01);
    EXPECT_EQ(log, (Log{"sheet.load", "home.willDisappear", "sheet.willAppear", "sheet.didAppear", "home.didDisappear"}));
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(home->presentedViewController(), sheet);
    EXPECT_EQ(sheet->presentingViewController(), home.get());
    EXPECT_EQ(sheet->view()->window(), harness.window.get());
    EXPECT_EQ(home->view()->window(), nullptr);

    // Presenting again from the same controller is refused.
    log.clear();
    home->presentViewController(nested, false, [&] { ++completions; });
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(completions, 1);
    sheet->presentViewController(nested, false);
    EXPECT_EQ(nested->presentingViewController(), sheet.get());

    // Dismissing from the bottom takes everything above it; the one seen leaving is the topmost.
    log.clear();
    nested->presentingViewController()->presentingViewController()->dismissViewControllerAnimated(true, [&] { ++completions; });
    EXPECT_EQ(log, (Log{"nested.willDisappear", "home.willAppear"}));
    harness.advance(ViewController::kTransitionDuration + 0.01);
    EXPECT_EQ(log, (Log{"nested.willDisappear", "home.willAppear", "nested.didDisappear", "home.didAppear"}));
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(home->presentedViewController(), nullptr);
    EXPECT_EQ(sheet->presentingViewController(), nullptr);
    EXPECT_EQ(home->view()->window(), harness.window.get());
    EXPECT_EQ(sheet->view()->window(), nullptr);

    // A presented controller asks its presenter to dismiss it.
    home->presentViewController(sheet, false);
    log.clear();
    sheet->dismissViewControllerAnimated(false);
    EXPECT_EQ(log, (Log{"sheet.willDisappear", "home.willAppear", "sheet.didDisappear", "home.didAppear"}));
}

TEST(ViewController, TabSwitchesAndCustomContainersForwardAppearance) {
    Log log;
    test::UIHarness harness;
    auto first = screen("first", log);
    auto second = screen("second", log);
    auto tabs = std::make_shared<TabBarController>();
    tabs->setViewControllers({first, second});
    harness.window->setRootViewController(tabs);
    EXPECT_EQ(log, (Log{"first.load", "first.willAppear", "first.didAppear"}));
    EXPECT_EQ(tabs->selectedIndex(), 0u);
    EXPECT_EQ(tabs->tabBar()->items().size(), 2u);
    EXPECT_EQ(tabs->tabBar()->selectedItem(), first->tabBarItem());

    log.clear();
    tabs->setSelectedIndex(1);
    EXPECT_EQ(log, (Log{"second.load", "first.willDisappear", "second.willAppear", "first.didDisappear",
                        "second.didAppear"}));
    // A tap on the first tab switches back, with the delegate's consent.
    struct Refusing : ns::Object, TabBarControllerDelegate {
        bool allow = false;
        int selected = 0;
        bool tabBarControllerShouldSelectViewController(TabBarController&, ViewController&) override { return allow; }
        void tabBarControllerDidSelectViewController(TabBarController&, ViewController&) override { ++selected; }
    };
    auto delegate = std::make_shared<Refusing>();
    tabs->setDelegate(delegate);
    harness.settle();
    log.clear();
    ASSERT_TRUE(harness.fingers.tap(*tabs->tabBar()->itemViews().at(0)));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(tabs->selectedIndex(), 1u);
    delegate->allow = true;
    ASSERT_TRUE(harness.fingers.tap(*tabs->tabBar()->itemViews().at(0)));
    EXPECT_EQ(tabs->selectedIndex(), 0u);
    EXPECT_EQ(delegate->selected, 1);

    // A custom container that swaps its children's views by hand: the children follow their views.
    auto shell = screen("shell", log);
    auto tabA = screen("tabA", log);
    auto tabB = screen("tabB", log);
    shell->addChildViewController(tabA);
    shell->addChildViewController(tabB);
    harness.window->setRootViewController(shell);
    log.clear();
    shell->view()->addSubview(tabA->view());
    EXPECT_EQ(log, (Log{"tabA.load", "tabA.willAppear", "tabA.didAppear"}));
    log.clear();
    tabA->view()->removeFromSuperview();
    shell->view()->addSubview(tabB->view());
    EXPECT_EQ(log, (Log{"tabA.willDisappear", "tabA.didDisappear", "tabB.load", "tabB.willAppear", "tabB.didAppear"}));
    // When the container goes, the shown child goes with it.
    log.clear();
    harness.window->setRootViewController(harness.root);
    EXPECT_EQ(log, (Log{"shell.willDisappear", "tabB.willDisappear", "shell.didDisappear", "tabB.didDisappear"}));
}

TEST(ViewController, StacksReplacedRootsAndPresentationFromChildren) {
    Log log;
    test::UIHarness harness;
    auto a = screen("A", log);
    auto b = screen("B", log);
    auto c = screen("C", log);
    auto nav = std::make_shared<NavigationController>(a);
    auto tabs = std::make_shared<TabBarController>();
    tabs->setViewControllers({nav});
    harness.window->setRootViewController(tabs);

    // A new stack: the old top disappears, the new top appears, controllers left out leave the parent.
    log.clear();
    nav->setViewControllers({b, c});
    EXPECT_EQ(log, (Log{"C.load", "A.willDisappear", "C.willAppear", "A.didDisappear", "C.didAppear"}));
    EXPECT_EQ(nav->viewControllers(), (std::vector<std::shared_ptr<ViewController>>{b, c}));
    EXPECT_EQ(a->parentViewController(), nullptr);
    EXPECT_EQ(nav->navigationBar()->items().size(), 2u);

    // A controller pushed with hidesBottomBarWhenPushed hides the tab bar while it is on the stack.
    auto d = screen("D", log);
    d->setHidesBottomBarWhenPushed(true);
    nav->pushViewController(d, false);
    harness.settle();
    EXPECT_TRUE(tabs->tabBar()->isHidden());
    nav->popViewControllerAnimated(false);
    harness.settle();
    EXPECT_FALSE(tabs->tabBar()->isHidden());

    // A child presents through its topmost ancestor.
    log.clear();
    auto sheet = screen("sheet", log);
    c->presentViewController(sheet, false);
    EXPECT_EQ(sheet->presentingViewController(), tabs.get());
    EXPECT_EQ(tabs->presentedViewController(), sheet);
    EXPECT_EQ(log, (Log{"sheet.load", "C.willDisappear", "sheet.willAppear", "sheet.didAppear", "C.didDisappear"}));
    // Replacing the window's root takes what it presented with it.
    log.clear();
    auto next = screen("next", log);
    harness.window->setRootViewController(next);
    EXPECT_EQ(tabs->presentedViewController(), nullptr);
    EXPECT_EQ(sheet->view()->window(), nullptr);
    EXPECT_EQ(log.back(), "next.didAppear");
}
