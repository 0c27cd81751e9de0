// Launches of the run command: a fresh sandbox each time, or a home kept between launches together with the
// stand-in service's state, so that a second launch shows what the app does once it is set up.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/service/AccountModels.h"
#include "app/session/Account.h"
#include "platform/foundation/Sandbox.h"
#include "platform/net/URLConnection.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/CommandLine.h"
#include "tools/quillory/Launch.h"
#include "tools/quillory/ScriptRunner.h"
#include "tools/quillory/Tour.h"
#include "tools/standin-service/ServiceState.h"
#include "tools/standin-service/StandinService.h"

using namespace ql;
using namespace ql::quillory;

TEST(Launch, AFreshSandboxGoesWithTheLaunch) {
    std::string home;
    {
        const Launch launch(parseCommandLine({}));
        EXPECT_FALSE(launch.isKept());
        home = launch.home();
        EXPECT_EQ(ns::Sandbox::home(), home);
        ASSERT_TRUE(launch.service());
        EXPECT_EQ(launch.serviceURL(), launch.service()->baseURL());
    }
    EXPECT_FALSE(std::filesystem::exists(home));
}

TEST(Launch, AKeptHomeBringsTheAppAndTheServiceBackAsTheyWereLeft) {
    ns::TemporarySandbox folder;
    const std::string home = folder.path() + "/quillory-home";
    const CommandLine line = parseCommandLine({"--home", home});
    {
        // The tour: the guide, binding a mobile number and a new password, "reading2".
        const Launch launch(line);
        EXPECT_TRUE(launch.isKept());
        EXPECT_EQ(launch.home(), home);
        AppDriver app(deviceProfiles().at("iphone6"), folder.path());
        app.boot();
        std::ostringstream out;
        ASSERT_TRUE(runTour(app, defaultTour(), out)) << out.str();
    }
    EXPECT_TRUE(std::filesystem::exists(home + "/standin-service/students.json"));
    // A new process knows no student until it signs in.
    Account::share().setInfo(nullptr);
    Account::share().setStuIndex(nullptr);
    {
        // No guide: the shell is up before the silent sign-in's reply, which the kept service accepts. The
        // reply is held until the script has looked at the shell.
        std::vector<std::string> arguments = {"--home", home, "--hold", "Mobile/StudentLogin", "--script", "-"};
        const Launch launch(parseCommandLine(arguments));
        AppDriver app(deviceProfiles().at("iphone6"), folder.path());
        app.setStandin(launch.service());
        app.bootWithoutWaiting();
        ASSERT_TRUE(launch.service()->waitForRequests("Mobile/StudentLogin", 1));
        std::istringstream script("nowait tree\nrelease\ntree\n");
        std::ostringstream out, errors;
        ASSERT_TRUE(runScript(app, script, out, errors)) << errors.str();
        EXPECT_EQ(out.str().rfind("HomeVC \"首页\"\n  首页 | 未登录 | 为你推荐 | 首页 | 书城 | 我的 | (spinner)\nok 1\nok 2\n"
                                  "HomeVC \"首页\"\n  首页 | 陈思远  小书虫 | ",
                                  0),
                  0u)
            << out.str();
        ASSERT_TRUE(Account::share().info());
        EXPECT_EQ(Account::share().info()->mobile, "13800000002");
        const auto signIns = launch.service()->journal("Mobile/StudentLogin");
        ASSERT_EQ(signIns.size(), 1u);
        EXPECT_EQ(signIns[0].field("password"), "reading2");
        EXPECT_EQ(app.screen().controller, "HomeVC");
    }
    Account::share().setInfo(nullptr);
    {
        // A script's first command waits for the launch's replies, as every command waits for its own.
        const Launch launch(line);
        AppDriver app(deviceProfiles().at("iphone6"), folder.path());
        app.bootWithoutWaiting();
        std::istringstream script("tree\n");
        std::ostringstream out, errors;
        ASSERT_TRUE(runScript(app, script, out, errors)) << errors.str();
        EXPECT_EQ(out.str().rfind("HomeVC \"首页\"\n  首页 | 陈思远  小书虫 | ", 0), 0u) << out.str();
    }
    Account::share().setInfo(nullptr);
    {
        // Another home is another installation.
        const Launch launch(parseCommandLine({"--home", folder.path() + "/other"}));
        AppDriver app(deviceProfiles().at("iphone6"), folder.path());
        app.boot();
        EXPECT_EQ(app.screen().controller, "GuideViewController");
    }
}

namespace {

// Student 1002's password changed through the launch's service, as the me tab does it.
bool changePassword(const Launch& launch, const std::string& from, const std::string& to) {
    ns::URLRequest request(ns::URL::fromString(launch.serviceURL() + "Mobile/SetNewPassword"));
    request.setHTTPMethod("POST");
    request.setValue("application/x-www-form-urlencoded", "Content-Type");
    request.setHTTPBody(ns::Data("uid=1002&type=1&oldPassword=" + from + "&NEWPassword=" + to));
    ns::Error error("", 0);
    const auto reply = ns::URLConnection::sendSynchronousRequest(request, nullptr, &error);
    return reply && reply->toString().find("\"result\":1") != std::string::npos;
}

}  // namespace

TEST(Launch, OfTwoLaunchesOnOneHomeOnlyTheFirstKeepsTheServiceStateSoNeitherUndoesTheOther) {
    ns::TemporarySandbox folder;
    const std::string home = folder.path() + "/quillory-home";
    const CommandLine line = parseCommandLine({"--home", home});
    auto first = std::make_unique<Launch>(line);
    EXPECT_TRUE(first->keepsServiceState());
    // Started before the first changes anything, so it knows the password as it was.
    auto second = std::make_unique<Launch>(line);
    EXPECT_FALSE(second->keepsServiceState());

    ASSERT_TRUE(changePassword(*first, "abcdef", "first-change"));
    first.reset();  // saved as it stops
    // The second goes on with what it knew; what it changes goes with it.
    ASSERT_TRUE(changePassword(*second, "abcdef", "second-change"));
    second.reset();

    standin::ServiceState saved(home + "/standin-service");
    ASSERT_TRUE(saved.student(1002));
    EXPECT_EQ(saved.student(1002)->password, "first-change");

    // The home's state is free again for the next launch, which starts from it.
    const Launch third(line);
    EXPECT_TRUE(third.keepsServiceState());
    EXPECT_TRUE(changePassword(third, "first-change", "third-change"));
}
