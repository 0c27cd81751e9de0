#pragma once
// ProgressHUD: the process-wide progress overlay. A rounded, translucent dark panel near the middle of
// the screen shows a spinner, a progress ring or a result image with an optional status below, over a
// mask that may block touches and dim the screen. Callers use the class functions only; the one
// instance lives for the whole process. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"
#include "platform/graphics/Path.h"
#include "platform/ui/View.h"

namespace ql::ns {
class Notification;
class Timer;
}  // namespace ql::ns

namespace ql::ui {
class ActivityIndicatorView;
class Button;
class Color;
class Font;
class Image;
class ImageView;
class Label;
class ShapeLayer;
}  // namespace ql::ui

namespace ql {

// What the overlay does outside its panel. Any other value blocks touches and draws nothing, as Clear.
enum ProgressHUDMaskType : std::uint64_t {
    ProgressHUDMaskTypeNone = 1,      // touches pass to the views below
    ProgressHUDMaskTypeClear = 2,     // touches are swallowed
    ProgressHUDMaskTypeBlack = 3,     // swallowed, black at alpha 0.5 over the screen
    ProgressHUDMaskTypeGradient = 4,  // swallowed, clear at the centre darkening to the edges
};

inline constexpr std::string_view ProgressHUDDidReceiveTouchEventNotification =
    "ProgressHUDDidReceiveTouchEventNotification";
inline constexpr std::string_view ProgressHUDWillDisappearNotification = "ProgressHUDWillDisappearNotification";
inline constexpr std::string_view ProgressHUDDidDisappearNotification = "ProgressHUDDidDisappearNotification";
inline constexpr std::string_view ProgressHUDStatusUserInfoKey = "ProgressHUDStatusUserInfoKey";

class ProgressHUD : public ui::View {
    QL_OBJECT(ProgressHUD, ui::View)
public:
    using Status = std::optional<std::string>;

    static constexpr double kRingRadius = 14;
    static constexpr double kRingLineWidth = 6;
    static constexpr int kRingSamples = 72;

    ProgressHUD();
    explicit ProgressHUD(const cg::Rect& frame);
    ~ProgressHUD() override;

    static ProgressHUD& sharedView();

    // ---- Showing (progress −1: a spinner; 0…1: a ring filled that far) ----
    static void show();
    static void showWithStatus(Status status);
    static void showWithMaskType(ProgressHUDMaskType maskType);
    static void showWithStatus(Status status, ProgressHUDMaskType maskType);
    static void showProgress(double progress);
    static void showProgress(double progress, Status status);
    static void showProgress(double progress, Status status, ProgressHUDMaskType maskType);
    // A result that hides itself after displayDurationForString of the status plus one second.
    static void showSuccessWithStatus(Status status);
    static void showErrorWithStatus(Status status);
    static void showImage(std::shared_ptr<ui::Image> image, Status status);
    // Replaces the text without placing the panel anew.
    static void setStatus(Status status);

    // ---- Hiding ----
    // Balances one indeterminate show; the last one dismisses. Without a show to balance it does nothing.
    static void popActivity();
    static void dismiss();
    // The text changes at once; the overlay shown when the delay is over is dismissed then, whichever
    // show put it up, and the block runs.
    static void dismissWithStatus(Status status, double delay);
    static void dismissWithStatus(Status status, double delay, std::function<void()> endBlock);

    static bool isVisible();

    // ---- Style (the default unless set) ----
    std::shared_ptr<ui::Color> hudBackgroundColor() const;
    void setHudBackgroundColor(std::shared_ptr<ui::Color> color);
    std::shared_ptr<ui::Color> hudForegroundColor() const;
    void setHudForegroundColor(std::shared_ptr<ui::Color> color);
    std::shared_ptr<ui::Color> hudStatusShadowColor() const;
    void setHudStatusShadowColor(std::shared_ptr<ui::Color> color);
    std::shared_ptr<ui::Font> hudFont() const;
    void setHudFont(std::shared_ptr<ui::Font> font);

