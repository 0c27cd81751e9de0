#include "platform/ui/Touch.h"

#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace ql::ui {

Touch::Touch(const std::shared_ptr<Window>& window, cg::Point locationInWindow, double timestamp, int tapCount)
    : window_(window), location_(locationInWindow), previous_(locationInWindow), timestamp_(timestamp),
      tapCount_(tapCount) {}

void Touch::moveTo(cg::Point locationInWindow, double timestamp) {
    previous_ = location_;
    location_ = locationInWindow;
    timestamp_ = timestamp;
    phase_ = TouchPhase::Moved;
}

void Touch::hold() {
    previous_ = location_;
    phase_ = TouchPhase::Stationary;
}

void Touch::lift(double timestamp) {
    previous_ = location_;
    timestamp_ = timestamp;
    phase_ = TouchPhase::Ended;
}

void Touch::cancel(double timestamp) {
    previous_ = location_;
    timestamp_ = timestamp;
    phase_ = TouchPhase::Cancelled;
}

Window* Touch::window() const { return window_.lock().get(); }

View* Touch::view() const { return view_.lock().get(); }

cg::Point Touch::convert(cg::Point inWindow, const View* view) const {
    auto window = window_.lock();
    if (!view || !window || view == window.get()) return inWindow;
    return view->convertPointFromView(inWindow, window.get());
}

cg::Point Touch::locationInView(const View* view) const { return convert(location_, view); }

cg::Point Touch::previousLocationInView(const View* view) const { return convert(previous_, view); }

}  // namespace ql::ui
