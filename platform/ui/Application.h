#pragma once
// ui::Application: the running app as the platform sees it. It owns the delegate, knows the windows
// (back to front) and the key window, keeps the status bar's orientation, frame and the network
// activity flag, runs the launch and the moves between active, inactive and background with their
// notifications, opens URLs whose scheme an app on the device takes (recording them), counts background tasks and routes action
// messages along the responder chain. The headless device drives its state changes.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/MemoryWarning.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Selector.h"

namespace ql::ns {
class Timer;
}

namespace ql::ui {

class Application;
class Window;

enum class ApplicationState { Active = 0, Inactive = 1, Background = 2 };

enum class InterfaceOrientation {
    Unknown = 0,
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeRight = 3,
    LandscapeLeft = 4,
};

enum class StatusBarStyle { Default = 0, LightContent = 1 };
enum class StatusBarAnimation { None = 0, Fade = 1, Slide = 2 };

using BackgroundTaskIdentifier = std::uint64_t;
inline constexpr BackgroundTaskIdentifier BackgroundTaskInvalid = 0;

inline constexpr std::string_view ApplicationDidFinishLaunchingNotification = "UIApplicationDidFinishLaunchingNotification";
inline constexpr std::string_view ApplicationDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
inline constexpr std::string_view ApplicationWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
inline constexpr std::string_view ApplicationDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline constexpr std::string_view ApplicationWillEnterForegroundNotification = "UIApplicationWillEnterForegroundNotification";
inline constexpr std::string_view ApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification";
inline constexpr std::string_view ApplicationDidReceiveMemoryWarningNotification = ns::MemoryWarningNotification;
inline constexpr std::string_view ApplicationWillChangeStatusBarOrientationNotification =
    "UIApplicationWillChangeStatusBarOrientationNotification";
inline constexpr std::string_view ApplicationDidChangeStatusBarOrientationNotification =
    "UIApplicationDidChangeStatusBarOrientationNotification";
inline constexpr std::string_view ApplicationStatusBarOrientationUserInfoKey = "UIApplicationStatusBarOrientationUserInfoKey";

// Every member is optional; the defaults are what the platform does for a delegate that does not answer.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual bool applicationWillFinishLaunchingWithOptions(Application&, const ns::Dictionary&) { return true; }
    virtual bool applicationDidFinishLaunchingWithOptions(Application&, const ns::Dictionary&) { return true; }
    virtual void applicationDidBecomeActive(Application&) {}
    virtual void applicationWillResignActive(Application&) {}
    virtual void applicationDidEnterBackground(Application&) {}
    virtual void applicationWillEnterForeground(Application&) {}
    virtual void applicationWillTerminate(Application&) {}
    virtual void applicationDidReceiveMemoryWarning(Application&) {}
    // The delegate's window, when it keeps one.
    virtual std::shared_ptr<Window> window() const { return nullptr; }
};

class Application : public Responder {
    QL_OBJECT_NAMED(Application, Responder, "UIApplication")
public:
    // The height of the status bar while it shows.
    static constexpr double kStatusBarHeight = 20;
    // How long a background task may run once the app is in the background.
    static constexpr double kBackgroundTimeAllowance = 180;

    Application() = default;
    static Application& sharedApplication();

    // ---- Launch and state ----
    // Runs the load hooks, then starts the app with the delegate: will/did finish launching, the launch
    // notification and becoming active. Returns the delegate's answer to did-finish-launching.
    bool launch(std::shared_ptr<ApplicationDelegate> delegate, const ns::Dictionary& options = {});
    ApplicationState applicationState() const { return state_; }
    // The device's side: leaving and entering the foreground, termination, memory pressure.
    void resignActive();
    void becomeActive();
    void enterBackground();
    void enterForeground();
    void terminate();
    void receiveMemoryWarning();

    const std::shared_ptr<ApplicationDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

    // ---- Windows ----
    // Back to front: by level, and within a level in the order they were last shown.
    std::vector<std::shared_ptr<Window>> windows() const;
    std::shared_ptr<Window> keyWindow() const;

