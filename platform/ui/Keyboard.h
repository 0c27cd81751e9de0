#pragma once
// ui::Keyboard: the on-screen keyboard. It follows the first responder: when one that takes typed text
// (or brings an input view) becomes first responder the keyboard slides up with its input accessory
// view on top, announced with "UIKeyboardWillShowNotification" at once and
// "UIKeyboardDidShowNotification" when its animation is over on ns::Clock; when no such responder is
// left it slides down with the will-hide and did-hide notifications. It lives in a window of its own
// above the app's, whose host view the platform calls "UIPeripheralHostView".

#include <memory>
#include <string_view>

#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"

namespace ql::ns {
class Timer;
}

namespace ql::ui {

class Responder;
class View;
class Window;

inline constexpr std::string_view KeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr std::string_view KeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr std::string_view KeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr std::string_view KeyboardDidHideNotification = "UIKeyboardDidHideNotification";
inline constexpr std::string_view KeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr std::string_view KeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline constexpr std::string_view KeyboardAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey";
inline constexpr std::string_view KeyboardAnimationCurveUserInfoKey = "UIKeyboardAnimationCurveUserInfoKey";
inline constexpr std::string_view KeyboardIsLocalUserInfoKey = "UIKeyboardIsLocalUserInfoKey";
inline constexpr std::string_view KeyboardCenterBeginUserInfoKey = "UIKeyboardCenterBeginUserInfoKey";
inline constexpr std::string_view KeyboardCenterEndUserInfoKey = "UIKeyboardCenterEndUserInfoKey";
inline constexpr std::string_view KeyboardBoundsUserInfoKey = "UIKeyboardBoundsUserInfoKey";

class Keyboard {
public:
    // The keyboard's slide and its curve (the platform's private curve number 7).
    static constexpr double kAnimationDuration = 0.25;
    static constexpr int kAnimationCurve = 7;

    static Keyboard& shared();

    bool isVisible() const { return visible_; }
    // In screen coordinates; the input accessory view included. Zero while hidden.
    cg::Rect frame() const { return visible_ ? frame_ : cg::Rect::zero(); }
    double visibleHeight() const { return visible_ ? frame_.size.height : 0; }
    // The height of the keys alone for the device's kind and the screen as it is oriented now.
    static double standardHeight();
    // The keyboard's window (created on first use; hidden while the keyboard is).
    std::shared_ptr<Window> window();

    // Called by windows when their first responder has settled, and by reloadInputViews.
    void firstResponderChanged(Responder* before, Responder* now);
    void reload(Responder& responder);

private:
    Keyboard() = default;
    static bool wantsKeyboard(const Responder* responder);
    void show(Responder& responder);
    void hide();
    ns::Dictionary userInfo(const cg::Rect& begin, const cg::Rect& end) const;

    bool visible_ = false;
    cg::Rect frame_;
    std::shared_ptr<Window> window_;
    std::shared_ptr<View> host_;
    std::shared_ptr<View> accessory_;
    std::shared_ptr<View> inputView_;
    std::shared_ptr<ns::Timer> pending_;
};

}  // namespace ql::ui
