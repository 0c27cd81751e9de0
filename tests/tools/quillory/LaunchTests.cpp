// Launches of the run command: a fresh sandbox each time, or a home kept between launches together with the
// stand-in service's state, so that a second launch shows what the app does once it is set up.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "app/service/AccountModels.h"
#include "app/session/Account.h"
#include "app/shell/AppStart.h"
#include "platform/foundation/Sandbox.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/CommandLine.h"
#include "tools/quillory/Launch.h"
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
    {
        // No guide: the shell is up before the silent sign-in's reply, which the kept service accepts.
        const Launch launch(line);
        // The reply is held until the shell has been seen.
        launch.service()->setFault("Mobile/StudentLogin", standin::Fault::held());
        AppDriver app(deviceProfiles().at("iphone6"), folder.path());
        registerAppLoadHooks();
        app.device().boot(&makeAppDelegate);
        app.device().runUntilIdle(0.5);
        ASSERT_TRUE(launch.service()->waitForRequests("Mobile/StudentLogin", 1));
        app.device().runUntilIdle(0.5);
        EXPECT_EQ(app.screen().controller, "HomeVC");
        launch.service()->clearFault("Mobile/StudentLogin");
        launch.service()->releaseHeldReplies();
        app.settle();
        ASSERT_TRUE(Account::share().info());
        EXPECT_EQ(Account::share().info()->mobile, "13800000002");
        const auto signIns = launch.service()->journal("Mobile/StudentLogin");
        ASSERT_EQ(signIns.size(), 1u);
        EXPECT_EQ(signIns[0].field("password"), "reading2");
        EXPECT_EQ(app.screen().controller, "HomeVC");
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