    // ---- State ----
    ProgressHUDMaskType maskType() const { return maskType_; }
    double progress() const { return progress_; }
    std::uint64_t activityCount() const { return activityCount_; }
    const std::shared_ptr<ns::Timer>& fadeOutTimer() const { return fadeOutTimer_; }
    // Storing a timer (or none) invalidates the one stored before.
    void setFadeOutTimer(std::shared_ptr<ns::Timer> timer);
    // The height of the keyboard on screen, 0 when none shows.
    double visibleKeyboardHeight() const;

    // The parts, each made on first use (after a dismissal the overlay button and the panel anew).
    const std::shared_ptr<ui::Button>& overlayView();
    const std::shared_ptr<ui::View>& hudView();
    const std::shared_ptr<ui::Label>& stringLabel();
    const std::shared_ptr<ui::ImageView>& imageView();
    const std::shared_ptr<ui::ActivityIndicatorView>& spinnerView();
    const std::shared_ptr<ui::ShapeLayer>& ringLayer();
    const std::shared_ptr<ui::ShapeLayer>& backgroundRingLayer();

    // ---- Operations behind the class functions ----
    void showImage(std::shared_ptr<ui::Image> image, Status status, double duration);
    // The fade after a result: one second's pause, then 0.15 s.
    void dismissSuccess();
    // Seconds a result stays: 0.06 per UTF-16 unit of the text, plus 0.3.
    double displayDurationForString(const Status& text) const;
    // Sizes the panel for the text and places its parts; see the layout notes in the source.
    void updatePosition();
    // Centres the panel in the part of the screen above the keyboard, with the keyboard's own animation
    // when a keyboard notification is given.
    void positionHUD(const ns::Notification* notification);
    void moveToPoint(cg::Point point, double angle);
    // `centre`, lowered where needed so that the panel's top stays on the screen.
    cg::Point keptOnScreen(cg::Point centre);
    void overlayViewDidReceiveTouchEvent();

    // The rings' geometry: a closed polyline of `sampleCount` points from the top, clockwise, in a box
    // of 2r × 2r (the centre does not move it).
    static cg::Path createCirclePathWithCenter(cg::Point center, double radius, int sampleCount);
    static cg::Point pointOnCircleWithCenter(cg::Point center, double radius, double angleInDegrees);
    static std::shared_ptr<ui::ShapeLayer> createRingLayerWithCenter(cg::Point center, double radius,
                                                                     double lineWidth, const cg::Color& color);
    void cancelRingLayerAnimation();

    void drawRect(const cg::Rect& rect) override;

private:
    void showProgressStatusMaskType(float progress, Status status, ProgressHUDMaskType maskType);
    void setStatusText(Status status);
    // Both dismissals: the fade after `delay`, the panel scaled by `scale` while it fades.
    void fadeOut(double delay, double scale);
    void registerNotifications();
    void makeAccessibilityElement(const Status& status);
    std::shared_ptr<ui::Window> normalLevelWindow() const;

    std::shared_ptr<ui::Button> overlayView_;
    std::shared_ptr<ui::View> hudView_;
    ProgressHUDMaskType maskType_ = ProgressHUDMaskTypeNone;
    std::shared_ptr<ns::Timer> fadeOutTimer_;
    std::shared_ptr<ui::Label> stringLabel_;
    std::shared_ptr<ui::ImageView> imageView_;
    std::shared_ptr<ui::ActivityIndicatorView> spinnerView_;
    std::shared_ptr<ui::Color> hudBgColor_;
    std::shared_ptr<ui::Color> hudFgColor_;
    std::shared_ptr<ui::Color> hudStatusShColor_;
    std::shared_ptr<ui::Font> hudFont_;
    double progress_ = -1;
    std::uint64_t activityCount_ = 0;
    std::shared_ptr<ui::ShapeLayer> backgroundRingLayer_;
    std::shared_ptr<ui::ShapeLayer> ringLayer_;
};

}  // namespace ql
