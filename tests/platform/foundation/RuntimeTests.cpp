#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Runtime.h"

using namespace ql::ns;
using Phase = Runtime::LoadPhase;

TEST(Runtime, LoadHooksRunClassesFirstInRegistrationOrderOnce) {
    std::vector<std::string> ran;
    auto hook = [&](std::string name) { return [&ran, name] { ran.push_back(name); }; };

    Runtime::registerLoadHook(Phase::CategoryLoad, "refresh", hook("refresh"));
    Runtime::registerLoadHook(Phase::ClassLoad, "keyboard", [&] {
        ran.push_back("keyboard");
        // Registered while running: a class hook still comes before every category hook.
        Runtime::registerLoadHook(Phase::ClassLoad, "late class", hook("late class"));
        Runtime::registerLoadHook(Phase::CategoryLoad, "late category", hook("late category"));
    });
    Runtime::registerLoadHook(Phase::CategoryLoad, "height cache", hook("height cache"));
    Runtime::registerLoadHook(Phase::ClassLoad, "task hooks", hook("task hooks"));
    Runtime::registerLoadHook(Phase::ClassLoad, "keyboard", hook("second keyboard"));  // same name: ignored

    auto hooks = Runtime::loadHooks();
    ASSERT_EQ(hooks.size(), 4u);
    EXPECT_EQ(hooks[0].name, "keyboard");
    EXPECT_EQ(hooks[1].name, "task hooks");
    EXPECT_EQ(hooks[2].name, "refresh");
    EXPECT_EQ(hooks[2].phase, Phase::CategoryLoad);
    EXPECT_FALSE(hooks[0].hasRun);

    Runtime::runLoadHooks();
    const std::vector<std::string> expected{"keyboard",     "task hooks",   "late class",
                                            "refresh",      "height cache", "late category"};
    EXPECT_EQ(ran, expected);
    std::vector<std::string> listed;
    for (const auto& h : Runtime::loadHooks()) {
        listed.push_back(h.name);
        EXPECT_TRUE(h.hasRun) << h.name;
    }
    EXPECT_EQ(listed, expected);

    Runtime::runLoadHooks();
    EXPECT_EQ(ran, expected);

    // A hook registered after the start-up run waits for the next run and then runs alone.
    Runtime::registerLoadHook(Phase::ClassLoad, "plug-in", hook("plug-in"));
    EXPECT_EQ(ran.size(), expected.size());
    Runtime::runLoadHooks();
    ASSERT_EQ(ran.size(), expected.size() + 1);
    EXPECT_EQ(ran.back(), "plug-in");
}
