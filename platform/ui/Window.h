#pragma once
// ui::Window: the root of a view tree on the screen. A window orders itself among the application's
// windows by level, may be the key window, shows its root view controller's view, keeps the first
// responder of its tree and delivers the touches that fall on it. Its frame is in screen coordinates.

#include <memory>
#include <string_view>

#include "platform/ui/GestureCoordinator.h"
#include "platform/ui/View.h"

namespace ql::ui {

class Screen;
class ViewController;

using WindowLevel = double;
inline constexpr WindowLevel WindowLevelNormal = 0;
inline constexpr WindowLevel WindowLevelStatusBar = 1000;
inline constexpr WindowLevel WindowLevelAlert = 2000;

inline constexpr std::string_view WindowDidBecomeVisibleNotification = "UIWindowDidBecomeVisibleNotification";
inline constexpr std::string_view WindowDidBecomeHiddenNotification = "UIWindowDidBecomeHiddenNotification";
inline constexpr std::string_view WindowDidBecomeKeyNotification = "UIWindowDidBecomeKeyNotification";
inline constexpr std::string_view WindowDidResignKeyNotification = "UIWindowDidResignKeyNotification";

class Window : public View {
    QL_OBJECT_NAMED(Window, View, "UIWindow")
public:
    // A window as large as the main screen; windows start hidden.
    Window();
    explicit Window(const cg::Rect& frame);
    ~Window() override;

    WindowLevel windowLevel() const { return level_; }
    void setWindowLevel(WindowLevel level);

    const std::shared_ptr<ViewController>& rootViewController() const { return rootViewController_; }
    // Shows the controller's view filling the window; on a shown window the old root disappears and the
    // new one appears.
    void setRootViewController(std::shared_ptr<ViewController> controller);

    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;
    virtual void becomeKeyWindow();
    virtual void resignKeyWindow();
    void setHidden(bool hidden) override;

    Screen& screen() const;

    // Delivers the event's touches that belong to this window: hit-testing new touches, then the gesture
    // recognisers, then the views.
    virtual void sendEvent(Event& event);

    // Between windows (null: the screen).
    cg::Point convertPointToWindow(cg::Point point, const Window* window) const;
    cg::Point convertPointFromWindow(cg::Point point, const Window* window) const;
    cg::Rect convertRectToWindow(const cg::Rect& rect, const Window* window) const;
    cg::Rect convertRectFromWindow(const cg::Rect& rect, const Window* window) const;

    Responder* firstResponder() const { return firstResponder_.lock().get(); }
    Responder* nextResponder() const override;

    GestureCoordinator& gestures() { return gestures_; }

    // While alive, resignations skip the responder's consent (endEditing with force).
    class ForcedResign {
    public:
        explicit ForcedResign(bool force);
        ~ForcedResign();
        ForcedResign(const ForcedResign&) = delete;
        ForcedResign& operator=(const ForcedResign&) = delete;
        static bool isForced();

    private:
        bool previous_;
    };

    // ---- Used by responders ----
    // Makes `responder` the first responder, asking the current one to resign first.
    bool makeFirstResponder(Responder& responder);
    void clearFirstResponder(Responder& responder);
    // A first responder change is complete: the keyboard follows it.
    void firstResponderSettled();
    // A subtree is about to leave this window: its first responder resigns.
    void subtreeWillLeave(View* view);

private:
    void layoutRootView();

    WindowLevel level_ = WindowLevelNormal;
    std::shared_ptr<ViewController> rootViewController_;
    std::weak_ptr<Responder> firstResponder_;
    // The responder the keyboard last followed, and whether a change is in progress.
    std::weak_ptr<Responder> settledResponder_;
    int changing_ = 0;
    GestureCoordinator gestures_;
};

}  // namespace ql::ui
