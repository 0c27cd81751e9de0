// The inspector on a headless device: the status strip and its button, the tabs and what each shows. With
// QUILLORY_SHOTS_DIR set, the screens are written there as PNGs.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>

#include "debug/DuvCrashHelper.h"
#include "debug/DuvCrashLogVC.h"
#include "debug/DuvDebugTool.h"
#include "debug/DuvDebugVC.h"
#include "debug/DuvHttpDatasource.h"
#include "debug/DuvHttpProtocol.h"
#include "debug/DuvHttpVC.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Pasteboard.h"
#include "tests/support/OnScopeExit.h"
#include "tests/ui/BootedDevice.h"

namespace ql {
namespace {

std::shared_ptr<DuvHttpModel> exchange(const std::string& url, std::optional<std::string> responseBody) {
    auto model = std::make_shared<DuvHttpModel>();
    model->url = ns::URL::fromString(url);
    model->method = "POST";
    model->statusCode = "200";
    model->mineType = "application/json";
    model->startTime = "1000000000.250000s";
    model->totalDuration = "0.125000s";
    model->responseBody = std::move(responseBody);
    return model;
}

// The crash store settles on the sandbox it first sees: one sandbox serves the whole program.
class SandboxForTheProgram : public ::testing::Environment {
public:
    void SetUp() override { sandbox_.emplace(); }
    void TearDown() override { sandbox_.reset(); }
    static const std::string& path() { return sandbox_->path(); }

private:
    static inline std::optional<ns::TemporarySandbox> sandbox_;
};
[[maybe_unused]] const auto* const programSandbox = ::testing::AddGlobalTestEnvironment(new SandboxForTheProgram);

class DuvScreens : public ::testing::Test {
protected:
    DuvScreens() {
        ui::Pasteboard::setSharedFolderForTesting(SandboxForTheProgram::path() + "/pasteboards");
        DuvHttpDatasource::shareInstance().clear();
        tool_->setMaxLogsCount(0);
    }
    ~DuvScreens() override {
        if (tool_->debugVC()) tool_->showDebug();
        device_.device.advance(1);
        ns::URLProtocol::unregisterClass<DuvHttpProtocol>();
        ui::Pasteboard::setSharedFolderForTesting("");
    }

    sim::Device& device() { return device_.device; }
    std::shared_ptr<ui::NavigationController> tab(std::uint64_t index) {
        auto inspector = tool_->debugVC();
        inspector->setSelectedIndex(index);
        device().runUntilIdle();
        return std::dynamic_pointer_cast<ui::NavigationController>(inspector->selectedViewController());
    }
    void shot(const std::string& name) {
        if (const char* folder = std::getenv("QUILLORY_SHOTS_DIR")) device().writeScreenshot(std::string(folder) + "/" + name + ".png");
    }
    void openInspector() {
        tool_->enableDebugMode();
        device().advance(0.1);
        device().tap(*tool_->debugBtn());
        device().advance(0.5);
        ASSERT_TRUE(tool_->debugVC());
    }

