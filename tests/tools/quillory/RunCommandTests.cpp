// The run command with odd input: its command line, scripts that are folders or start with a byte-order
// mark, and the messages a person reads when a command cannot be done.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/service/BaseNetHTTPManager.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "tests/support/OnScopeExit.h"
#include "tests/tools/quillory/ScriptedApp.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/CommandLine.h"
#include "tools/quillory/ScriptCommand.h"
#include "tools/quillory/ScriptRunner.h"
#include "tools/standin-service/StandinService.h"

using namespace ql;
using namespace ql::quillory;
using ql::test::ScriptedApp;

namespace {

std::string usageErrorOf(const std::vector<std::string>& arguments) {
    try {
        parseCommandLine(arguments);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "accepted";
}

}  // namespace

TEST(RunCommand, TheCommandLineNamesWhatIsWrongWithIt) {
    EXPECT_EQ(usageErrorOf({"foo"}), "unknown option foo");
    EXPECT_EQ(usageErrorOf({"--device"}), "missing value after --device");
    EXPECT_EQ(usageErrorOf({"--device", "nokia"}), "unknown device nokia");
    EXPECT_EQ(usageErrorOf({"--shots", ""}), "--shots needs a value, not an empty text");
    for (const char* service : {"notaurl", "ftp://127.0.0.1/", "http://", "127.0.0.1:8080"}) {
        EXPECT_NE(usageErrorOf({"--service", service}).find("--service needs an http or https URL"), std::string::npos)
            << service;
    }
    EXPECT_EQ(usageErrorOf({"--service", ""}), "--service needs a value, not an empty text");

    const CommandLine line = parseCommandLine({"--service", "https://reading.example/api/", "--device", "ipad",
                                               "--script", "-", "--shots", "out", "--home", "state"});
    EXPECT_EQ(line.service, "https://reading.example/api/");
    EXPECT_EQ(line.device, "ipad");
    EXPECT_EQ(line.script, "-");
    EXPECT_EQ(line.shots, "out");
    EXPECT_EQ(line.home, "state");
    EXPECT_FALSE(line.help);
    EXPECT_TRUE(parseCommandLine({"--device", "iphone4", "--help"}).help);
    EXPECT_FALSE(parseCommandLine({}).home);  // a fresh sandbox unless asked

    // The app's own override of the service names the run command's service too; --service wins over it,
    // and an empty one counts as unset.
    EXPECT_EQ(parseCommandLine({}, "http://127.0.0.1:8080/").service, "http://127.0.0.1:8080/");
    EXPECT_EQ(parseCommandLine({"--service", "http://127.0.0.1:9090/"}, "http://127.0.0.1:8080/").service,
              "http://127.0.0.1:9090/");
    EXPECT_FALSE(parseCommandLine({}, "").service);
    EXPECT_FALSE(parseCommandLine({}, nullptr).service);
    std::string environmentError;
    try {
        parseCommandLine({}, "127.0.0.1:8080");
    } catch (const UsageError& error) {
        environmentError = error.what();
    }
    EXPECT_EQ(environmentError,
              "QUILLORY_SERVICE_URL needs an http or https URL such as http://127.0.0.1:8080/, not \"127.0.0.1:8080\"");
    EXPECT_NO_THROW(parseCommandLine({"--service", "http://127.0.0.1:9090/"}, "127.0.0.1:8080"));
    try {
        parseCommandLine({"--script", "-", "--hold", "Mobile/StudentLogin"}, "http://127.0.0.1:8080/");
        ADD_FAILURE() << "held with another service";
    } catch (const UsageError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "--hold works with the in-process stand-in service only, not with QUILLORY_SERVICE_URL");
    }
}

TEST(RunCommand, AScriptThatIsAFolderOrUnreadableIsRefused) {
    ns::TemporarySandbox folder;
    try {
        openScript(folder.path());
        ADD_FAILURE() << "a folder opened as a script";
    } catch (const ScriptError& error) {
        EXPECT_EQ(std::string(error.what()), "cannot read the script " + folder.path() + ": it is a folder");
    }
    EXPECT_THROW(openScript(folder.path() + "/missing.txt"), ScriptError);
    std::ofstream(folder.path() + "/tour.txt") << "tree\n";
    EXPECT_NO_THROW(openScript(folder.path() + "/tour.txt"));
}

