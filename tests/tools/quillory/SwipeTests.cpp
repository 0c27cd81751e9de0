// The run command's swipes scroll the list the screen shows, on every device: the book store's list goes down
// its books with `swipe up` and back to the top with `swipe down`, the smallest phone included, where a stroke
// across the middle of the window would start on the header above the list.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/service/StudentNetWorkApiManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"
#include "tests/support/OnScopeExit.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/CommandLine.h"
#include "tools/quillory/ScriptCommand.h"
#include "tools/standin-service/StandinService.h"

using namespace ql;

namespace {

// The stand-in's fixtures with a catalogue longer than the tallest screen shows: the books of the fixtures and
// `more` after them.
std::string fixturesWithMoreBooks(const std::string& folder, int more) {
    std::filesystem::copy(standin::StandinService::defaultFixturesDirectory(), folder);
    const std::string path = folder + "/books.json";
    std::string books;
    {
        std::ifstream in(path);
        books.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string added;
    for (int i = 1; i <= more; ++i) {
        added += R"({"BookId": )" + std::to_string(100 + i) + R"(, "BookName": "练习册 )" + std::to_string(i) +
                 R"(", "ImageUrl": "Upload/Book/1.jpg", "SortId": 1, "Grade": 2, "Flower": 3, "FlowerCount": 1, )"
                 R"("ISBN": "97800000000)" + std::to_string(10 + i) + R"(", "Press": "少年儿童出版社", "Introduce": "练习。"},)";
    }
    const std::string opening = "\"books\": [";
    books.insert(books.find(opening) + opening.size(), added);
    std::ofstream(path, std::ios::trunc) << books;
    return folder;
}

std::shared_ptr<ui::TableView> firstTable(const std::shared_ptr<ui::View>& view) {
    if (auto table = std::dynamic_pointer_cast<ui::TableView>(view)) return table;
    for (const auto& subview : view->subviews()) {
        if (auto table = firstTable(subview)) return table;
    }
    return nullptr;
}

void run(quillory::AppDriver& app, const std::string& line) {
    if (auto command = quillory::parseScriptLine(line, 1)) app.run(*command);
}

}  // namespace

TEST(Swipe, ScrollsTheBookListDownAndBackUpOnEveryDevice) {
    ns::TemporarySandbox folder;
    const std::string fixtures = fixturesWithMoreBooks(folder.path() + "/fixtures", 22);
    for (const auto& [device, profile] : quillory::deviceProfiles()) {
        standin::StandinService service(0, fixtures);
        ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), service.baseURL().c_str(), 1);
        const test::OnScopeExit unset([] { ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str()); });
        ns::TemporarySandbox sandbox;
        quillory::AppDriver app(profile, sandbox.path());
        app.boot();
        for (const char* line : {"swipe left", "swipe left", "tap 进入App", "tap 手机号码", "type 13800000001", "tap Next",
                                 "type 123456", "tap Done", "tap 登 录", "tap 书城"}) {
            run(app, line);
        }
        ASSERT_EQ(app.screen().controller, "BookStoreVC") << device;
        const auto list = firstTable(app.topController()->view());
        ASSERT_TRUE(list) << device;
        const double top = list->minimumContentOffset().y;
        ASSERT_GT(list->maximumContentOffset().y, top) << device << ": the list fits the screen";
        ASSERT_EQ(list->contentOffset().y, top) << device;

        run(app, "swipe up");
        const double scrolled = list->contentOffset().y;
        EXPECT_GT(scrolled, top) << device << ": swipe up left the list where it was";
        run(app, "swipe down");
        EXPECT_LT(list->contentOffset().y, scrolled) << device << ": swipe down did not scroll the list back";
        EXPECT_EQ(list->contentOffset().y, top) << device;
    }
}
