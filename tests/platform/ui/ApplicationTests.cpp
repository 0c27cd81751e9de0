#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/Application.h"
#include "platform/ui/Device.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

using namespace ql;
using namespace ql::ui;

namespace {

struct Delegate : ns::Object, ApplicationDelegate {
    std::vector<std::string> calls;
    bool applicationWillFinishLaunchingWithOptions(Application&, const ns::Dictionary&) override {
        calls.push_back("willFinish");
        return true;
    }
    bool applicationDidFinishLaunchingWithOptions(Application&, const ns::Dictionary&) override {
        calls.push_back("didFinish");
        return true;
    }
    void applicationDidBecomeActive(Application&) override { calls.push_back("active"); }
    void applicationWillResignActive(Application&) override { calls.push_back("resign"); }
    void applicationDidEnterBackground(Application&) override { calls.push_back("background"); }
    void applicationWillEnterForeground(Application&) override { calls.push_back("foreground"); }
    void applicationWillTerminate(Application&) override { calls.push_back("terminate"); }
};

class Names {
public:
    explicit Names(std::vector<std::string_view> names) : owner_(std::make_shared<ns::Object>()) {
        for (auto name : names) {
            ns::NotificationCenter::defaultCenter().addObserver(
                owner_, [this](const ns::Notification& n) {
                    seen.push_back(n.name());
                    infos.push_back(n.userInfo());
                },
                name);
        }
    }
    ~Names() { ns::NotificationCenter::defaultCenter().removeObserver(owner_.get()); }
    std::vector<std::string> seen;
    std::vector<ns::Dictionary> infos;

private:
    std::shared_ptr<ns::Object> owner_;
};

}  // namespace

TEST(Application, LaunchAndStateChangesAreAnnouncedInOrder) {
    ns::ManualClockScope clock;
    Application& app = Application::sharedApplication();
    auto delegate = std::make_shared<Delegate>();
    Names names({ApplicationDidFinishLaunchingNotification, ApplicationDidBecomeActiveNotification,
                 ApplicationWillResignActiveNotification, ApplicationDidEnterBackgroundNotification,
                 ApplicationWillEnterForegroundNotification, ApplicationWillTerminateNotification});
    EXPECT_TRUE(app.launch(delegate));
    EXPECT_EQ(app.applicationState(), ApplicationState::Active);
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"willFinish", "didFinish", "active"}));
    EXPECT_EQ(names.seen, (std::vector<std::string>{"UIApplicationDidFinishLaunchingNotification",
                                                    "UIApplicationDidBecomeActiveNotification"}));
    EXPECT_EQ(app.nextResponder(), nullptr);  // the delegate is no responder

    // Background tasks run out of time 180 s after the app went to the background.
    int expired = 0;
    const auto task = app.beginBackgroundTask([&] { ++expired; });
    const auto other = app.beginBackgroundTask([&] { ++expired; });
    EXPECT_NE(task, BackgroundTaskInvalid);
    EXPECT_NE(task, other);
    EXPECT_GT(app.backgroundTimeRemaining(), 1e300);
    names.seen.clear();
    delegate->calls.clear();
    app.enterBackground();
    EXPECT_EQ(app.applicationState(), ApplicationState::Background);
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"resign", "background"}));
    EXPECT_EQ(names.seen, (std::vector<std::string>{"UIApplicationWillResignActiveNotification",
                                                    "UIApplicationDidEnterBackgroundNotification"}));
    app.endBackgroundTask(other);
    ns::Clock::advance(100);
    EXPECT_DOUBLE_EQ(app.backgroundTimeRemaining(), 80);
    ns::Clock::advance(80);
    EXPECT_EQ(expired, 1);
    app.endBackgroundTask(task);
    EXPECT_EQ(app.backgroundTaskCount(), 0u);

    names.seen.clear();
    delegate->calls.clear();
    app.enterForeground();
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"foreground", "active"}));
    EXPECT_EQ(names.seen, (std::vector<std::string>{"UIApplicationWillEnterForegroundNotification",
                                                    "UIApplicationDidBecomeActiveNotification"}));
    app.terminate();
    EXPECT_EQ(delegate->calls.back(), "terminate");

    // Opening URLs is recorded.
    const auto before = app.openedURLs().size();
    EXPECT_TRUE(app.openURL(*ns::URL::fromString("tel://10086")));
    ASSERT_EQ(app.openedURLs().size(), before + 1);
    EXPECT_EQ(app.openedURLs().back().absoluteString(), "tel://10086");
    app.setDelegate(nullptr);

    // Accessibility announcements are kept in order until read.
    takeAccessibilityPosts();
    AccessibilityPostNotification(AccessibilityNotification::ScreenChanged);
    AccessibilityPostNotification(AccessibilityNotification::Announcement, "登录中");
    const auto posts = takeAccessibilityPosts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[1].notification, AccessibilityNotification::Announcement);
    EXPECT_EQ(posts[1].argument.asString(), "登录中");
    EXPECT_TRUE(takeAccessibilityPosts().empty());
}

