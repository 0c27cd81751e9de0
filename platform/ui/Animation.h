#pragma once
// ui::Animation: how a change of one layer property is shown. Model values change at once here; an
// animation records the showing (key path, values, duration, timing, spring) and stays on its layer
// until its time on ns::Clock is over, when its delegate and the view animation that made it hear of
// the end. An animation removed or replaced before then ends unfinished.

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ui {

class Animation;

// The platform's named timing functions.
enum class TimingFunction { Default, Linear, EaseIn, EaseOut, EaseInEaseOut };

class AnimationDelegate {
public:
    virtual ~AnimationDelegate() = default;
    virtual void animationDidStart(Animation&) {}
    virtual void animationDidStop(Animation&, bool /*finished*/) {}
};

class Animation : public ns::Object {
    QL_OBJECT_NAMED(Animation, ns::Object, "CABasicAnimation")
public:
    // The duration an animation added with none gets.
    static constexpr double kDefaultDuration = 0.25;
    static constexpr float kRepeatForever = std::numeric_limits<float>::infinity();

    Animation() = default;
    explicit Animation(std::string keyPath) : keyPath_(std::move(keyPath)) {}
    static std::shared_ptr<Animation> animationWithKeyPath(std::string keyPath) {
        return std::make_shared<Animation>(std::move(keyPath));
    }

    const std::string& keyPath() const { return keyPath_; }
    void setKeyPath(std::string keyPath) { keyPath_ = std::move(keyPath); }
    const ns::Value& fromValue() const { return fromValue_; }
    void setFromValue(ns::Value value) { fromValue_ = std::move(value); }
    const ns::Value& toValue() const { return toValue_; }
    void setToValue(ns::Value value) { toValue_ = std::move(value); }

    double duration() const { return duration_; }
    void setDuration(double seconds) { duration_ = seconds; }
    // Clock time at which the animation starts; 0 until it is added, when it becomes "now" unless set.
    double beginTime() const { return beginTime_; }
    void setBeginTime(double time) { beginTime_ = time; }
    TimingFunction timingFunction() const { return timing_; }
    void setTimingFunction(TimingFunction timing) { timing_ = timing; }
    float repeatCount() const { return repeatCount_; }
    void setRepeatCount(float count) { repeatCount_ = count; }
    bool autoreverses() const { return autoreverses_; }
    void setAutoreverses(bool autoreverses) { autoreverses_ = autoreverses; }
    bool isRemovedOnCompletion() const { return removedOnCompletion_; }
    void setRemovedOnCompletion(bool removed) { removedOnCompletion_ = removed; }

    // Spring animations (view springs) keep their parameters.
    bool isSpring() const { return spring_; }
    double damping() const { return damping_; }
    double initialVelocity() const { return initialVelocity_; }
    void setSpring(double dampingRatio, double initialVelocity) {
        spring_ = true;
        damping_ = dampingRatio;
        initialVelocity_ = initialVelocity;
    }

    // The option bits of the view animation that made it (0 for one added directly).
    unsigned options() const { return options_; }
    void setOptions(unsigned options) { options_ = options; }

    std::shared_ptr<AnimationDelegate> delegate() const { return delegate_; }
    // The delegate is held strongly, as the platform holds an animation's delegate.
    void setDelegate(std::shared_ptr<AnimationDelegate> delegate) { delegate_ = std::move(delegate); }

    // Seconds from beginTime to the end; infinite for endless repeats.
    double activeDuration() const;
    bool isRunning() const { return running_; }

    std::shared_ptr<ns::Object> copy() const override;

private:
    friend class Layer;
    friend class ViewAnimationGroup;
    // Called by the layer: the animation starts now, or ends (finished or cut short).
    void start();
    void stop(bool finished);
    void whenStopped(std::function<void(bool finished)> handler) { stopHandlers_.push_back(std::move(handler)); }

    std::string keyPath_;
    ns::Value fromValue_;
    ns::Value toValue_;
    double duration_ = 0;
    double beginTime_ = 0;
    TimingFunction timing_ = TimingFunction::Default;
    float repeatCount_ = 0;
    bool autoreverses_ = false;
    bool removedOnCompletion_ = true;
    bool spring_ = false;
    double damping_ = 0;
    double initialVelocity_ = 0;
    unsigned options_ = 0;
    std::shared_ptr<AnimationDelegate> delegate_;
    bool running_ = false;
    bool stopped_ = false;
    std::vector<std::function<void(bool)>> stopHandlers_;
};

}  // namespace ql::ui