    test::BootedDevice device_{sim::ScreenProfile::phone320x480()};
    std::shared_ptr<DuvDebugTool> tool_ = DuvDebugTool::shareInstance();
};

TEST_F(DuvScreens, TheStatusButtonTogglesTheInspectorOverTheTopController) {
    EXPECT_EQ(DuvDebugTool::number2String(1023), "1023B");
    EXPECT_EQ(DuvDebugTool::number2String(1024), "1.0K");
    EXPECT_EQ(DuvDebugTool::number2String(1048576), "1.0M");
    EXPECT_EQ(DuvDebugTool::number2String(1073741824), "1.0G");
    EXPECT_EQ(DuvDebugTool::number2String(1536), "1.5K");

    {
        // The shared tool keeps its strip once shown, whichever test showed it: the strip's first showing
        // is watched on a tool of its own, put away again however this part ends.
        auto fresh = std::make_shared<DuvDebugTool>();
        const test::OnScopeExit putAway([&] {
            if (fresh->debugTimer()) fresh->debugTimer()->invalidate();
            if (fresh->debugWin()) fresh->debugWin()->setHidden(true);
        });
        fresh->enableDebugMode();
        EXPECT_TRUE(!fresh->debugBtn());
        device().advance(0.1);
        ASSERT_TRUE(fresh->debugBtn());
        EXPECT_FALSE(fresh->debugWin()->isHidden());
        EXPECT_EQ(fresh->debugBtn()->titleForState(ui::ControlStateNormal), "Debug Starting");
        EXPECT_TRUE(device_.window().isKeyWindow());  // the strip never takes the key
        device().advance(1);
        EXPECT_TRUE(std::regex_match(fresh->debugBtn()->titleForState(ui::ControlStateNormal).value_or(""),
                                     std::regex(R"(Debug\(\d+(\.\d)?[BKMG]\))")));
    }

    tool_->enableDebugMode();
    device().advance(0.1);
    ASSERT_TRUE(tool_->debugBtn());
    auto root = device_.delegate->root;
    device().tap(*tool_->debugBtn());
    device().advance(0.5);
    ASSERT_TRUE(tool_->debugVC());
    EXPECT_EQ(root->presentedViewController(), tool_->debugVC());
    shot("debug-http-empty");
    device().tap(*tool_->debugBtn());
    device().advance(0.5);
    EXPECT_FALSE(tool_->debugVC());
    EXPECT_FALSE(root->presentedViewController());

    // Over what the root already presents; closing from a tab lets the button open it again.
    auto sheet = std::make_shared<ui::ViewController>();
    root->presentViewController(sheet, false);
    device().runUntilIdle();
    device().tap(*tool_->debugBtn());
    device().advance(0.5);
    EXPECT_EQ(sheet->presentedViewController(), tool_->debugVC());
    device().tap("关闭");
    device().advance(0.5);
    EXPECT_FALSE(sheet->presentedViewController());
    EXPECT_FALSE(tool_->debugVC());
    device().tap(*tool_->debugBtn());
    device().advance(0.5);
    EXPECT_EQ(sheet->presentedViewController(), tool_->debugVC());
}

TEST_F(DuvScreens, EveryTabScreenLogsItsOwnClassWhenItGoes) {
    ns::Log::Capture log;
    {
        auto inspector = std::make_shared<DuvDebugVC>();
        inspector->makeTabs();
        // Made with the inspector but never shown: no tab's view loaded.
        for (const auto& navigation : inspector->viewControllers()) {
            auto stack = std::dynamic_pointer_cast<ui::NavigationController>(navigation);
            ASSERT_TRUE(stack);
            ASSERT_FALSE(stack->topViewController()->isViewLoaded());
        }
    }
    std::map<std::string, int> deallocs;
    for (const std::string& line : log.lines()) {
        if (line.ends_with(" dealloc")) ++deallocs[line];
    }
    for (const char* screen : {"DuvHttpVC dealloc", "DuvCrashVC dealloc", "DuvLogVC dealloc"}) EXPECT_EQ(deallocs[screen], 1) << screen;
    EXPECT_EQ(deallocs.count("DuvBaseVC dealloc"), 0u);
}

TEST_F(DuvScreens, TheHttpTabListsDetailsAndCopies) {
    DuvHttpDatasource::shareInstance().addHttpRequset(exchange("http://old.example/Mobile/First", std::nullopt));
    openInspector();
    auto http = tab(0);
    auto list = std::dynamic_pointer_cast<DuvHttpVC>(http->topViewController());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->listData().size(), 1u);

    // A recording made while the list shows comes to the top by itself, even from another thread.
    std::thread([] {
        DuvHttpDatasource::shareInstance().addHttpRequset(
            exchange("http://api.example/Mobile/StudentLogin", "{\n  \"result\" : 1\n}"));
        ns::NotificationCenter::defaultCenter().post(kNotifyKeyReloadHttp);
    }).join();
    device().runUntilIdle();
    ASSERT_EQ(list->listData().size(), 2u);
    EXPECT_TRUE(device().find("api.example"));
    EXPECT_TRUE(device().find("/Mobile/StudentLogin"));
    shot("debug-http-list");

    device().tap("api.example");
    device().advance(0.5);
    auto detail = std::dynamic_pointer_cast<DuvHttpDetailVC>(http->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->title(), "详情");
    EXPECT_EQ(detail->valueForRow(0), "http://api.example/Mobile/StudentLogin");
    EXPECT_EQ(detail->valueForRow(2), "200");
    EXPECT_EQ(detail->valueForRow(4).size(), 19u);  // "yyyy-MM-dd HH:mm:ss"
    EXPECT_EQ(detail->valueForRow(6), "Empty");
    EXPECT_EQ(detail->valueForRow(7), "Tap to view");
    shot("debug-http-detail");
    device().tap("Request Body");  // nothing to open
    device().advance(0.5);
    EXPECT_EQ(http->topViewController(), detail);

    device().tap("Response Body");
    device().advance(0.5);
    auto content = std::dynamic_pointer_cast<DuvContentVC>(http->topViewController());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->title(), "返回数据");
    device().tap("Copy");
    EXPECT_EQ(ui::Pasteboard::generalPasteboard()->string(), "{\n  \"result\" : 1\n}");
    EXPECT_EQ(content->txt()->text(), "复制成功！\n\n{\n  \"result\" : 1\n}");
    shot("debug-http-copied");
    device().advance(1.9);
    EXPECT_EQ(content->txt()->text().rfind("复制成功！", 0), 0u);
    device().advance(0.2);
    EXPECT_EQ(content->txt()->text(), "{\n  \"result\" : 1\n}");

