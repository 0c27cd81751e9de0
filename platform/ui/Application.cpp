#include "platform/ui/Application.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Runtime.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ql::ui {

Application& Application::sharedApplication() {
    static auto* app = new std::shared_ptr<Application>(std::make_shared<Application>());
    return **app;
}

namespace {

void post(std::string_view name, const Application* app, ns::Dictionary info = {}) {
    ns::NotificationCenter::defaultCenter().post(name, app, std::move(info));
}

}  // namespace

// ---- Launch and state ----

bool Application::launch(std::shared_ptr<ApplicationDelegate> delegate, const ns::Dictionary& options) {
    assertMainThread();
    ns::Runtime::runLoadHooks();
    delegate_ = std::move(delegate);
    state_ = ApplicationState::Inactive;
    bool answer = true;
    if (delegate_) {
        delegate_->applicationWillFinishLaunchingWithOptions(*this, options);
        answer = delegate_->applicationDidFinishLaunchingWithOptions(*this, options);
    }
    post(ApplicationDidFinishLaunchingNotification, this);
    becomeActive();
    return answer;
}

void Application::resignActive() {
    if (state_ != ApplicationState::Active) return;
    if (delegate_) delegate_->applicationWillResignActive(*this);
    post(ApplicationWillResignActiveNotification, this);
    changeValue("applicationState", state_, ApplicationState::Inactive);
}

void Application::becomeActive() {
    if (state_ == ApplicationState::Active) return;
    changeValue("applicationState", state_, ApplicationState::Active);
    if (delegate_) delegate_->applicationDidBecomeActive(*this);
    post(ApplicationDidBecomeActiveNotification, this);
}

void Application::enterBackground() {
    if (state_ == ApplicationState::Background) return;
    resignActive();
    changeValue("applicationState", state_, ApplicationState::Background);
    backgroundSince_ = ns::Clock::now();
    if (delegate_) delegate_->applicationDidEnterBackground(*this);
    post(ApplicationDidEnterBackgroundNotification, this);
    if (expiryTimer_) expiryTimer_->invalidate();
    expiryTimer_ = ns::Timer::timer(kBackgroundTimeAllowance, false, [](ns::Timer&) {
        Application::sharedApplication().expireBackgroundTasks();
    });
    ns::RunLoop::main()->addTimer(expiryTimer_, ns::RunLoopCommonModes);
}

void Application::enterForeground() {
    if (state_ != ApplicationState::Background) return;
    if (expiryTimer_) expiryTimer_->invalidate();
    expiryTimer_.reset();
    if (delegate_) delegate_->applicationWillEnterForeground(*this);
    post(ApplicationWillEnterForegroundNotification, this);
    changeValue("applicationState", state_, ApplicationState::Inactive);
    becomeActive();
}

void Application::terminate() {
    if (delegate_) delegate_->applicationWillTerminate(*this);
    post(ApplicationWillTerminateNotification, this);
}

void Application::receiveMemoryWarning() {
    if (delegate_) delegate_->applicationDidReceiveMemoryWarning(*this);
    post(ApplicationDidReceiveMemoryWarningNotification, this);
    ViewController::memoryWarningToAll();
}

// ---- Windows ----

void Application::registerWindow(Window* window) { windows_.push_back(window); }

void Application::unregisterWindow(Window* window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

void Application::orderFront(Window* window) {
    unregisterWindow(window);
    windows_.push_back(window);
}

std::vector<std::shared_ptr<Window>> Application::windows() const {
    std::vector<std::shared_ptr<Window>> result;
    for (Window* w : windows_) {
        if (auto shared = std::static_pointer_cast<Window>(w->weak_from_this().lock())) result.push_back(shared);
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const auto& a, const auto& b) { return a->windowLevel() < b->windowLevel(); });
    return result;
}

std::shared_ptr<Window> Application::keyWindow() const { return keyWindow_.lock(); }

void Application::setKeyWindow(Window* window) {
    if (window) {
        keyWindow_ = std::static_pointer_cast<Window>(window->shared_from_this());
    } else {
        keyWindow_.reset();
    }
}

