// The sign-in screen end to end: the field checks that send nothing, the typing limit, and what each
// answer of the service leads to.

#include <gtest/gtest.h>

#include "app/account/LoginViewController.h"
#include "app/service/AccountModels.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/TextField.h"
#include "tests/app/AppHarness.h"

using namespace ql;
using test::AppHarness;

TEST(SignIn, FieldChecksStopAtTheFirstProblemAndSendNothing) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    ASSERT_EQ(app.top(), "LoginViewController");
    app.run({"tap 登 录"});
    EXPECT_TRUE(app.shows("请输入用户名"));
    app.run({"wait 2", "tap 手机号码", "type 13800000001", "tap 快乐阅读 天天进步", "tap 登 录"});
    EXPECT_TRUE(app.shows("请输入密码"));
    app.run({"wait 2", "tap 密码", "type 12345", "tap 快乐阅读 天天进步", "tap 登 录"});
    EXPECT_TRUE(app.shows("密码只能6位-20位"));
    EXPECT_EQ(app.requests("Mobile/StudentLogin"), 0u);
    EXPECT_EQ(app.top(), "LoginViewController");

    // Twenty characters at most can be typed into the password; deleting always works.
    auto screen = app.topAs<LoginViewController>();
    app.run({"tap *****", "clear", "type 123456789012345678901234"});
    EXPECT_EQ(screen->userPwd()->text(), "12345678901234567890");
    app.device().pressBackspace();
    EXPECT_EQ(screen->userPwd()->text(), "1234567890123456789");
    app.run({"type 0"});
    EXPECT_EQ(screen->userPwd()->text(), "12345678901234567890");
}

TEST(SignIn, TheOrangeButtonStretchesOnlyTheMiddleOfItsPictureOnEveryPhone) {
    for (const auto& profile : {sim::ScreenProfile::phone320x480(), sim::ScreenProfile::phone414x736(3)}) {
        AppHarness app(profile);
        AppHarness::guideSeen();
        app.boot();
        auto screen = app.topAs<LoginViewController>();
        ASSERT_TRUE(screen);
        const auto background = screen->loginBtn()->backgroundImageForState(ui::ControlStateNormal);
        ASSERT_TRUE(background);
        const cg::EdgeInsets caps = background->capInsets();
        EXPECT_DOUBLE_EQ(caps.left + caps.right + 1, background->size().width);
        EXPECT_LE(std::abs(caps.left - caps.right), 1);
    }
}

TEST(SignIn, AnAcceptedStudentIsRememberedAndGoesToTheShell) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    app.signIn("13800000001", "123456");
    EXPECT_EQ(app.top(), "HomeVC");
    ASSERT_EQ(app.requests("Mobile/StudentLogin"), 1u);
    const auto request = app.service.journal("Mobile/StudentLogin")[0];
    EXPECT_EQ(request.field("userName"), "13800000001");
    EXPECT_EQ(request.field("password"), "123456");
    EXPECT_EQ(request.field("uid"), "0");
    ASSERT_TRUE(Account::share().info());
    EXPECT_EQ(Account::share().info()->uid, 1001);
    EXPECT_TRUE(UnitMetiodManager::isAutoLogin());
    auto saved = UnitMetiodManager::getTheSavedUserPhoneNumAndPassword();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->loginPhoneNum, "13800000001");
    EXPECT_EQ(saved->loginPassword, "123456");

    // The next launch signs in by itself; the sign-in screen would offer the saved record.
    app.quit();
    app.boot();
    EXPECT_EQ(app.top(), "HomeVC");
    EXPECT_EQ(app.loginSuccessPosts, 1);
}

TEST(SignIn, ARefusalShowsTheServicesMessageAndSavesNothing) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    app.signIn("13800000001", "654321");
    EXPECT_EQ(app.top(), "LoginViewController");
    EXPECT_TRUE(app.shows("用户名或密码错误"));
    EXPECT_FALSE(UnitMetiodManager::isAutoLogin());
    EXPECT_EQ(UnitMetiodManager::getTheSavedUserPhoneNumAndPassword(), nullptr);
    EXPECT_EQ(Account::share().info(), nullptr);
}

TEST(SignIn, AStudentWithoutABoundNumberIsRememberedAndBindsOne) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    app.signIn("20160302", "abcdef");
    EXPECT_EQ(app.top(), "BindViewController");
    EXPECT_TRUE(UnitMetiodManager::isAutoLogin());
    auto saved = UnitMetiodManager::getTheSavedUserPhoneNumAndPassword();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->loginPhoneNum, "20160302");
    ASSERT_TRUE(Account::share().info());
    EXPECT_EQ(Account::share().info()->result, 2);
}

TEST(SignIn, WithoutANetworkTheStudentIsToldSo) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    AppHarness::pointAt("http://127.0.0.1:1/");
    app.signIn("13800000001", "123456");
    EXPECT_EQ(app.top(), "LoginViewController");
    EXPECT_TRUE(app.shows("无网络连接"));
    EXPECT_FALSE(UnitMetiodManager::isAutoLogin());
}

TEST(SignIn, TheSavedRecordFillsTheFields) {
    AppHarness app;
    AppHarness::guideSeen();
    UnitMetiodManager::saveTheUserPhoneNumAndPassword(LoginDataModel::rememberLoginPhoneNum("13800000003", ""));
    app.boot();
    auto screen = app.topAs<LoginViewController>();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->userName()->text(), "13800000003");
    EXPECT_EQ(screen->userPwd()->text(), "");
}