TEST(RunCommand, ScriptsRunLineByLineAndSayPlainlyWhatCannotBeDone) {
    {
        ScriptedApp guide;
        // Saved with a byte-order mark, as some editors do.
        EXPECT_TRUE(guide.run("\xEF\xBB\xBFtree\n# a comment\n\nswipe left\n")) << guide.errors.str();
        EXPECT_EQ(guide.out.str().rfind("GuideViewController", 0), 0u) << guide.out.str();
        EXPECT_NE(guide.out.str().find("ok 1\n"), std::string::npos);
        EXPECT_NE(guide.out.str().find("ok 4\n"), std::string::npos);

        // The guide has no back button a person could see (the title bar lies under its pages).
        EXPECT_FALSE(guide.run("back\n"));
        EXPECT_EQ(guide.errors.str(), "quillory: line 1: this screen has no back button\n");
        EXPECT_FALSE(guide.run("tree\nwait soon\n"));
        EXPECT_EQ(guide.errors.str(), "quillory: line 2: wait needs a number of seconds, not \"soon\"\n");
    }
    // On the smallest phone the keyboard covers the password field: the message names the field, in plain
    // words.
    ScriptedApp small(sim::ScreenProfile::phone320x480());
    EXPECT_TRUE(small.run("swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 2\n")) << small.errors.str();
    EXPECT_FALSE(small.run("tap 密码\n"));
    EXPECT_EQ(small.errors.str().rfind("quillory: line 1: cannot tap UITextField \"密码\" is covered by ", 0), 0u)
        << small.errors.str();
    EXPECT_EQ(small.errors.str().find("Exception"), std::string::npos) << small.errors.str();
}

TEST(RunCommand, TheTreeListsARowsTopToBottom) {
    ScriptedApp app;
    ASSERT_TRUE(app.run("swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 13800000001\ntap Next\n"
                        "type 123456\ntap Done\ntap 登 录\ntap 书城\n"))
        << app.errors.str();
    const std::vector<std::string> texts = app.app.screen().texts;
    // The book store lists the newest books first: 小王子, then 唐诗三百首, then 稻草人.
    auto position = [&](const std::string& text) { return std::find(texts.begin(), texts.end(), text) - texts.begin(); };
    EXPECT_LT(position("小王子"), position("唐诗三百首"));
    EXPECT_LT(position("唐诗三百首"), position("稻草人"));
    EXPECT_LT(position("稻草人"), std::ptrdiff_t(texts.size()));
}

namespace {

class AlertAnswers final : public ui::AlertViewDelegate {
public:
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, std::int64_t index) override {
        heard.push_back(alert.buttonTitleAtIndex(index) + " " + alert.textFieldAtIndex(0)->text());
    }
    std::vector<std::string> heard;
};

}  // namespace

TEST(RunCommand, AnAlertIsReadTypedIntoAndAnsweredByTheScript) {
    ScriptedApp app;
    auto answers = std::make_shared<AlertAnswers>();
    auto prompt = std::make_shared<ui::AlertView>("127.0.0.1", "你叫什么名字？", answers, "Cancel", std::vector<std::string>{"OK"});
    prompt->setAlertViewStyle(ui::AlertViewStyle::PlainTextInput);
    prompt->textFieldAtIndex(0)->setText("名字");
    prompt->show();
    ASSERT_TRUE(app.run("tree\nclear\ntype 小明\ntap OK\n")) << app.errors.str();
    EXPECT_NE(app.out.str().find("127.0.0.1 | 你叫什么名字？ | 名字 | Cancel | OK"), std::string::npos) << app.out.str();
    EXPECT_EQ(answers->heard, std::vector<std::string>{"OK 小明"});
    EXPECT_FALSE(prompt->isVisible());
    EXPECT_FALSE(app.run("tap OK\n")) << "the alert is gone";
}

