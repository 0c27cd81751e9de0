#include "platform/ui/Keyboard.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/Color.h"
#include "platform/ui/Device.h"
#include "platform/ui/GeometryValue.h"
#include "platform/ui/KeyInput.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ql::ui {

namespace {

// The keyboard's own window: above the app's windows, never key, and touchable only where the keyboard is.
class KeyboardWindow final : public Window {
    QL_OBJECT_NAMED(KeyboardWindow, Window, "UITextEffectsWindow")
public:
    KeyboardWindow() : Window(Screen::mainScreen().bounds()) { setWindowLevel(1); }

    View* hitTest(cg::Point point, Event* event) override {
        View* hit = Window::hitTest(point, event);
        return hit == this ? nullptr : hit;
    }
};

// Holds the keys and, above them, the input accessory view.
class PeripheralHostView final : public View {
    QL_OBJECT_NAMED(PeripheralHostView, View, "UIPeripheralHostView")
public:
    PeripheralHostView() { setBackgroundColor(Color::colorWithRed(0.82, 0.84, 0.86, 1)); }
};

}  // namespace

Keyboard& Keyboard::shared() {
    static Keyboard* keyboard = new Keyboard;
    return *keyboard;
}

double Keyboard::standardHeight() {
    const cg::Size screen = Screen::mainScreen().bounds().size;
    const bool landscape = screen.width > screen.height;
    if (Device::currentDevice().userInterfaceIdiom() == UserInterfaceIdiom::Pad) return landscape ? 352 : 264;
    if (landscape) return 162;
    return screen.width >= 414 ? 226 : 216;
}

std::shared_ptr<Window> Keyboard::window() {
    if (!window_) {
        window_ = std::make_shared<KeyboardWindow>();
        host_ = std::make_shared<PeripheralHostView>();
        window_->addSubview(host_);
    }
    return window_;
}

bool Keyboard::wantsKeyboard(const Responder* responder) {
    return responder && (dynamic_cast<const KeyInput*>(responder) || responder->inputView());
}

void Keyboard::firstResponderChanged(Responder*, Responder* now) {
    if (wantsKeyboard(now)) {
        show(*now);
    } else if (visible_) {
        hide();
    }
}

void Keyboard::reload(Responder& responder) {
    if (wantsKeyboard(&responder)) show(responder);
}

ns::Dictionary Keyboard::userInfo(const cg::Rect& begin, const cg::Rect& end) const {
    return {
        {std::string(KeyboardFrameBeginUserInfoKey), GeometryValue::valueWithCGRect(begin)},
        {std::string(KeyboardFrameEndUserInfoKey), GeometryValue::valueWithCGRect(end)},
        {std::string(KeyboardAnimationDurationUserInfoKey), kAnimationDuration},
        {std::string(KeyboardAnimationCurveUserInfoKey), static_cast<std::int64_t>(kAnimationCurve)},
        {std::string(KeyboardIsLocalUserInfoKey), true},
        {std::string(KeyboardCenterBeginUserInfoKey), GeometryValue::valueWithCGPoint({cg::midX(begin), cg::midY(begin)})},
        {std::string(KeyboardCenterEndUserInfoKey), GeometryValue::valueWithCGPoint({cg::midX(end), cg::midY(end)})},
        {std::string(KeyboardBoundsUserInfoKey), GeometryValue::valueWithCGRect({{0, 0}, end.size})},
    };
}

void Keyboard::show(Responder& responder) {
    auto window = this->window();
    const cg::Rect screen = Screen::mainScreen().bounds();
    auto input = responder.inputView();
    auto accessory = responder.inputAccessoryView();
    const double keys = input && input->frame().size.height > 0 ? input->frame().size.height : standardHeight();
    const double bar = accessory ? accessory->frame().size.height : 0;
    const double total = keys + bar;
    const cg::Rect end{0, screen.size.height - total, screen.size.width, total};
    const cg::Rect begin = visible_ ? frame_ : cg::Rect{0, screen.size.height, screen.size.width, total};

    window->setFrame(screen);
    host_->setFrame(end);
    if (accessory_ != accessory) {
        if (accessory_ && accessory_->superview() == host_.get()) accessory_->removeFromSuperview();
        accessory_ = accessory;
        if (accessory_) host_->addSubview(accessory_);
    }
    if (accessory_) accessory_->setFrame({0, 0, screen.size.width, bar});
    if (inputView_ != input) {
        if (inputView_ && inputView_->superview() == host_.get()) inputView_->removeFromSuperview();
        inputView_ = input;
        if (inputView_) host_->addSubview(inputView_);
    }
    if (inputView_) inputView_->setFrame({0, bar, screen.size.width, keys});

    visible_ = true;
    frame_ = end;
    window->setHidden(false);
    const ns::Dictionary info = userInfo(begin, end);
    ns::NotificationCenter::defaultCenter().post(KeyboardWillShowNotification, nullptr, info);
    if (pending_) pending_->invalidate();
    pending_ = ns::Timer::timer(kAnimationDuration, false, [this, info, end](ns::Timer&) {
        if (visible_ && frame_ == end) ns::NotificationCenter::defaultCenter().post(KeyboardDidShowNotification, nullptr, info);
    });
    ns::RunLoop::main()->addTimer(pending_, ns::RunLoopCommonModes);
}

void Keyboard::hide() {
    const cg::Rect screen = Screen::mainScreen().bounds();
    const cg::Rect begin = frame_;
    const cg::Rect end{0, screen.size.height, screen.size.width, frame_.size.height};
    visible_ = false;
    if (accessory_ && accessory_->superview() == host_.get()) accessory_->removeFromSuperview();
    if (inputView_ && inputView_->superview() == host_.get()) inputView_->removeFromSuperview();
    accessory_.reset();
    inputView_.reset();
    host_->setFrame(end);
    const ns::Dictionary info = userInfo(begin, end);
    ns::NotificationCenter::defaultCenter().post(KeyboardWillHideNotification, nullptr, info);
    if (pending_) pending_->invalidate();
    pending_ = ns::Timer::timer(kAnimationDuration, false, [this, info](ns::Timer&) {
        if (visible_) return;
        window_->setHidden(true);
        ns::NotificationCenter::defaultCenter().post(KeyboardDidHideNotification, nullptr, info);
    });
    ns::RunLoop::main()->addTimer(pending_, ns::RunLoopCommonModes);
}

}  // namespace ql::ui
