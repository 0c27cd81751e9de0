// Children's names carry emoji: the "me" tab draws them as pictures in colour, a family joined by
// zero-width joiners as one picture, on the smallest phone and on the tablet.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/service/StudentNetWorkApiManager.h"
#include "platform/device/ViewQuery.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "tests/support/ReferenceImage.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/ScriptCommand.h"
#include "tools/standin-service/StandinService.h"

using namespace ql;

namespace {

// The fixtures with one student renamed.
std::string fixturesNaming(const std::string& folder, const std::string& before, const std::string& after) {
    const std::filesystem::path from = standin::StandinService::defaultFixturesDirectory();
    for (const char* name : {"books.json", "exams.json", "notes.json"}) {
        std::filesystem::copy_file(from / name, std::filesystem::path(folder) / name);
    }
    std::ifstream in(from / "students.json");
    std::stringstream students;
    students << in.rdbuf();
    std::string text = students.str();
    text.replace(text.find(before), before.size(), after);
    std::ofstream(std::filesystem::path(folder) / "students.json") << text;
    return folder;
}

// Pixels of the star's yellows and oranges, not of black or grey text.
bool isColourful(const cg::Image::Pixel& p) {
    return std::abs(p.r - p.b) > 90 || std::abs(p.g - p.b) > 90 || std::abs(p.r - p.g) > 90;
}

}  // namespace

TEST(EmojiNames, TheMeTabDrawsANameWithEmojiInColourOnTheSmallestPhoneAndTheTablet) {
    const std::string name = "王可欣🌟👨‍👩‍👧";
    ns::TemporarySandbox fixtures;
    standin::StandinService service(0, fixturesNaming(fixtures.path(), "王可欣", name));
    ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), service.baseURL().c_str(), 1);
    for (const auto& [device, profile] : {std::make_pair("iphone4", sim::ScreenProfile::phone320x480()),
                                          std::make_pair("ipad", sim::ScreenProfile::pad768x1024())}) {
        SCOPED_TRACE(device);
        ns::TemporarySandbox sandbox;
        quillory::AppDriver app(profile, sandbox.path());
        app.boot();
        int number = 0;
        for (const std::string line : {"swipe left", "swipe left", "tap 进入App", "tap 手机号码", "type 13800000004",
                                       "tap Next", "type 111111", "tap Done", "tap 登 录", "tap 我的"}) {
            if (auto command = quillory::parseScriptLine(line, ++number)) app.run(*command);
        }
        ASSERT_EQ(app.screen().controller, "MineVC");
        const auto views = sim::findViews(name);
        ASSERT_EQ(views.size(), 1u) << quillory::AppDriver::describe(app.screen());
        auto label = std::dynamic_pointer_cast<ui::Label>(views[0]);
        ASSERT_TRUE(label);
        const cg::Rect frame = label->convertRectToView(label->bounds(), nullptr);

        const auto screenshot = app.device().screenshot();
        test::saveForInspection(*screenshot, std::string("me-emoji-name-") + device);
        const double scale = profile.scale;
        // The star in colour inside the name's frame, and right of it the family as one picture (a grey
        // tile with its people): about one emoji wide, where three faces or missing glyphs side by side
        // would take two to three times the room.
        int colourful = 0;
        int starRight = -1;
        int inkRight = -1;
        for (int x = static_cast<int>(frame.origin.x * scale); x < static_cast<int>(cg::maxX(frame) * scale); ++x) {
            for (int y = static_cast<int>(frame.origin.y * scale); y < static_cast<int>(cg::maxY(frame) * scale); ++y) {
                const cg::Image::Pixel p = screenshot->pixel(x, y);
                if (std::min({p.r, p.g, p.b}) < 200) inkRight = x;
                if (!isColourful(p)) continue;
                ++colourful;
                starRight = x;
            }
        }
        EXPECT_GT(colourful, 300);
        ASSERT_GT(starRight, 0);
        const double size = label->font()->pointSize();
        const double family = (inkRight - starRight) / scale;
        EXPECT_GT(family, 0.8 * size);
        EXPECT_LT(family, 1.6 * size);
    }
    ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str());
}
