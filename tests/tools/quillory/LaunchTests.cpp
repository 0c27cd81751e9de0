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
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/CommandLine.h"
#include "tools/quillory/Launch.h"
#include "tools/quillory/ScriptRunner.h"
#include "tools/quillory/Tour.h"
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