    device().tap("Back");
    device().advance(0.5);
    device().tap("Back");
    device().advance(0.5);
    device().tap("清空");
    EXPECT_TRUE(list->listData().empty());
    EXPECT_TRUE(DuvHttpDatasource::shareInstance().httpArray().empty());
}

TEST_F(DuvScreens, TheCrashAndLogTabsShowWhatWasKept) {
    ns::Exception failure("NSRangeException", "index 3 beyond bounds");
    failure.setCallStackSymbols({"0 quillory 0x1 main", "1 libc 0x2 start"});
    DuvCrashHelper::sharedInstance().saveException(failure);
    DuvCrashHelper::sharedInstance().saveSignal(11);
    EXPECT_EQ(DuvCrashVC::textOfRecord(DuvCrashHelper::sharedInstance().crashLogs().back()),
              "NSRangeException\n\nindex 3 beyond bounds\n\n0 quillory 0x1 main\n\n1 libc 0x2 start\n\n");
    for (int i = 1; i <= 60; ++i) ns::Log::write("log line " + std::to_string(i));

    openInspector();
    auto crashes = tab(1);
    auto list = std::dynamic_pointer_cast<DuvCrashVC>(crashes->topViewController());
    ASSERT_TRUE(list);
    ASSERT_GE(list->listData().size(), 2u);
    EXPECT_EQ(list->listData()[0]["signal type"].int64Value(), 11);
    shot("debug-crash-list");
    device().tap("exception");
    device().advance(0.5);
    auto content = std::dynamic_pointer_cast<DuvContentVC>(crashes->topViewController());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->title(), "Crash日志");
    EXPECT_EQ(content->content().rfind("NSRangeException\n\nindex 3 beyond bounds\n\n", 0), 0u);

    auto logs = tab(2);
    auto screen = std::dynamic_pointer_cast<DuvLogVC>(logs->topViewController());
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->maxCount(), 50);
    ASSERT_TRUE(device().runUntil([&] { return screen->txt()->attributedText().has_value(); }, 10));
    const std::string text = screen->txt()->text();
    const auto newest = text.find("log line 60\n\n");
    const auto oldestShown = text.find("log line 11\n\n");
    EXPECT_NE(newest, std::string::npos);
    EXPECT_NE(oldestShown, std::string::npos);
    EXPECT_LT(newest, oldestShown);
    EXPECT_EQ(text.find("log line 10\n\n"), std::string::npos);
    shot("debug-log");

    tool_->setMaxLogsCount(2);
    EXPECT_EQ(DuvLogVC::newestLogs(2).size(), 2u);
    EXPECT_EQ(DuvLogVC::newestLogs(2)[0].messageText, "log line 60");
    const DuvLogModel whole = DuvLogModel::messageFromASLMessage(ns::Dictionary{{"Time", "1000000000"}, {"Message", "m"}});
    ASSERT_TRUE(whole.date);
    EXPECT_EQ(DuvLogModel::stringFormatFromDate(*whole.date).substr(19), ".000");
}

// A row of the traffic list on every device: its texts end before the disclosure indicator.
class DuvHttpCellOnEveryDevice : public ::testing::TestWithParam<sim::ScreenProfile> {};

TEST_P(DuvHttpCellOnEveryDevice, TheTextsEndBeforeTheIndicator) {
    test::BootedDevice app{GetParam()};
    const double width = GetParam().portraitSize.width;
    auto cell = std::make_shared<DuvHttpCell>(ui::TableViewCellStyle::Default, "cell");
    cell->setFrame({0, 0, width, 60});
    cell->setTitle("api.example.test/with/a/long/path/that/does/not/fit/on/one/line",
                   "/Mobile/StudentLogin?with=a&long=query&that=runs&past=the&edge=of&the=row");
    cell->layoutIfNeeded();
    const double room = cell->contentView()->bounds().size.width;
    ASSERT_LT(room, width) << "the indicator takes its part of the row";
    EXPECT_LE(cg::maxX(cell->lblTitle()->frame()), room);
    EXPECT_LE(cg::maxX(cell->lblValue()->frame()), room);
    EXPECT_EQ(cell->lblTitle()->frame().origin.x, 20);
}

INSTANTIATE_TEST_SUITE_P(Devices, DuvHttpCellOnEveryDevice,
                         ::testing::Values(sim::ScreenProfile::phone320x480(), sim::ScreenProfile::phone320x568(),
                                           sim::ScreenProfile::phone375x667(), sim::ScreenProfile::phone414x736(),
                                           sim::ScreenProfile::pad768x1024()));

}  // namespace
}  // namespace ql