TEST(RunCommand, NowaitReleaseAndHeldPathsAreReadOrRefusedPlainly) {
    const auto command = parseScriptLine("  nowait tap 登 录", 4);
    ASSERT_TRUE(command);
    EXPECT_FALSE(command->waits);
    EXPECT_EQ(command->kind, ScriptCommand::Kind::Tap);
    EXPECT_EQ(command->text, "登 录");
    EXPECT_EQ(command->line, 4);
    EXPECT_TRUE(parseScriptLine("tap 登 录", 1)->waits);
    EXPECT_EQ(parseScriptLine("release", 1)->kind, ScriptCommand::Kind::Release);
    auto scriptErrorOf = [](std::string_view line) {
        try {
            parseScriptLine(line, 2);
        } catch (const ScriptError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(scriptErrorOf("nowait"), "line 2: nowait needs a command after it");
    EXPECT_EQ(scriptErrorOf("nowait # a comment"), "line 2: nowait needs a command after it");
    EXPECT_EQ(scriptErrorOf("nowait nowait tree"), "line 2: one nowait is enough");
    EXPECT_EQ(scriptErrorOf("nowait wait soon"), "line 2: wait needs a number of seconds, not \"soon\"");
    EXPECT_EQ(scriptErrorOf("release all"), "line 2: release takes nothing after it");

    EXPECT_EQ(parseCommandLine({"--hold", "Mobile/StudentLogin", "--script", "-", "--hold", "/Mobile/GetBookList"}).hold,
              (std::vector<std::string>{"Mobile/StudentLogin", "/Mobile/GetBookList"}));
    EXPECT_EQ(usageErrorOf({"--script", "-", "--hold", "Mobile/Nothing"}),
              "--hold needs the path of a service operation such as Mobile/StudentLogin, not \"Mobile/Nothing\"");
    EXPECT_EQ(usageErrorOf({"--hold", "Mobile/StudentLogin", "--script", "-", "--service", "http://127.0.0.1:8080/"}),
              "--hold works with the in-process stand-in service only, not with --service");
    EXPECT_EQ(usageErrorOf({"--hold", "Mobile/StudentLogin"}), "--hold needs a --script, whose release sends what is held");
}

TEST(RunCommand, TheSignInOverlayShowsWhileTheReplyIsHeldAndTheAppsTimeOutEndsTheWait) {
    // The run command outwaits the app: a service slower than the app's own time-out ends in the app's
    // failure, not in the run command giving up.
    EXPECT_GT(AppDriver::kReplyTimeout, BaseNetHTTPManager::kRequestTimeout);

    ScriptedApp app(sim::ScreenProfile::phone320x480());
    app.service.setFault("Mobile/StudentLogin", standin::Fault::held());
    ASSERT_TRUE(app.run("swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 13800000001\ntap Next\n"
                        "type 123456\ntap Done\nnowait tap 登 录\nnowait tree\n"))
        << app.errors.str();
    EXPECT_NE(app.out.str().find("LoginViewController\n  快乐阅读 天天进步 | 13800000001 | ****** | 登 录 | 忘记密码？ | "
                                 "登录中 | (spinner)\nok 10\n"),
              std::string::npos)
        << app.out.str();
    ASSERT_TRUE(app.service.waitForRequests("Mobile/StudentLogin", 1));

    // A minute of the app's clock: the app gives up on the reply as a student's phone would.
    ASSERT_TRUE(app.run("nowait wait 59\nnowait tree\nwait 1\ntree\n")) << app.errors.str();
    const std::string out = app.out.str();
    EXPECT_NE(out.find("登录中 | (spinner)\nok 2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("LoginViewController\n  快乐阅读 天天进步 | 13800000001 | ****** | 登 录 | 忘记密码？ | 无网络连接\nok 4\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(BaseNetHTTPManager::formPostsInFlight(), 0u);

    // Without the in-process stand-in there is nothing to release.
    EXPECT_FALSE(app.run("release\n"));
    EXPECT_EQ(app.errors.str(), "quillory: line 1: release needs the in-process stand-in service, which --service replaces\n");
    // With it, release sends what is held and holds no more: the next sign-in goes through.
    app.app.setStandin(&app.service);
    ASSERT_TRUE(app.run("release\ntap 登 录\ntree\n")) << app.errors.str();
    EXPECT_NE(app.out.str().find("ok 2\nHomeVC \"首页\"\n"), std::string::npos) << app.out.str();
}

TEST(RunCommand, AHeldReplyStaysHeldPastTheAppsTimeOutWhileACommandWaitsOnIt) {
    ScriptedApp app;
    app.app.setStandin(&app.service);
    app.service.setFault("Mobile/StudentLogin", standin::Fault::held());
    const std::string timedOut =
        "LoginViewController\n  快乐阅读 天天进步 | 13800000001 | ****** | 登 录 | 忘记密码？ | 无网络连接\n";
    // The tap waits for the app to hear back: only the app's own time-out can end that wait, and it does
    // without the stand-in letting go of the reply.
    ASSERT_TRUE(app.run("swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 13800000001\ntap Next\n"
                        "type 123456\ntap Done\ntap 登 录\ntree\n"))
        << app.errors.str();
    EXPECT_NE(app.out.str().find(timedOut + "ok 10\n"), std::string::npos) << app.out.str();
    EXPECT_EQ(app.service.heldReplies(), 1u);
    EXPECT_EQ(BaseNetHTTPManager::formPostsInFlight(), 0u);

    // Held however long the app's clock runs on, and a second try is held as well.
    ASSERT_TRUE(app.run("wait 120\ntap 登 录\ntree\n")) << app.errors.str();
    EXPECT_NE(app.out.str().find(timedOut + "ok 3\n"), std::string::npos) << app.out.str();
    EXPECT_EQ(app.service.heldReplies(), 2u);
    EXPECT_EQ(app.service.journal("Mobile/StudentLogin").size(), 2u);

    // Released, the replies go to calls the app gave up on: the screen stays; the next sign-in goes through.
    ASSERT_TRUE(app.run("release\ntree\n")) << app.errors.str();
    EXPECT_EQ(app.out.str().rfind("ok 1\nLoginViewController\n", 0), 0u) << app.out.str();
    ASSERT_TRUE(app.run("tap 登 录\ntree\n")) << app.errors.str();
    EXPECT_NE(app.out.str().find("HomeVC \"首页\"\n"), std::string::npos) << app.out.str();
}

// However long a person looks at the held sign-in in real time, the app's clock decides when it is given up:
// a minute and more of real time later the overlay still shows, and the released reply goes through.
TEST(RunCommand, AHeldReplyOutlastsAMinuteOfRealTime) {
    ScriptedApp app;
    app.app.setStandin(&app.service);
    app.service.setFault("Mobile/StudentLogin", standin::Fault::held());
    ASSERT_TRUE(app.run("swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 20160302\ntap Next\n"
                        "type abcdef\ntap Done\nnowait tap 登 录\nnowait tree\n"))
        << app.errors.str();
    ASSERT_TRUE(app.service.waitForRequests("Mobile/StudentLogin", 1));
    ns::Clock::shiftRealTimeForTesting(65);
    test::OnScopeExit back([] { ns::Clock::shiftRealTimeForTesting(-65); });
    ASSERT_TRUE(app.run("nowait tree\nrelease\ntree\n")) << app.errors.str();
    EXPECT_EQ(app.out.str().rfind("LoginViewController\n  快乐阅读 天天进步 | 20160302 | ****** | 登 录 | 忘记密码？ | 登录中 | "
                                  "(spinner)\nok 1\nok 2\nBindViewController \"绑定手机\"\n",
                                  0),
              0u)
        << app.out.str();
}

// A service that answers in real time, as --service names one: the app's clock keeps pace with real time while
// the command waits, so a reply that comes later than the app's own minute finds the app given up already
// ("无网络连接"), and one that comes within it signs in. Real time is moved with the clock's test hook once the
// service has the request; the late reply is sent once the command is done (or, should the app not give up on
// its own, after ten seconds, when it would sign in).
TEST(RunCommand, AServiceSlowerThanTheAppsMinuteInRealTimeEndsInNoConnectionAndAQuickerOneSignsIn) {
    for (const double seconds : {65.0, 55.0}) {
        const bool inTime = seconds < BaseNetHTTPManager::kRequestTimeout;
        ScriptedApp app;
        app.service.setFault("Mobile/StudentLogin", standin::Fault::held());
        ASSERT_TRUE(app.run("swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 20160302\ntap Next\n"
                            "type abcdef\ntap Done\n"))
            << app.errors.str();
        std::mutex mutex;
        std::condition_variable changed;
        bool tapDone = false;
        std::atomic<bool> shifted{false};
        std::thread service([&] {
            if (!app.service.waitForRequests("Mobile/StudentLogin", 1, 60)) return;
            ns::Clock::shiftRealTimeForTesting(seconds);
            shifted = true;
            if (!inTime) {
                std::unique_lock lock(mutex);
                changed.wait_for(lock, std::chrono::seconds(10), [&] { return tapDone; });
            }
            app.service.releaseHeldReplies();
        });
        const auto markTapDone = [&] {
            {
                std::lock_guard lock(mutex);
                tapDone = true;
            }
            changed.notify_all();
        };
        const test::OnScopeExit back([&] {
            markTapDone();
            service.join();
            if (shifted) ns::Clock::shiftRealTimeForTesting(-seconds);
        });
        const bool tapped = app.run("tap 登 录\n");
        markTapDone();
        ASSERT_TRUE(tapped) << seconds << " s: " << app.errors.str();
        ASSERT_TRUE(app.run("tree\n")) << app.errors.str();
        EXPECT_TRUE(shifted) << seconds << " s";
        if (inTime) {
            EXPECT_EQ(app.out.str().rfind("BindViewController \"绑定手机\"\n", 0), 0u) << seconds << " s: " << app.out.str();
        } else {
            EXPECT_EQ(app.out.str(), "LoginViewController\n  快乐阅读 天天进步 | 20160302 | ****** | 登 录 | 忘记密码？ | "
                                     "无网络连接\nok 1\n")
                << seconds << " s";
        }
    }
}

// `wait` moves the app's clock by what it says and no further. The countdown's first tick comes a second
// after the code's reply: not after half a second, but after a second; `nowait wait` moves it the same. The
// toast of a sign-in the app gave up on stays a second and a half: 0.8 s in it shows, 1.8 s in it is gone.
TEST(RunCommand, WaitMovesTheAppsClockByWhatItSaysAndNoFurther) {
    {
        ScriptedApp app;
        ASSERT_TRUE(app.run("swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 20160302\ntap Next\ntype abcdef\n"
                            "tap Done\ntap 登 录\ntap 手机号码\ntype 13800000002\ntap Next\ntap 获取验证码\n"))
            << app.errors.str();
        ASSERT_TRUE(app.run("wait 0.5\ntree\nwait 0.5\ntree\nnowait wait 0.5\ntree\nnowait wait 0.5\ntree\n"))
            << app.errors.str();
        const std::string bind = "BindViewController \"绑定手机\"\n  13800000002 | [验证码] | ";
        EXPECT_EQ(app.out.str(), "ok 1\n" + bind + "获取验证码 | 绑 定 | 绑定手机 | 验证码 | Done\nok 2\nok 3\n" + bind +
                                     "(60)秒 | 绑 定 | 绑定手机 | 验证码 | Done\nok 4\nok 5\n" + bind +
                                     "(60)秒 | 绑 定 | 绑定手机 | 验证码 | Done\nok 6\nok 7\n" + bind +
                                     "(59)秒 | 绑 定 | 绑定手机 | 验证码 | Done\nok 8\n");
    }
    ScriptedApp app;
    app.service.setFault("Mobile/StudentLogin", standin::Fault::held());
    ASSERT_TRUE(app.run("swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 20160302\ntap Next\ntype abcdef\n"
                        "tap Done\nnowait tap 登 录\n"))
        << app.errors.str();
    ASSERT_TRUE(app.service.waitForRequests("Mobile/StudentLogin", 1));
    ASSERT_TRUE(app.run("wait 60\ntree\nwait 0.8\ntree\nwait 1\ntree\n")) << app.errors.str();
    const std::string signIn = "LoginViewController\n  快乐阅读 天天进步 | 20160302 | ****** | 登 录 | 忘记密码？";
    EXPECT_EQ(app.out.str(), "ok 1\n" + signIn + " | 无网络连接\nok 2\nok 3\n" + signIn + " | 无网络连接\nok 4\nok 5\n" +
                                 signIn + "\nok 6\n");
}

// A filled password field shows a star for each character it hides. What the tree prints taps it; the
// secret itself finds nothing, as a person could not read it, and a message naming the field shows the stars.
TEST(RunCommand, AFilledPasswordFieldIsTappedByTheStarsTheTreePrintsAndNeverByItsSecret) {
    {
        ScriptedApp app;
        ASSERT_TRUE(app.run("swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 20160302\ntap Next\ntype abcdef\n"
                            "tap Done\ntap ******\n"))
            << app.errors.str();
        auto* field = dynamic_cast<ui::TextField*>(app.app.device().keyWindow()->firstResponder());
        ASSERT_NE(field, nullptr);
        EXPECT_TRUE(field->isSecureTextEntry());
        EXPECT_EQ(field->text(), "abcdef");
        EXPECT_FALSE(app.run("tap Done\ntap abcdef\n"));
        EXPECT_EQ(app.errors.str(), "quillory: line 2: nothing on the screen shows \"abcdef\"\n");
    }
    // On the smallest phone the keyboard covers the filled field while the number is typed.
    ScriptedApp small(sim::ScreenProfile::phone320x480());
    ASSERT_TRUE(small.run("swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 2\ntap Next\ntype secret\ntap Previous\n"))
        << small.errors.str();
    EXPECT_FALSE(small.run("tap ******\n"));
    EXPECT_EQ(small.errors.str().rfind("quillory: line 1: cannot tap UITextField \"******\" is covered by ", 0), 0u)
        << small.errors.str();
}
