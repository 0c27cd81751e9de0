// The tab roots against a service that fails and then recovers: a failed load comes back the next time its
// tab appears, the overlay shows while a tab waits on the service, a refusal with nothing to read still
// says something, and a book count that cannot be read gives way to the number of books listed.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/shell/MainViewController.h"
#include "app/uikit/AppScreens.h"
#include "app/uikit/NoNetwork.h"
#include "platform/foundation/Log.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "screens/books/BookStoreVC.h"
#include "screens/common/BookTable.h"
#include "screens/home/HomeVC.h"
#include "tests/app/AppHarness.h"
#include "tests/support/LoopbackServer.h"
#include "tools/quillory/CommandLine.h"
#include "ui/hud/ProgressHUD.h"

using namespace ql;
using standin::Fault;
using test::AppHarness;

namespace {

constexpr const char* kBookList = "Mobile/GetBookList";
constexpr const char* kHomeIndex = "Mobile/GetStuIndexContent";
const std::string kNoNetwork(NoNetworkMessage);

std::shared_ptr<MainViewController> shell() {
    return std::dynamic_pointer_cast<MainViewController>(AppScreens::window()->rootViewController());
}

std::shared_ptr<BookStoreVC> bookStore() {
    auto main = shell();
    return main ? std::dynamic_pointer_cast<BookStoreVC>(main->bookStoreVc()->topViewController()) : nullptr;
}

std::shared_ptr<HomeVC> home() {
    auto main = shell();
    return main ? std::dynamic_pointer_cast<HomeVC>(main->homeVc()->topViewController()) : nullptr;
}

// Signing in as a person does on any phone: the keyboard toolbar's arrows lead from field to field.
void signIn(AppHarness& app) {
    app.run({"tap 手机号码", "clear", "type 13800000001", "tap Next", "clear", "type 123456", "tap Done", "tap 登 录"});
}

// Signed in on the sign-in screen, as after the guide on any later launch.
void signedIn(AppHarness& app) {
    AppHarness::guideSeen();
    app.boot();
    signIn(app);
}

// The next launch signs in by itself: the tab shell comes before the reply.
void signInSilentlyNextLaunch() {
    AppHarness::guideSeen();
    UnitMetiodManager::saveTheUserPhoneNumAndPassword(LoginDataModel::rememberLoginPhoneNum("13800000001", "123456"));
    UnitMetiodManager::setAutoLogin(true);
}

}  // namespace

TEST(TabRoots, AFailedListLoadsAgainTheNextTimeItsTabAppearsOnEveryDevice) {
    for (const auto& [name, profile] : quillory::deviceProfiles()) {
        SCOPED_TRACE(name);
        AppHarness app(profile);
        app.service.setFault(kHomeIndex, Fault::closedConnection());
        app.service.setFault(kBookList, Fault::withStatus(500));
        signedIn(app);
        ASSERT_EQ(app.top(), "HomeVC");
        EXPECT_TRUE(app.shows(kNoNetwork));
        EXPECT_FALSE(home()->hasContent());
        EXPECT_FALSE(app.shows("小王子"));

        // Toasts that overlap keep the screen moving until the last is gone: one at a time.
        app.run({"wait 2", "tap 书城"});
        EXPECT_EQ(app.top(), "BookStoreVC");
        EXPECT_TRUE(app.shows(kNoNetwork));
        EXPECT_TRUE(bookStore()->bookTable()->books().empty());
        EXPECT_EQ(app.requests(kBookList), 1u);
        // Still failing: every appearance asks again.
        app.run({"tap 首页", "tap 书城"});
        EXPECT_EQ(app.requests(kBookList), 2u);
        EXPECT_EQ(app.requests(kHomeIndex), 2u);

        // The service is back.
        app.service.clearFaults();
        app.run({"tap 首页"});
        EXPECT_EQ(app.requests(kHomeIndex), 3u);
        EXPECT_TRUE(home()->hasContent());
        EXPECT_TRUE(app.shows("林小雨  阅读之星"));
        EXPECT_TRUE(app.shows("小王子"));
        app.run({"tap 书城"});
        EXPECT_EQ(app.requests(kBookList), 3u);
        EXPECT_TRUE(app.shows("全部图书（共 8 本）"));
        EXPECT_TRUE(app.shows("小王子"));
        EXPECT_EQ(bookStore()->bookTable()->books().size(), 8u);

        // Loaded: coming back asks nothing more.
        app.run({"tap 首页", "tap 书城"});
        EXPECT_EQ(app.requests(kBookList), 3u);
        EXPECT_EQ(app.requests(kHomeIndex), 3u);
        EXPECT_FALSE(ProgressHUD::isVisible());
    }
}

