// The account screens end to end: binding a mobile number with the 60-second code countdown, resetting a
// forgotten password, changing the password and the bound number; their checks, overlays and root switches.

#include <gtest/gtest.h>

#include <string>

#include "app/account/BindViewController.h"
#include "app/account/ChangeBindPhone.h"
#include "app/account/ChangePwdViewController.h"
#include "app/account/ForgetPwdVC.h"
#include "app/account/SetPassWordVC.h"
#include "app/service/AccountModels.h"
#include "platform/ui/Button.h"
#include "tests/app/AppHarness.h"
#include "tests/support/LoopbackServer.h"

using namespace ql;
using test::AppHarness;

namespace {

std::string titleOf(const ui::Button& button) { return button.titleForState(ui::ControlStateNormal).value_or(""); }

}  // namespace

TEST(BindMobile, ChecksTheNumberThenCountsDownSixtySecondsAndBinds) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    app.signIn("20160302", "abcdef");
    ASSERT_EQ(app.top(), "BindViewController");
    auto screen = app.topAs<BindViewController>();
    auto send = screen->verificationBtn();

    app.run({"tap 获取验证码"});
    EXPECT_TRUE(app.shows("请输入手机号"));
    app.run({"wait 2", "tap 手机号码", "type 12345", "tap 获取验证码"});
    EXPECT_TRUE(app.shows("请输入正确的手机号"));
    app.run({"wait 2", "tap 绑 定"});
    EXPECT_TRUE(app.shows("请输入正确的手机号"));
    EXPECT_EQ(app.requests("Mobile/SendVerification"), 0u);

    app.run({"wait 2", "tap 12345", "clear", "type 13800000002", "tap 绑 定"});
    EXPECT_TRUE(app.shows("请输入验证码"));
    EXPECT_EQ(app.requests("Mobile/ConfirmVerification"), 0u);

    app.run({"wait 2", "tap 获取验证码"});
    ASSERT_EQ(app.requests("Mobile/SendVerification"), 1u);
    const auto request = app.service.journal("Mobile/SendVerification").at(0);
    EXPECT_EQ(request.field("uid"), "1002");
    EXPECT_EQ(request.field("type"), "0");
    // Before the first tick the button keeps its title and stays off.
    EXPECT_FALSE(send->isEnabled());
    EXPECT_EQ(titleOf(*send), "获取验证码");
    for (int second = 1; second <= 60; ++second) {
        app.device().advance(1);
        ASSERT_EQ(titleOf(*send), "(" + std::to_string(61 - second) + ")秒") << "after " << second << " s";
        ASSERT_FALSE(send->isEnabled());
    }
    app.device().advance(1);
    EXPECT_EQ(titleOf(*send), "重新获取");
    EXPECT_TRUE(send->isEnabled());
    EXPECT_FALSE(screen->countdown().isRunning());

    app.run({"tap 验证码", "type 520520", "tap 绑 定"});
    EXPECT_EQ(app.top(), "HomeVC");
    EXPECT_EQ(app.loginSuccessPosts, 1);  // the silent sign-in after binding
    EXPECT_EQ(Account::share().info()->mobile, "13800000002");
}

TEST(BindMobile, ARefusedCodeOrALeftScreenLetsTheStudentAskAgain) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    app.signIn("20160302", "abcdef");
    auto screen = app.topAs<BindViewController>();
    ASSERT_TRUE(screen);
    auto send = screen->verificationBtn();
    // A number bound to another student is refused (result 0).
    app.run({"tap 手机号码", "type 13800000001", "tap 获取验证码"});
    EXPECT_TRUE(app.shows("找不到该用户"));
    EXPECT_TRUE(send->isEnabled());
    EXPECT_EQ(titleOf(*send), "重新获取");

    // Leaving while the countdown runs stops it and leaves the button working.
    app.run({"tap 13800000001", "clear", "type 13800000002", "tap 重新获取", "wait 3"});
    EXPECT_EQ(titleOf(*send), "(58)秒");
    app.run({"back"});
    EXPECT_EQ(app.top(), "LoginViewController");
    EXPECT_FALSE(screen->countdown().isRunning());
    EXPECT_TRUE(send->isEnabled());
    EXPECT_EQ(titleOf(*send), "重新获取");

    // No network: the toast, and the button works again.
    auto again = std::make_shared<BindViewController>();
    app.app().topController()->navigationController()->pushViewController(again, false);
    app.app().settle();
    AppHarness::pointAt("http://127.0.0.1:1/");
    app.run({"tap 手机号码", "type 13800000002", "tap 获取验证码"});
    EXPECT_TRUE(app.shows("无网络连接"));
    EXPECT_TRUE(again->verificationBtn()->isEnabled());
    EXPECT_EQ(titleOf(*again->verificationBtn()), "重新获取");
}