TEST(Application, StatusBarDeviceAndWindowOrder) {
    ns::ManualClockScope clock;
    Application& app = Application::sharedApplication();
    Screen::mainScreen().setBounds({0, 0, 375, 667});
    EXPECT_EQ(app.statusBarFrame(), (cg::Rect{0, 0, 375, 20}));
    app.setStatusBarHidden(true);
    EXPECT_EQ(app.statusBarFrame(), cg::Rect::zero());
    EXPECT_EQ(Screen::mainScreen().applicationFrame(), (cg::Rect{0, 0, 375, 667}));
    app.setStatusBarHidden(false);

    Names names({ApplicationWillChangeStatusBarOrientationNotification,
                 ApplicationDidChangeStatusBarOrientationNotification, DeviceOrientationDidChangeNotification});
    app.setStatusBarOrientation(InterfaceOrientation::LandscapeLeft);
    ASSERT_EQ(names.seen.size(), 2u);
    EXPECT_EQ(names.infos[0][ApplicationStatusBarOrientationUserInfoKey].int64Value(), 4);  // the new one
    EXPECT_EQ(names.infos[1][ApplicationStatusBarOrientationUserInfoKey].int64Value(), 1);  // the old one
    app.setStatusBarOrientation(InterfaceOrientation::Portrait);
    Device& device = Device::currentDevice();
    device.setOrientation(DeviceOrientation::LandscapeRight);
    EXPECT_EQ(names.seen.back(), "UIDeviceOrientationDidChangeNotification");
    device.setOrientation(DeviceOrientation::Portrait);
    EXPECT_EQ(device.systemVersion(), "9.0");
    EXPECT_EQ(device.model(), "iPhone");
    // The keyboard's height follows the kind of device and the screen as it stands.
    EXPECT_EQ(Keyboard::standardHeight(), 216);
    Screen::mainScreen().setBounds({0, 0, 414, 736});
    EXPECT_EQ(Keyboard::standardHeight(), 226);
    Screen::mainScreen().setBounds({0, 0, 736, 414});
    EXPECT_EQ(Keyboard::standardHeight(), 162);
    device.setUserInterfaceIdiom(UserInterfaceIdiom::Pad);
    EXPECT_EQ(device.model(), "iPad");
    Screen::mainScreen().setBounds({0, 0, 768, 1024});
    EXPECT_EQ(Keyboard::standardHeight(), 264);
    device.setUserInterfaceIdiom(UserInterfaceIdiom::Phone);
    Screen::mainScreen().setBounds({0, 0, 375, 667});

    bool indicator = false;
    auto watch = app.addObserver("networkActivityIndicatorVisible", ns::KeyValueObservingOptionNew,
                                 [&](const ns::KeyValueChange& c) { indicator = c.newValue.boolValue(); });
    app.setNetworkActivityIndicatorVisible(true);
    EXPECT_TRUE(indicator);
    app.setNetworkActivityIndicatorVisible(false);

    // Windows are ordered by level, then by when they were last shown; hiding the key window passes the
    // key status to the frontmost normal window.
    auto back = std::make_shared<Window>();
    auto alert = std::make_shared<Window>();
    alert->setWindowLevel(WindowLevelAlert);
    auto front = std::make_shared<Window>();
    alert->setHidden(false);
    front->makeKeyAndVisible();
    back->makeKeyAndVisible();
    auto order = app.windows();
    auto position = [&](const std::shared_ptr<Window>& w) { return std::find(order.begin(), order.end(), w) - order.begin(); };
    EXPECT_LT(position(front), position(back));
    EXPECT_LT(position(back), position(alert));
    EXPECT_TRUE(back->isKeyWindow());
    Names keys({WindowDidBecomeKeyNotification, WindowDidResignKeyNotification});
    back->setHidden(true);
    EXPECT_TRUE(front->isKeyWindow());
    EXPECT_EQ(keys.seen, (std::vector<std::string>{"UIWindowDidResignKeyNotification", "UIWindowDidBecomeKeyNotification"}));
    front->setHidden(true);
    alert->setHidden(true);
}
