#pragma once
// Toast: a short text in a small rounded dark box on top of everything in the key window for a while.
// The box fades in, stays, fades out, and leaves early when tapped or when the device turns. Each call
// makes a new toast that keeps itself alive until its box is gone; callers keep no reference. A toast
// shown in the centre replaces the one centred before it; toasts at an offset share the screen.
// Main thread only.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/View.h"

namespace ql::ns {
class Notification;
}

namespace ql::ui {
class Button;
}

namespace ql {

class Toast : public ui::View {
    QL_OBJECT(Toast, ui::View)
public:
    static constexpr double kDefaultDuration = 1.5;
    static constexpr double kFadeDuration = 0.3;
    // The tag of a box shown in the centre.
    static constexpr std::int64_t kCentredTag = 4008;

    static void showWithText(std::string text);
    static void showWithTextDuration(std::string text, double seconds);
    // The box's top `top` points below the window's top.
    static void showWithTextTopOffset(std::string text, double top);
    static void showWithTextTopOffsetDuration(std::string text, double top, double seconds);
    // The box's bottom `bottom` points above the window's bottom.
    static void showWithTextBottomOffset(std::string text, double bottom);
    static void showWithTextBottomOffsetDuration(std::string text, double bottom, double seconds);
    // The plainer box: tighter, square corners and no border.
    static void showWithNumText(std::string text);

    // A toast not shown yet, its box at alpha 0 and the text wrapped within 280 points.
    static std::shared_ptr<Toast> initWithText(std::string text);
    static std::shared_ptr<Toast> initWithNumText(std::string text);
    ~Toast() override;

    const std::string& text() const { return text_; }
    const std::shared_ptr<ui::Button>& contentView() const { return contentView_; }
    // Seconds from the start of the fade-in to the start of the fade-out.
    double duration() const { return duration_; }
    void setDuration(double seconds) { duration_ = seconds; }

    void show();
    void showFromTopOffset(double top);
    void showFromBottomOffset(double bottom);
    void showAnimation();
    void hideAnimation();
    void dismissToast();
    void toastTaped(ns::Object* sender);
    void deviceOrientationDidChanged(const ns::Notification& notification);

    // Made through initWithText and initWithNumText only.
    enum class Style { Text, Num };
    Toast(std::string text, Style style);

private:
    static std::shared_ptr<Toast> make(std::string text, Style style);
    void present(cg::Point centre);

    std::string text_;
    std::shared_ptr<ui::Button> contentView_;
    double duration_ = kDefaultDuration;
};

}  // namespace ql
