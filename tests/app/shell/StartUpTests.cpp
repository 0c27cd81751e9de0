// Start-up end to end: the first-run guide, the root chosen from the saved flags, the silent sign-in at
// launch (shell first, "loginSuccess" once) and the tab shell with its own tab bar.

#include <gtest/gtest.h>

#include "app/account/LoginViewController.h"
#include "app/service/AccountModels.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/GuideViewController.h"
#include "app/shell/MainViewController.h"
#include "app/uikit/AppScreens.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/PageControl.h"
#include "screens/books/BookStoreVC.h"
#include "screens/home/HomeVC.h"
#include "storage/datetime/DateUtil.h"
#include "platform/foundation/Calendar.h"
#include "platform/foundation/Runtime.h"
#include "tests/app/AppHarness.h"
#include "ui/keyboard/KBKeyboardManager.h"

using namespace ql;
using test::AppHarness;

namespace {

std::shared_ptr<MainViewController> shell() {
    return std::dynamic_pointer_cast<MainViewController>(AppScreens::window()->rootViewController());
}

void saveCredentials(const std::string& mobile, const std::string& password) {
    UnitMetiodManager::saveTheUserPhoneNumAndPassword(LoginDataModel::rememberLoginPhoneNum(mobile, password));
    UnitMetiodManager::setAutoLogin(true);
}

}  // namespace

TEST(StartUp, AFreshInstallationShowsTheGuideUntilItsButtonIsTapped) {
    AppHarness app;
    UnitMetiodManager::setAutoLogin(true);  // whatever it holds, the guide comes first
    app.boot();
    EXPECT_EQ(app.top(), "GuideViewController");
    auto guide = app.topAs<GuideViewController>();
    ASSERT_TRUE(guide);
    EXPECT_EQ(guide->getGuideImageNameWithIndex(0), "guide_iphone6_1.png");
    EXPECT_EQ(guide->getGuideImageNameWithIndex(2), "guide_iphone6_3.png");
    EXPECT_FALSE(app.shows("进入App"));  // on the last page, not yet on screen

    app.run({"swipe left"});
    EXPECT_EQ(guide->pageCtr()->currentPage(), 1);
    app.run({"swipe left", "tap 进入App"});
    EXPECT_EQ(app.top(), "LoginViewController");
    EXPECT_TRUE(UnitMetiodManager::getShowGuideKey());
    EXPECT_EQ(app.requests("Mobile/StudentLogin"), 0u);

    // Every later launch skips the guide.
    app.quit();
    UnitMetiodManager::setAutoLogin(false);
    app.boot();
    EXPECT_EQ(app.top(), "LoginViewController");
}

TEST(StartUp, AutomaticSignInShowsTheShellBeforeTheReplyAndPostsLoginSuccessOnce) {
    AppHarness app;
    AppHarness::guideSeen();
    saveCredentials("13800000001", "123456");
    app.service.setFault("Mobile/StudentLogin", standin::Fault::held());
    app.bootWithoutWaiting();
    ASSERT_TRUE(app.service.waitForRequests("Mobile/StudentLogin", 1));
    EXPECT_EQ(app.top(), "HomeVC");
    EXPECT_TRUE(shell());
    EXPECT_EQ(Account::share().info(), nullptr);
    EXPECT_EQ(app.loginSuccessPosts, 0);
    auto home = app.topAs<HomeVC>();
    ASSERT_TRUE(home);
    EXPECT_EQ(home->reloadCount(), 0);

    app.service.releaseHeldReplies();
    app.app().settle();
    EXPECT_EQ(app.loginSuccessPosts, 1);
    ASSERT_TRUE(Account::share().info());
    EXPECT_EQ(Account::share().info()->uid, 1001);
    EXPECT_GE(home->reloadCount(), 1);
    EXPECT_TRUE(app.shows("林小雨  阅读之星"));
    EXPECT_EQ(app.service.journal("Mobile/GetStuIndexContent").back().field("classId"), "301");
    // The book store loaded its first page on the same notification.
    auto books = std::dynamic_pointer_cast<BookStoreVC>(shell()->bookStoreVc()->topViewController());
    ASSERT_TRUE(books);
    EXPECT_GE(books->reloadCount(), 1);
    // The silent sign-in saves nothing new.
    EXPECT_TRUE(UnitMetiodManager::isAutoLogin());
    EXPECT_EQ(UnitMetiodManager::getTheSavedUserPhoneNumAndPassword()->loginPassword, "123456");
}