std::shared_ptr<Window> Application::frontmostVisibleWindow() const {
    auto list = windows();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (!(*it)->isHidden() && (*it)->windowLevel() == WindowLevelNormal) return *it;
    }
    return nullptr;
}

// ---- Status bar ----

void Application::setStatusBarOrientation(InterfaceOrientation orientation, bool) {
    if (orientation == orientation_) return;
    ns::Dictionary info{{std::string(ApplicationStatusBarOrientationUserInfoKey), static_cast<std::int64_t>(orientation)}};
    post(ApplicationWillChangeStatusBarOrientationNotification, this, info);
    const InterfaceOrientation old = orientation_;
    changeValue("statusBarOrientation", orientation_, orientation);
    post(ApplicationDidChangeStatusBarOrientationNotification, this,
         {{std::string(ApplicationStatusBarOrientationUserInfoKey), static_cast<std::int64_t>(old)}});
}

cg::Rect Application::statusBarFrame() const {
    if (statusBarHidden_) return cg::Rect::zero();
    return {0, 0, Screen::mainScreen().bounds().size.width, kStatusBarHeight};
}

void Application::setStatusBarHidden(bool hidden, StatusBarAnimation) { statusBarHidden_ = hidden; }

void Application::setStatusBarStyle(StatusBarStyle style, bool) { statusBarStyle_ = style; }

void Application::setNetworkActivityIndicatorVisible(bool visible) {
    changeValue("networkActivityIndicatorVisible", networkActivityIndicatorVisible_, visible);
}

// ---- Other apps ----

bool Application::openURL(const ns::URL& url) {
    if (!canOpenURL(url)) return false;
    openedURLs_.push_back(url);
    return true;
}

bool Application::canOpenURL(const ns::URL& url) const {
    if (!url.scheme()) return false;
    std::string scheme = *url.scheme();
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    return openableSchemes_.count(scheme) > 0;
}

// ---- Background tasks ----

BackgroundTaskIdentifier Application::beginBackgroundTask(std::function<void()> expirationHandler) {
    const BackgroundTaskIdentifier id = nextTask_++;
    backgroundTasks_[id] = std::move(expirationHandler);
    return id;
}

void Application::endBackgroundTask(BackgroundTaskIdentifier identifier) { backgroundTasks_.erase(identifier); }

double Application::backgroundTimeRemaining() const {
    if (state_ != ApplicationState::Background) return std::numeric_limits<double>::max();
    return std::max(0.0, backgroundSince_ + kBackgroundTimeAllowance - ns::Clock::now());
}

void Application::expireBackgroundTasks() {
    // Each handler is expected to end its task; it runs once either way.
    auto tasks = backgroundTasks_;
    for (auto& [id, handler] : tasks) {
        if (handler && backgroundTasks_.count(id)) handler();
    }
}

// ---- Events and actions ----

void Application::sendEvent(Event& event) {
    for (const auto& window : windows()) window->sendEvent(event);
}

bool Application::sendAction(const Action& action, ns::Object* target, ns::Object* sender, Event* event) {
    if (target) return action.send(target, sender, event);
    Responder* start = nullptr;
    if (auto key = keyWindow()) start = key->firstResponder();
    if (!start) start = dynamic_cast<Responder*>(sender);
    for (Responder* r = start; r; r = r->nextResponder()) {
        if (action.isRespondedToBy(r)) {
            auto keep = r->shared_from_this();
            return action.send(r, sender, event);
        }
    }
    return false;
}

Responder* Application::nextResponder() const { return dynamic_cast<Responder*>(delegate_.get()); }

ns::Value Application::valueForKey(std::string_view key) const {
    if (key == "networkActivityIndicatorVisible") return networkActivityIndicatorVisible_;
    if (key == "applicationState") return static_cast<std::int64_t>(state_);
    if (key == "statusBarOrientation") return static_cast<std::int64_t>(orientation_);
    return Responder::valueForKey(key);
}

int ApplicationMain(int, char**, const std::function<std::shared_ptr<ApplicationDelegate>()>& makeDelegate) {
    Application& app = Application::sharedApplication();
    ns::Runtime::runLoadHooks();
    app.launch(makeDelegate ? makeDelegate() : nullptr);
    ns::RunLoop::main()->run();
    return 0;
}

}  // namespace ql::ui