TEST(ForgottenPassword, ACodeThenANewPasswordLeadBackToSignIn) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    app.run({"tap 忘记密码？"});
    ASSERT_EQ(app.top(), "ForgetPwdVC");
    auto screen = app.topAs<ForgetPwdVC>();
    app.run({"tap 下一步"});
    EXPECT_TRUE(app.shows("请输入手机号"));
    app.run({"wait 2", "tap 手机号码", "type 13800000001", "tap 下一步"});
    EXPECT_TRUE(app.shows("请输入验证码"));
    EXPECT_EQ(app.requests("Mobile/ConfirmVerification"), 0u);

    app.run({"wait 2", "tap 获取验证码"});
    EXPECT_EQ(screen->uid(), 1001);
    EXPECT_EQ(app.service.journal("Mobile/GetPasswordForget")[0].field("type"), "0");
    app.run({"tap 验证码", "type 123456", "tap 下一步"});
    ASSERT_EQ(app.top(), "SetPassWordVC");
    EXPECT_EQ(app.service.journal("Mobile/ConfirmVerification")[0].field("uid"), "1001");
    EXPECT_EQ(app.topAs<SetPassWordVC>()->uid(), 1001);
    EXPECT_FALSE(screen->countdown().isRunning());  // pushing the next screen stopped it

    app.run({"tap 确 定"});
    EXPECT_TRUE(app.shows("请输入新密码"));
    app.run({"wait 2", "tap 新密码", "type 12345", "tap 确 定"});
    EXPECT_TRUE(app.shows("密码只能6位~20位"));
    app.run({"wait 2", "tap *****", "type 6", "tap 确 定"});
    EXPECT_TRUE(app.shows("请确认新密码"));
    app.run({"wait 2", "tap 确认新密码", "type 123457", "tap 确 定"});
    EXPECT_TRUE(app.shows("两次密码不一致"));
    EXPECT_EQ(app.requests("Mobile/SetNewPassword"), 0u);
    // Both fields read "******" now: the confirmation is tapped where it lies.
    app.run({"wait 2"});
    app.device().tap(*app.topAs<SetPassWordVC>()->againTextField());
    app.run({"clear", "type 123456", "tap 确 定"});
    EXPECT_EQ(app.top(), "LoginViewController");
    const auto request = app.service.journal("Mobile/SetNewPassword").at(0);
    EXPECT_EQ(request.field("NEWPassword"), "123456");
    EXPECT_EQ(request.field("uid"), "1001");
    EXPECT_EQ(request.field("type"), "0");
}

TEST(ChangePassword, ChecksThenWipesTheSavedPasswordAndSignsOut) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    app.signIn("13800000001", "123456");
    app.run({"tap 我的", "tap 修改密码"});
    ASSERT_EQ(app.top(), "ChangePwdViewController");
    app.run({"tap 新密码", "type 12345", "tap 确认修改"});
    EXPECT_TRUE(app.shows("请确认旧密码"));
    app.run({"wait 2", "tap 旧密码", "type 000000", "tap 确认修改"});
    EXPECT_TRUE(app.shows("密码大于等于6小于等于20"));
    app.run({"wait 2", "tap *****", "type 7", "tap 确认修改"});
    EXPECT_TRUE(app.shows("请确认新密码"));
    app.run({"wait 2", "tap 确认新密码", "type 123458", "tap 确认修改"});
    EXPECT_TRUE(app.shows("两次密码不一致"));
    EXPECT_EQ(app.requests("Mobile/SetNewPassword"), 0u);

    // A wrong old password: the service's message, nothing changed.
    // Every field reads "******" now: each is tapped where it lies.
    auto screen = app.topAs<ChangePwdViewController>();
    app.run({"wait 2"});
    app.device().tap(*screen->againTextField());
    app.run({"clear", "type 123457", "tap 确认修改"});
    EXPECT_EQ(app.top(), "ChangePwdViewController");
    EXPECT_EQ(app.requests("Mobile/SetNewPassword"), 1u);
    EXPECT_TRUE(UnitMetiodManager::isAutoLogin());
    EXPECT_EQ(UnitMetiodManager::getTheSavedUserPhoneNumAndPassword()->loginPassword, "123456");

    app.run({"wait 2"});
    app.device().tap(*screen->oldTextField());
    app.run({"clear", "type 123456", "tap 确认修改"});
    EXPECT_EQ(app.top(), "LoginViewController");
    EXPECT_FALSE(UnitMetiodManager::isAutoLogin());
    auto saved = UnitMetiodManager::getTheSavedUserPhoneNumAndPassword();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->loginPhoneNum, "13800000001");
    EXPECT_EQ(saved->loginPassword, "");
    EXPECT_EQ(app.service.journal("Mobile/SetNewPassword").back().field("NEWPassword"), "123457");
    EXPECT_EQ(app.service.journal("Mobile/SetNewPassword").back().field("oldPassword"), "123456");
}

