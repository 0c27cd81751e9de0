#include "platform/ui/Animation.h"

#include <cmath>

namespace ql::ui {

double Animation::activeDuration() const {
    const double one = (duration_ > 0 ? duration_ : kDefaultDuration) * (autoreverses_ ? 2 : 1);
    if (std::isinf(repeatCount_)) return std::numeric_limits<double>::infinity();
    return repeatCount_ > 0 ? one * repeatCount_ : one;
}

std::shared_ptr<ns::Object> Animation::copy() const {
    auto c = std::make_shared<Animation>(keyPath_);
    c->fromValue_ = fromValue_;
    c->toValue_ = toValue_;
    c->duration_ = duration_;
    c->beginTime_ = beginTime_;
    c->timing_ = timing_;
    c->repeatCount_ = repeatCount_;
    c->autoreverses_ = autoreverses_;
    c->removedOnCompletion_ = removedOnCompletion_;
    c->spring_ = spring_;
    c->damping_ = damping_;
    c->initialVelocity_ = initialVelocity_;
    c->options_ = options_;
    c->delegate_ = delegate_;
    return c;
}

void Animation::start() {
    running_ = true;
    if (delegate_) delegate_->animationDidStart(*this);
}

void Animation::stop(bool finished) {
    if (stopped_) return;
    stopped_ = true;
    running_ = false;
    // Handlers may release the last reference to this animation.
    auto keep = std::static_pointer_cast<Animation>(shared_from_this());
    auto handlers = std::move(stopHandlers_);
    if (delegate_) delegate_->animationDidStop(*this, finished);
    for (auto& handler : handlers) handler(finished);
}

}  // namespace ql::ui