TEST(StartUp, ARefusedOrImpossibleSilentSignIn) {
    AppHarness app;
    AppHarness::guideSeen();
    // A refusal (here a student without a bound number, result 2) swaps in the sign-in screen.
    saveCredentials("20160302", "abcdef");
    app.boot();
    EXPECT_EQ(app.top(), "LoginViewController");
    EXPECT_EQ(app.loginSuccessPosts, 0);
    app.quit();

    // Without a saved record only the uid goes out, and the refusal leads to the sign-in screen.
    UnitMetiodManager::removeTheUserPhoneNumAndPassword();
    app.service.clearJournal();
    app.boot();
    EXPECT_EQ(app.top(), "LoginViewController");
    ASSERT_EQ(app.requests("Mobile/StudentLogin"), 1u);
    const auto request = app.service.journal("Mobile/StudentLogin")[0];
    EXPECT_EQ(request.fields.size(), 1u);
    EXPECT_EQ(request.field("uid"), "0");
    app.quit();

    // No network: the toast says so and the shell stays.
    saveCredentials("13800000001", "123456");
    AppHarness::pointAt("http://127.0.0.1:1/");
    app.boot();
    EXPECT_EQ(app.top(), "HomeVC");
    EXPECT_TRUE(app.shows("无网络连接"));
    EXPECT_EQ(app.loginSuccessPosts, 0);
}

TEST(TabShell, KeepsEachTabsStackAndShowsTheTabBarOnRootsOnly) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    app.signIn("13800000001", "123456");
    ASSERT_EQ(app.top(), "HomeVC");
    auto main = shell();
    ASSERT_TRUE(main);
    EXPECT_EQ(app.loginSuccessPosts, 0);  // a sign-in on the sign-in screen posts nothing
    EXPECT_EQ(main->currentIndex(), 0u);
    EXPECT_DOUBLE_EQ(main->constraints()[0]->constant(), 16);
    EXPECT_DOUBLE_EQ(main->constraints()[1]->constant(), 6);
    EXPECT_FALSE(main->tabbarView()->isHidden());
    EXPECT_TRUE(main->tabbarBgImageView()->isHidden());
    EXPECT_TRUE(app.topAs<BasicVC>()->navgationBar()->buttonBack()->isHidden());
    EXPECT_TRUE(app.shows("小王子"));  // the home summary arrived when the tab first appeared

    app.run({"tap 我的", "tap 修改密码"});
    EXPECT_EQ(app.top(), "ChangePwdViewController");
    EXPECT_TRUE(main->tabbarView()->isHidden());
    EXPECT_FALSE(app.topAs<BasicVC>()->navgationBar()->buttonBack()->isHidden());

    // Another tab and back again: the "me" tab still shows where the student left it.
    main->setSelectWithIndex(1);
    app.app().settle();
    EXPECT_EQ(app.top(), "BookStoreVC");
    EXPECT_FALSE(main->tabbarView()->isHidden());
    EXPECT_DOUBLE_EQ(main->constraints()[1]->constant(), 16);
    EXPECT_TRUE(app.shows("全部图书（共 8 本）"));
    main->setSelectWithIndex(2);
    app.app().settle();
    EXPECT_EQ(app.top(), "ChangePwdViewController");
    main->setSelectWithIndex(3);  // no such tab: nothing changes
    EXPECT_EQ(main->currentIndex(), 2u);
    app.run({"back"});
    EXPECT_EQ(app.top(), "MineVC");
    EXPECT_FALSE(main->tabbarView()->isHidden());
}

TEST(TabShell, TabletsGroupTheItemsInTheMiddle) {
    AppHarness app(sim::ScreenProfile::pad768x1024());
    AppHarness::guideSeen();
    app.boot();
    app.signIn("13800000001", "123456");
    auto main = shell();
    ASSERT_TRUE(main);
    EXPECT_DOUBLE_EQ(main->item1LeftConstrast()->constant(), 184);
    EXPECT_DOUBLE_EQ(main->item3RightConstrast()->constant(), 184);
    EXPECT_DOUBLE_EQ(main->constraints()[0]->constant(), 26);
    EXPECT_DOUBLE_EQ(main->constraints()[2]->constant(), 16);
}

TEST(StartUp, LoadHooksRunInTheStartUpOrderClassesFirstThenCategoriesThenTheDelegate) {
    AppHarness app;
    app.boot();
    std::vector<std::string> names;
    bool categoriesStarted = false;
    for (const auto& hook : ns::Runtime::loadHooks()) {
        EXPECT_TRUE(hook.hasRun) << hook.name;
        if (hook.phase == ns::Runtime::LoadPhase::CategoryLoad) categoriesStarted = true;
        else EXPECT_FALSE(categoriesStarted) << hook.name << " is a class hook after a category hook";
        names.push_back(hook.name);
    }
    // The keyboard manager, the session stack and the screens as classes; then the refresh controls'
    // reload hooks, wrapped by the height cache's invalidation, the constraint descriptions, the dates'
    // Gregorian default, the debug inspector's traffic recorder and the mapping's class caches.
    EXPECT_EQ(names, (std::vector<std::string>{"KBKeyboardManager", "_NetURLSessionTaskSwizzling", "AppScreens",
                                               "UITableView(Refresh)", "UICollectionView(Refresh)",
                                               "UITableView(HCIndexPathHeightCacheInvalidation)",
                                               "NSLayoutConstraint(LCDebugAdditions)", "NSDate(DateUtil)",
                                               "NSURLSession(Swizzling)", "NSObject(MMKeyValue)"}));
    EXPECT_TRUE(KBKeyboardManager::sharedManager());
    EXPECT_EQ(DateUtil::defaultCalendarIdentifier(), std::string(ns::CalendarIdentifierGregorian));
}