TEST(ChangePassword, WithoutASavedRecordThereIsNothingToWipe) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    app.signIn("13800000001", "123456");
    app.run({"tap 我的", "tap 修改密码"});
    UnitMetiodManager::removeTheUserPhoneNumAndPassword();
    app.run({"tap 旧密码", "type 123456", "tap 新密码", "type 654321", "tap 确认新密码", "type 654321", "tap 确认修改"});
    EXPECT_EQ(app.top(), "LoginViewController");
    EXPECT_EQ(UnitMetiodManager::getTheSavedUserPhoneNumAndPassword(), nullptr);
    EXPECT_FALSE(UnitMetiodManager::isAutoLogin());
}

TEST(ChangeMobile, RefusesTheSameNumberAndSignsOutOneSecondAfterSuccess) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    app.signIn("13800000001", "123456");
    app.run({"tap 我的", "tap 更换手机号"});
    ASSERT_EQ(app.top(), "ChangeBindPhone");
    EXPECT_TRUE(app.shows("当前手机号：13800000001"));
    auto screen = app.topAs<ChangeBindPhone>();
    app.run({"tap 手机号码", "type 13800000001", "tap 获取验证码"});
    EXPECT_TRUE(app.shows("您输入的手机号与原手机号相同"));
    app.run({"wait 2", "tap 验证码", "type 111111", "tap 确认更换"});
    EXPECT_TRUE(app.shows("您输入的手机号与原手机号相同"));
    EXPECT_EQ(app.requests("Mobile/SendVerification"), 0u);
    EXPECT_EQ(app.requests("Mobile/ChangeMobile"), 0u);

    app.run({"wait 2", "tap 13800000001", "clear", "type 13700000009", "tap 获取验证码"});
    EXPECT_TRUE(screen->countdown().isRunning());
    ASSERT_EQ(app.requests("Mobile/SendVerification"), 1u);
    EXPECT_EQ(app.service.journal("Mobile/SendVerification").at(0).field("type"), "1");
    app.run({"tap 111111", "clear", "type 909090"});
    app.device().tap(*screen->confirmBtn());
    app.device().runUntil([] { return BaseNetHTTPManager::formPostsInFlight() == 0; }, 0.5);
    app.device().advance(0.5);
    EXPECT_EQ(app.top(), "ChangeBindPhone");
    EXPECT_TRUE(app.shows("修改成功"));
    app.device().advance(0.6);
    app.app().settle();
    EXPECT_EQ(app.top(), "LoginViewController");
    EXPECT_FALSE(UnitMetiodManager::isAutoLogin());
    EXPECT_EQ(UnitMetiodManager::getTheSavedUserPhoneNumAndPassword()->loginPassword, "123456");
}

TEST(ForgottenPassword, AnUnexpectedAnswerToTheCodeRequestShowsItsMessageAndAllowsAnotherTry) {
    AppHarness app;
    AppHarness::guideSeen();
    app.boot();
    app.run({"tap 忘记密码？"});
    auto screen = app.topAs<ForgetPwdVC>();
    ASSERT_TRUE(screen);
    test::LoopbackServer busy;
    busy.serveText("/Mobile/GetPasswordForget", R"({"result":3,"msg":"操作太频繁，请稍后再试"})", "application/json");
    AppHarness::pointAt(busy.url("/"));
    app.run({"tap 手机号码", "type 13800000001", "tap 获取验证码"});
    EXPECT_EQ(busy.requestCount(), 1u);
    EXPECT_TRUE(app.shows("操作太频繁，请稍后再试"));
    EXPECT_TRUE(screen->verificationBtn()->isEnabled());
    EXPECT_EQ(titleOf(*screen->verificationBtn()), "重新获取");
    EXPECT_EQ(screen->uid(), 0);
    EXPECT_FALSE(screen->countdown().isRunning());
}
