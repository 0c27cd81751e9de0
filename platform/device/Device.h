#pragma once
// sim::Device: the stand-in for a phone. It gives the app a screen (size, scale, kind and orientation),
// boots it as the platform's start-up does (load hooks, then the delegate, which makes its window key
// and visible), and then acts as the world around it: fingers that tap, drag and swipe through the real
// hit-testing and gesture path, a keyboard typing into the first responder, the system's memory warnings,
// moves to the background and back, termination and rotation, and eyes that take screenshots and read
// the view tree. Time is the clock's: on a manual clock (the default) it moves only when the device lets
// it, so what happens is the same on every run.
//
// The platform layer's objects are singletons, so one device exists at a time; it puts the screen and
// the clock back as they were when it goes.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device/MainLoop.h"
#include "platform/device/ScreenProfile.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/TouchDriver.h"

namespace ql::ui {
class KeyInput;
class View;
class Window;
}  // namespace ql::ui

namespace ql::sim {

class Device {
public:
    enum class Time { Manual, Real };
    enum class Direction { Left, Right, Up, Down };
    using DelegateFactory = std::function<std::shared_ptr<ui::ApplicationDelegate>()>;

    // How long a finger takes: a tap from down to up, a drag and a swipe from start to end (in that many
    // moves).
    static constexpr double kTapDuration = 0.1;
    static constexpr double kDragDuration = 0.5;
    static constexpr int kDragSteps = 10;
    static constexpr double kSwipeDuration = 0.1;
    static constexpr int kSwipeSteps = 4;

    // Sets up the screen upright; a manual clock starts at the manual clock's usual start.
    explicit Device(const ScreenProfile& profile = ScreenProfile::phone375x667(), Time time = Time::Manual);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // ---- Start ----
    // Runs the load hooks, makes the delegate, launches the application with it (will and did finish
    // launching, the launch notification, becoming active) and runs the work that is then ready. Returns
    // the delegate's answer to did-finish-launching. A device boots once.
    bool boot(const DelegateFactory& makeDelegate, const ns::Dictionary& launchOptions = {});
    // The delegate made by name from the class registry; the class must be an application delegate.
    bool boot(std::string_view delegateClassName, const ns::Dictionary& launchOptions = {});
    bool isBooted() const { return booted_; }
    ui::Application& application() const;
    std::shared_ptr<ui::Window> keyWindow() const;

    // ---- Screen ----
    const ScreenProfile& profile() const { return profile_; }
    ui::InterfaceOrientation orientation() const { return orientation_; }
    // Turns the device: the device's orientation (announced), the screen's bounds (swapped in landscape),
    // the status bar's orientation (announced), every window that filled the screen resized to fill it
    // again, and a shown keyboard placed anew. When the size classes change with it, every controller
    // hears of the new traits before the windows turn and of the old ones after.
    // Controllers hear will-rotate before, will-animate once the views are laid out anew, and did-rotate
    // after the turn's 0.4 s; a controller on screen that refuses to turn keeps the interface as it is (the
    // device alone turns) until a rotation attempt catches up.
    void rotate(ui::InterfaceOrientation orientation);

    // ---- Time ----
    bool runUntilIdle(double horizon = MainLoop::kDefaultIdleHorizon) { return MainLoop::runUntilIdle(horizon); }
    void advance(double seconds) { MainLoop::advance(seconds); }
    bool runUntil(const std::function<bool()>& condition, double timeout) {
        return MainLoop::runUntil(condition, timeout);
    }

    // ---- Finding views ----
    // The frontmost shown view whose accessibility label, title or text is `words`; null when none.
    std::shared_ptr<ui::View> find(std::string_view words) const;
    template <class T>
    std::shared_ptr<T> find(std::string_view words) const {
        for (const auto& view : findAll(words)) {
            if (auto typed = std::dynamic_pointer_cast<T>(view)) return typed;
        }
        return nullptr;
    }

    // ---- Fingers ----
    // Every gesture goes through the frontmost window under the finger, as a real touch would, and ends
    // with the work then ready. Tapping a view taps the middle of its visible part; it raises when the
    // view is not shown, lies off screen or is covered by something it does not contain.
    void tap(const ui::View& view);
    // The frontmost view showing the words that a finger can reach.
    void tap(std::string_view words);
    // In screen coordinates; raises when no window takes a touch there.
    void tap(cg::Point screenPoint);
    // Down at `from`, `steps` even moves to `to` over `duration` seconds, up there.
    void drag(cg::Point from, cg::Point to, double duration = kDragDuration, int steps = kDragSteps);
    // From the middle of the view's visible part, by the offset.
    void drag(const ui::View& view, cg::Point offset, double duration = kDragDuration, int steps = kDragSteps);
    // A quick stroke across the middle of the view, the finger moving in the direction: 60% of the view's
    // extent along it, at least 100 points, kept on the screen.
    void swipe(const ui::View& view, Direction direction);
    void swipe(cg::Point from, cg::Point to);

    // ---- Keyboard ----
    // Each character (as a person sees one) typed into the key window's first responder in turn;
    // raises when it takes no typed text.
    void type(std::string_view text);
    void pressReturn();
    void pressBackspace(int times = 1);

    // ---- The system ----
    void sendMemoryWarning();
    void sendToBackground();
    void bringToForeground();
    void terminate();

    // ---- Looking ----
    // The key window as shown, after the pending layout and display passes; raises without one.
    std::shared_ptr<const cg::Image> screenshot();
    ns::Data screenshotPNG();
    // Raises when the file cannot be written.
    void writeScreenshot(const std::string& path);
    // The key window's view tree (see ViewTreeDump.h); raises without a key window.
    std::string viewTree() const;

private:
    struct Reach;

    std::vector<std::shared_ptr<ui::View>> findAll(std::string_view words) const;
    void attemptRotation();
    std::shared_ptr<ui::Window> requireKeyWindow() const;
    void requireBooted(std::string_view what) const;
    void applyScreen();
    Reach reach(const ui::View& view) const;
    void press(cg::Point screenPoint, double duration);
    void stroke(cg::Point from, cg::Point to, double duration, int steps);
    std::shared_ptr<ui::KeyInput> textInput(std::string_view what) const;
    void shutDown();

    ScreenProfile profile_;
    std::optional<ns::ManualClockScope> clock_;
    ui::InterfaceOrientation orientation_ = ui::InterfaceOrientation::Portrait;
    bool booted_ = false;
    // Counts the turns, so that only the latest one reports its end.
    std::shared_ptr<std::uint64_t> turns_ = std::make_shared<std::uint64_t>(0);
    ui::TouchDriver fingers_;
};

}  // namespace ql::sim