TEST(TabRoots, EveryTabScreenLogsItsOwnClassWhenItGoes) {
    ns::Log::Capture log;
    {
        AppHarness app;
        signedIn(app);
        ASSERT_EQ(app.top(), "HomeVC");
        // The book store and me tabs were made with the shell but never shown: their views never loaded.
        ASSERT_FALSE(shell()->bookStoreVc()->topViewController()->isViewLoaded());
        ASSERT_FALSE(shell()->mineVc()->topViewController()->isViewLoaded());
    }
    std::map<std::string, int> deallocs;
    for (const std::string& line : log.lines()) {
        if (line.ends_with(" dealloc")) ++deallocs[line];
    }
    for (const char* screen : {"HomeVC dealloc", "BookStoreVC dealloc", "MineVC dealloc", "LoginViewController dealloc",
                               "MainViewController dealloc"}) {
        EXPECT_EQ(deallocs[screen], 1) << screen;
    }
    // No line names a base class in place of the screen's own.
    for (const char* base : {"BasicVC dealloc", "InputVC dealloc", "TabRootScreen dealloc"}) {
        EXPECT_EQ(deallocs.count(base), 0u) << base;
    }
}

TEST(TabRoots, TheOverlayShowsWhileTheBookStoreLoads) {
    AppHarness app;
    signedIn(app);
    ASSERT_EQ(app.top(), "HomeVC");
    EXPECT_FALSE(ProgressHUD::isVisible());
    app.service.setFault(kBookList, Fault::held());
    app.run({"nowait tap 书城"});
    ASSERT_TRUE(app.service.waitForRequests(kBookList, 1));
    EXPECT_EQ(app.top(), "BookStoreVC");
    EXPECT_TRUE(ProgressHUD::isVisible());
    EXPECT_TRUE(app.shows("(spinner)"));
    EXPECT_TRUE(bookStore()->isLoading());
    app.service.clearFaults();
    app.service.releaseHeldReplies();
    app.app().settle();
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_FALSE(app.shows("(spinner)"));
    EXPECT_TRUE(app.shows("全部图书（共 8 本）"));
}

TEST(TabRoots, AfterASilentSignInATabTakesDownOnlyTheOverlayItPutUp) {
    // The home tab waits in sight; the book store loads out of sight and its reply, first to come, leaves
    // the home tab's overlay up.
    AppHarness app;
    signInSilentlyNextLaunch();
    app.service.setFault(kHomeIndex, Fault::held());
    app.bootWithoutWaiting();
    ASSERT_TRUE(app.device().runUntil([] { return bookStore() && bookStore()->hasContent(); }, 10));
    EXPECT_EQ(app.top(), "HomeVC");
    EXPECT_TRUE(home()->isLoading());
    EXPECT_TRUE(ProgressHUD::isVisible());
    app.service.clearFaults();
    app.service.releaseHeldReplies();
    app.app().settle();
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_TRUE(app.shows("林小雨  阅读之星"));
}