    // ---- Status bar ----
    InterfaceOrientation statusBarOrientation() const { return orientation_; }
    // Announced with the will-change and did-change notifications (user info: the orientation).
    void setStatusBarOrientation(InterfaceOrientation orientation, bool animated = false);
    // In screen coordinates; zero while hidden.
    cg::Rect statusBarFrame() const;
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden, StatusBarAnimation animation = StatusBarAnimation::None);
    StatusBarStyle statusBarStyle() const { return statusBarStyle_; }
    void setStatusBarStyle(StatusBarStyle style, bool animated = false);
    bool isNetworkActivityIndicatorVisible() const { return networkActivityIndicatorVisible_; }
    void setNetworkActivityIndicatorVisible(bool visible);

    // ---- Other apps ----
    // A URL can be opened when some app on the device takes its scheme (compared without case); opening
    // one records it, since the app it goes to is not here. Answers whether it was opened.
    bool openURL(const ns::URL& url);
    bool canOpenURL(const ns::URL& url) const;
    const std::vector<ns::URL>& openedURLs() const { return openedURLs_; }
    // The device's side: the schemes its apps take, lower case; at first those of the system's own apps
    // (web, mail, phone and messages).
    const std::set<std::string>& openableURLSchemes() const { return openableSchemes_; }
    void setOpenableURLSchemes(std::set<std::string> schemes) { openableSchemes_ = std::move(schemes); }
    static std::set<std::string> systemURLSchemes() { return {"http", "https", "mailto", "tel", "sms"}; }

    // ---- Background tasks ----
    BackgroundTaskIdentifier beginBackgroundTask(std::function<void()> expirationHandler = {});
    void endBackgroundTask(BackgroundTaskIdentifier identifier);
    // Unlimited in the foreground; what is left of the allowance in the background.
    double backgroundTimeRemaining() const;
    std::size_t backgroundTaskCount() const { return backgroundTasks_.size(); }

    // ---- Events and actions ----
    // Sends each window its share of the event's touches.
    void sendEvent(Event& event);
    // Sends the action to the target, or, without one, to the first responder along the chain (from the
    // key window's first responder, else from the sender) that responds to it. False when none did.
    bool sendAction(const Action& action, ns::Object* target, ns::Object* sender, Event* event);

    Responder* nextResponder() const override;
    // "networkActivityIndicatorVisible", "applicationState" and "statusBarOrientation" are observable.
    ns::Value valueForKey(std::string_view key) const override;

private:
    friend class Window;

    void registerWindow(Window* window);
    void unregisterWindow(Window* window);
    void orderFront(Window* window);
    void windowOrderChanged() {}
    void setKeyWindow(Window* window);
    std::shared_ptr<Window> frontmostVisibleWindow() const;
    void expireBackgroundTasks();

    std::shared_ptr<ApplicationDelegate> delegate_;
    ApplicationState state_ = ApplicationState::Inactive;
    std::vector<Window*> windows_;  // in the order they were last shown; a window removes itself
    std::weak_ptr<Window> keyWindow_;
    InterfaceOrientation orientation_ = InterfaceOrientation::Portrait;
    bool statusBarHidden_ = false;
    StatusBarStyle statusBarStyle_ = StatusBarStyle::Default;
    bool networkActivityIndicatorVisible_ = false;
    std::vector<ns::URL> openedURLs_;
    std::set<std::string> openableSchemes_ = systemURLSchemes();
    BackgroundTaskIdentifier nextTask_ = 1;
    std::map<BackgroundTaskIdentifier, std::function<void()>> backgroundTasks_;
    double backgroundSince_ = 0;
    std::shared_ptr<ns::Timer> expiryTimer_;
};

// The program's entry point for an app: launches it with the delegate the factory makes and runs the
// main run loop for as long as it has anything to run.
int ApplicationMain(int argc, char** argv, const std::function<std::shared_ptr<ApplicationDelegate>()>& makeDelegate);

}  // namespace ql::ui
