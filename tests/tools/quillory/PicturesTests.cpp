// The pictures the tabs show: each book's cover and the student's photo, fetched from the addresses the
// service gives through the web image loads, with a placeholder where there is no picture.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/service/StudentNetWorkApiManager.h"
#include "app/shell/MainViewController.h"
#include "app/uikit/AppScreens.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "screens/books/BookStoreVC.h"
#include "screens/common/BookCell.h"
#include "screens/common/BookTable.h"
#include "screens/me/MineVC.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/ScriptCommand.h"
#include "tools/standin-service/StandinService.h"

using namespace ql;

namespace {

// The fixtures with one book that has no cover.
std::string fixturesWithAMissingCover(const std::string& folder) {
    const std::filesystem::path from = standin::StandinService::defaultFixturesDirectory();
    for (const char* name : {"students.json", "exams.json", "notes.json"}) {
        std::filesystem::copy_file(from / name, std::filesystem::path(folder) / name);
    }
    std::ifstream in(from / "books.json");
    std::stringstream books;
    books << in.rdbuf();
    std::string text = books.str();
    const std::string cover = "\"Upload/Book/5.jpg\"";
    text.replace(text.find(cover), cover.size(), "\"\"");
    std::ofstream(std::filesystem::path(folder) / "books.json") << text;
    return folder;
}

void run(quillory::AppDriver& app, std::initializer_list<std::string> lines) {
    int number = 0;
    for (const std::string& line : lines) {
        if (auto command = quillory::parseScriptLine(line, ++number)) app.run(*command);
    }
}

template <class T>
std::shared_ptr<T> tab(std::size_t index) {
    auto shell = std::dynamic_pointer_cast<MainViewController>(AppScreens::window()->rootViewController());
    if (!shell || index >= shell->viewControllers().size()) return nullptr;
    return std::dynamic_pointer_cast<T>(shell->viewControllers()[index]->topViewController());
}

}  // namespace

TEST(Pictures, CoversAndThePhotoComeFromTheServiceWithPlaceholdersForWhatIsMissing) {
    ns::TemporarySandbox fixtures;
    standin::StandinService service(0, fixturesWithAMissingCover(fixtures.path()));
    ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), service.baseURL().c_str(), 1);
    ns::TemporarySandbox sandbox;
    {
        quillory::AppDriver app(sim::ScreenProfile::phone375x667(), sandbox.path());
        app.boot();
        // A student with a photo of her own.
        run(app, {"swipe left", "swipe left", "tap 进入App", "tap 手机号码", "type 13800000001", "tap Next",
                  "type 123456", "tap Done", "tap 登 录", "tap 书城"});
        auto store = tab<BookStoreVC>(1);
        ASSERT_TRUE(store);
        // Settling after the tap waited for the pictures themselves: a download counts until it is shown.
        int covers = 0, placeholders = 0;
        for (const auto& cell : store->bookTable()->visibleCells()) {
            auto row = std::dynamic_pointer_cast<BookCell>(cell);
            ASSERT_TRUE(row);
            const auto image = row->coverView()->image();
            ASSERT_TRUE(image);
            const cg::Size pixels{double(image->CGImage()->width()), double(image->CGImage()->height())};
            if (row->textLabel()->text() == "昆虫记") {
                EXPECT_EQ(pixels, (cg::Size{72, 96})) << "the placeholder";
                ++placeholders;
            } else {
                EXPECT_EQ(pixels, (cg::Size{240, 320})) << *row->textLabel()->text() << ": the service's cover";
                ++covers;
            }
        }
        EXPECT_EQ(placeholders, 1);
        EXPECT_EQ(covers, 7);
        // Fetched as pictures are: a GET asking for images.
        const auto fetches = service.journal("Upload/Book/8.jpg");
        ASSERT_FALSE(fetches.empty());
        EXPECT_EQ(fetches.front().method, "GET");
        EXPECT_EQ(fetches.front().header("Accept"), "image/*;q=0.8");

        run(app, {"tap 我的"});
        auto me = tab<MineVC>(2);
        ASSERT_TRUE(me);
        ASSERT_TRUE(me->photoView()->image());
        EXPECT_EQ(me->photoView()->image()->CGImage()->width(), 160u);  // the service's portrait
        EXPECT_FALSE(service.journal("Upload/Photo/1001.jpg").empty());
    }
    ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str());
}

TEST(Pictures, AStudentWithoutAPhotoSeesThePlaceholder) {
    standin::StandinService service;
    ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), service.baseURL().c_str(), 1);
    ns::TemporarySandbox sandbox;
    quillory::AppDriver app(sim::ScreenProfile::phone320x480(), sandbox.path());
    app.boot();
    run(app, {"swipe left", "swipe left", "tap 进入App", "tap 手机号码", "type 13800000004", "tap Next", "type 111111",
              "tap Done", "tap 登 录", "tap 我的"});
    auto me = tab<MineVC>(2);
    ASSERT_TRUE(me);
    ASSERT_TRUE(me->photoView()->image());
    EXPECT_EQ(me->photoView()->image()->CGImage()->width(), 144u);  // the placeholder's 72 points at 2x
    ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str());
}