TEST(TabRoots, ALoadBegunOutOfSightShowsTheOverlayOnceItsTabAppears) {
    AppHarness app;
    signInSilentlyNextLaunch();
    app.service.setFault(kBookList, Fault::held());
    app.bootWithoutWaiting();
    ASSERT_TRUE(app.device().runUntil([] { return home() && home()->hasContent(); }, 10));
    ASSERT_TRUE(app.service.waitForRequests(kBookList, 1));
    EXPECT_TRUE(bookStore()->isLoading());
    EXPECT_FALSE(ProgressHUD::isVisible());  // the home tab has what it shows
    app.run({"nowait tap 书城"});
    EXPECT_TRUE(ProgressHUD::isVisible());
    EXPECT_EQ(app.requests(kBookList), 1u);  // the load on its way is waited for, not asked again
    app.service.clearFaults();
    app.service.releaseHeldReplies();
    app.app().settle();
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_TRUE(app.shows("全部图书（共 8 本）"));
}

TEST(TabRoots, ARefusalWithNothingToReadShowsTheNetworkFailureText) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    // The sign-in screen and a tab root alike: a reply that is a JSON array has no message.
    app.service.setFault("Mobile/StudentLogin", Fault::jsonArray());
    signIn(app);
    EXPECT_EQ(app.top(), "LoginViewController");
    EXPECT_TRUE(app.shows(kNoNetwork));
    app.service.clearFaults();
    app.run({"wait 2"});  // the toast goes
    EXPECT_FALSE(app.shows(kNoNetwork));
    app.run({"tap 登 录"});
    ASSERT_EQ(app.top(), "HomeVC");
    app.service.setFault(kBookList, Fault::jsonArray());
    app.run({"tap 书城"});
    EXPECT_TRUE(app.shows(kNoNetwork));
    EXPECT_FALSE(bookStore()->hasContent());
}

TEST(TabRoots, ARefusalOrACountThatCannotBeReadFromAServiceOfItsOwn) {
    test::LoopbackServer server;
    const std::string json = "application/json";
    server.serveText("/Mobile/StudentLogin",
                     R"({"result":1,"msg":"登录成功","uid":7,"realName":"小明","myTitle":"书童","user":{"ClassId":"1"}})",
                     json);
    server.serveText("/Mobile/GetStuIndexContent", R"({"result":1,"msg":"","rank":"1","bookList":[]})", json);
    const std::string books = R"("bookList":[{"BookId":1,"BookName":"一"},{"BookId":2,"BookName":"二"},)"
                              R"({"BookId":3,"BookName":"三"}])";
    AppHarness app(sim::ScreenProfile::phone320x480());
    AppHarness::pointAt(server.url("/"));
    signedIn(app);
    ASSERT_EQ(app.top(), "HomeVC");

    // A count that is not a number gives the number listed; a text of one, or a number, is the count.
    const std::vector<std::pair<std::string, std::string>> counts = {
        {R"("totalCount":"lots",)", "全部图书（共 3 本）"}, {R"("totalCount":"12",)", "全部图书（共 12 本）"},
        {R"("totalCount":40,)", "全部图书（共 40 本）"},    {R"("totalCount":-1,)", "全部图书（共 3 本）"},
        {R"("totalCount":null,)", "全部图书（共 3 本）"},   {"", "全部图书（共 3 本）"},
    };
    bool first = true;
    for (const auto& [count, shown] : counts) {
        SCOPED_TRACE(count);
        server.serveText("/Mobile/GetBookList", "{\"result\":1,\"msg\":\"\"," + count + books + "}", json);
        if (std::exchange(first, false)) {
            app.run({"tap 书城"});
        } else {
            bookStore()->reloadContent();
            app.app().settle();
        }
        EXPECT_TRUE(app.shows(shown));
        EXPECT_TRUE(app.shows("三"));
    }

    // A refusal says what the service said; one without a message says the network failed.
    app.run({"wait 2"});
    server.serveText("/Mobile/GetBookList", R"({"result":0,"msg":"书城维护中"})", json);
    bookStore()->reloadContent();
    app.app().settle();
    EXPECT_TRUE(app.shows("书城维护中"));
    app.run({"wait 2"});
    server.serveText("/Mobile/GetBookList", R"({"result":3,"msg":"  "})", json);
    bookStore()->reloadContent();
    app.app().settle();
    EXPECT_TRUE(app.shows(kNoNetwork));
    EXPECT_FALSE(bookStore()->hasContent());
}
