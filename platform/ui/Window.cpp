#include "platform/ui/Window.h"

#include <map>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Event.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Touch.h"
#include "platform/ui/ViewController.h"

namespace ql::ui {

namespace {

bool forcedResign = false;

}  // namespace

Window::ForcedResign::ForcedResign(bool force) : previous_(forcedResign) { forcedResign = forcedResign || force; }

Window::ForcedResign::~ForcedResign() { forcedResign = previous_; }

bool Window::ForcedResign::isForced() { return forcedResign; }

Window::Window() : Window(Screen::mainScreen().bounds()) {}

Window::Window(const cg::Rect& frame) : View(frame) {
    assertMainThread();
    layer()->setHidden(true);
    setWindowOfSubtree(this, this);
    Application::sharedApplication().registerWindow(this);
}

Window::~Window() { Application::sharedApplication().unregisterWindow(this); }

void Window::setWindowLevel(WindowLevel level) {
    level_ = level;
    Application::sharedApplication().windowOrderChanged();
}

Screen& Window::screen() const { return Screen::mainScreen(); }

Responder* Window::nextResponder() const { return &Application::sharedApplication(); }

// ---- Root view controller ----

void Window::layoutRootView() {
    if (!rootViewController_) return;
    const auto& view = rootViewController_->view();
    view->setFrame(bounds());
    view->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
}

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
    if (controller == rootViewController_) return;
    auto old = rootViewController_;
    const bool shown = !isHidden();
    // Dismiss what the old root presented; it leaves with its root.
    if (old && old->presentedViewController()) old->dismissAllPresentedAtOnce();
    if (controller) controller->view();
    if (shown && old) old->beginAppearanceTransition(false, false);
    if (shown && controller) controller->beginAppearanceTransition(true, false);
    {
        ViewController::AppearanceHold hold({old.get(), controller.get()});
        if (old && old->isViewLoaded()) old->view()->removeFromSuperview();
        rootViewController_ = controller;
        if (controller) {
            layoutRootView();
            insertSubview(controller->view(), 0);
        }
    }
    if (shown && old) old->endAppearanceTransition();
    if (shown && controller) controller->endAppearanceTransition();
}

// ---- Key and visible ----

void Window::makeKeyAndVisible() {
    makeKeyWindow();
    setHidden(false);
}

void Window::makeKeyWindow() {
    Application& app = Application::sharedApplication();
    Window* old = app.keyWindow().get();
    if (old == this) return;
    if (old) old->resignKeyWindow();
    app.setKeyWindow(this);
    becomeKeyWindow();
}

bool Window::isKeyWindow() const { return Application::sharedApplication().keyWindow().get() == this; }

void Window::becomeKeyWindow() { ns::NotificationCenter::defaultCenter().post(WindowDidBecomeKeyNotification, this); }

void Window::resignKeyWindow() { ns::NotificationCenter::defaultCenter().post(WindowDidResignKeyNotification, this); }

void Window::setHidden(bool hidden) {
    if (hidden == isHidden()) return;
    auto keep = sharedFromThis();
    Application& app = Application::sharedApplication();
    if (!hidden) {
        if (rootViewController_ && !rootViewController_->view()->superview()) {
            layoutRootView();
            insertSubview(rootViewController_->view(), 0);
        }
        ViewController::beginAutomaticAppearance(this, true);
        View::setHidden(false);
        app.orderFront(this);
        ViewController::endAutomaticAppearance(this, true);
        setNeedsLayout();
        ns::NotificationCenter::defaultCenter().post(WindowDidBecomeVisibleNotification, this);
    } else {
        ViewController::beginAutomaticAppearance(this, false);
        View::setHidden(true);
        ViewController::endAutomaticAppearance(this, false);
        if (isKeyWindow()) {
            resignKeyWindow();
            app.setKeyWindow(nullptr);
            if (auto next = app.frontmostVisibleWindow()) next->makeKeyWindow();
        }
        ns::NotificationCenter::defaultCenter().post(WindowDidBecomeHiddenNotification, this);
    }
}

// ---- Coordinates between windows ----

cg::Point Window::convertPointToWindow(cg::Point point, const Window* window) const {
    return layer()->convertPointToLayer(point, window ? window->layer().get() : nullptr);
}

cg::Point Window::convertPointFromWindow(cg::Point point, const Window* window) const {
    return layer()->convertPointFromLayer(point, window ? window->layer().get() : nullptr);
}

cg::Rect Window::convertRectToWindow(const cg::Rect& rect, const Window* window) const {
    return layer()->convertRectToLayer(rect, window ? window->layer().get() : nullptr);
}

cg::Rect Window::convertRectFromWindow(const cg::Rect& rect, const Window* window) const {
    return layer()->convertRectFromLayer(rect, window ? window->layer().get() : nullptr);
}

// ---- First responder ----

bool Window::makeFirstResponder(Responder& responder) {
    auto current = firstResponder_.lock();
    if (current.get() == &responder) return true;
    bool resigned = true;
    {
        // The change is announced once it settles, even when the responder resigning throws.
        struct Changing {
            int& depth;
            explicit Changing(int& d) : depth(d) { ++depth; }
            ~Changing() { --depth; }
        } changing(changing_);
        if (current) resigned = current->canResignFirstResponder() && current->resignFirstResponder();
        if (resigned && firstResponder_.lock() == current && current) resigned = false;  // it claimed to, but stayed
        if (resigned) firstResponder_ = std::static_pointer_cast<Responder>(responder.shared_from_this());
    }
    if (!resigned) firstResponderSettled();
    return resigned;
}

void Window::clearFirstResponder(Responder& responder) {
    if (firstResponder_.lock().get() == &responder) firstResponder_.reset();
}

void Window::firstResponderSettled() {
    if (changing_ > 0) return;
    auto now = firstResponder_.lock();
    auto before = settledResponder_.lock();
    settledResponder_ = now;
    Keyboard::shared().firstResponderChanged(before.get(), now.get());
}

void Window::subtreeWillLeave(View* view) {
    auto* responder = dynamic_cast<View*>(firstResponder());
    if (!responder || !responder->isDescendantOfView(view)) return;
    ForcedResign forced(true);
    if (!responder->resignFirstResponder()) clearFirstResponder(*responder);
}

// ---- Touches ----

void Window::sendEvent(Event& event) {
    auto keep = sharedFromThis();
    std::map<View*, int> activeByView;
    bool exclusiveActive = false;
    for (const auto& touch : event.allTouches()) {
        if (touch->window() != this || !touch->registered_ || !touch->isActive()) continue;
        if (View* v = touch->view()) {
            ++activeByView[v];
            if (v->isExclusiveTouch() && touch->deliverToView_) exclusiveActive = true;
        }
    }
    for (const auto& touch : event.allTouches()) {
        if (touch->window() != this || touch->registered_) continue;
        touch->registered_ = true;
        View* hit = hitTest(touch->locationInView(nullptr), &event);
        if (hit) touch->view_ = hit->sharedFromThis();
        const bool othersActive = !activeByView.empty();
        if (!hit || exclusiveActive || (hit->isExclusiveTouch() && othersActive) ||
            (!hit->isMultipleTouchEnabled() && activeByView.count(hit))) {
            touch->deliverToView_ = false;
        }
        if (exclusiveActive) continue;
        gestures_.touchBegan(touch, hit);
        if (hit) ++activeByView[hit];
    }
    gestures_.dispatch(event);
}

}  // namespace ql::ui
