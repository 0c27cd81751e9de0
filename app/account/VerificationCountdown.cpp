#include "app/account/VerificationCountdown.h"

#include <string>

#include "platform/foundation/Timer.h"
#include "platform/ui/Button.h"

namespace ql {

VerificationCountdown::~VerificationCountdown() {
    if (timer_) timer_->invalidate();
}

void VerificationCountdown::start(const std::shared_ptr<ui::Button>& button) {
    if (timer_) timer_->invalidate();
    button_ = button;
    verTimeLimit_ = kSeconds;
    // The timer dies with this object (the destructor invalidates it), so the raw pointer stays good.
    timer_ = ns::Timer::scheduledTimer(1.0, true, [this](ns::Timer&) { verUpdate(); });
}

void VerificationCountdown::verUpdate() {
    auto button = button_.lock();
    if (verTimeLimit_ != 0) {
        if (button) {
            button->setEnabled(false);
            button->setTitle("(" + std::to_string(verTimeLimit_) + ")秒", ui::ControlStateNormal);
        }
        --verTimeLimit_;
        return;
    }
    finish();
}

void VerificationCountdown::stop() {
    if (timer_) finish();
}

void VerificationCountdown::finish() {
    if (timer_) {
        timer_->invalidate();
        timer_ = nullptr;
    }
    if (auto button = button_.lock()) allowRetry(*button);
}

void VerificationCountdown::allowRetry(ui::Button& button) {
    button.setEnabled(true);
    button.setTitle(std::string(RetryCodeTitle), ui::ControlStateNormal);
}

}  // namespace ql
