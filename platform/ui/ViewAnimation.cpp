// View animations: blocks and the older begin/commit form. Changes of animatable properties made while a
// block is being recorded become ui::Animation records on the layers; the model values are already set.
// A group's completion (or did-stop message) runs when all its animations have ended on ns::Clock, with
// "finished" false when any was cut short; a group that animated nothing completes on the next turn.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/View.h"

namespace ql::ui {

class ViewAnimationGroup : public std::enable_shared_from_this<ViewAnimationGroup> {
public:
    double duration = 0.2;
    double delay = 0;
    unsigned options = 0;
    ViewAnimationCurve curve = ViewAnimationCurve::EaseInOut;
    float repeatCount = 0;
    bool autoreverses = false;
    bool spring = false;
    double damping = 0;
    double velocity = 0;
    // Recording is off inside performWithoutAnimation and for transitions without animated content.
    bool recording = true;
    std::string animationID;
    void* context = nullptr;
    std::weak_ptr<ns::Object> delegate;
    Selector<const std::string&, void*> willStart;
    Selector<const std::string&, bool, void*> didStop;
    View::Completion completion;
    std::vector<std::pair<std::weak_ptr<Layer>, std::string>> changes;
    std::vector<std::weak_ptr<View>> changedViews;

    void note(View& view, const char* keyPath);
    void commit();

private:
    void stopped(bool finished);
    void finish(bool finished);
    void started();

    int live_ = 0;
    bool allFinished_ = true;
};

namespace {

std::vector<std::shared_ptr<ViewAnimationGroup>>& stack() {
    static auto* groups = new std::vector<std::shared_ptr<ViewAnimationGroup>>;
    return *groups;
}

bool animationsEnabled = true;

TimingFunction timingOf(ViewAnimationCurve curve) {
    switch (curve) {
        case ViewAnimationCurve::EaseIn: return TimingFunction::EaseIn;
        case ViewAnimationCurve::EaseOut: return TimingFunction::EaseOut;
        case ViewAnimationCurve::Linear: return TimingFunction::Linear;
        case ViewAnimationCurve::EaseInOut: break;
    }
    return TimingFunction::EaseInEaseOut;
}

ViewAnimationCurve curveOfOptions(unsigned options) {
    const unsigned curve = animationCurveOfOptions(options);
    return curve <= 3 ? static_cast<ViewAnimationCurve>(curve) : ViewAnimationCurve::EaseInOut;
}

void afterDelay(double seconds, std::function<void()> block) {
    auto timer = ns::Timer::timer(seconds, false, [block = std::move(block)](ns::Timer&) { block(); });
    ns::RunLoop::main()->addTimer(timer, ns::RunLoopCommonModes);
}

std::shared_ptr<ViewAnimationGroup> makeGroup(double duration, double delay, unsigned options,
                                              View::Completion completion) {
    auto group = std::make_shared<ViewAnimationGroup>();
    group->duration = duration;
    group->delay = delay;
    group->options = options;
    group->curve = curveOfOptions(options);
    if (options & ViewAnimationOptionRepeat) group->repeatCount = Animation::kRepeatForever;
    group->autoreverses = (options & ViewAnimationOptionAutoreverse) != 0;
    group->completion = std::move(completion);
    return group;
}

// The group is recorded into while the caller's block runs, and closed however the block ends: a block
// left open would record every later change of every view into a group that never commits.
class Recording {
public:
    explicit Recording(std::shared_ptr<ViewAnimationGroup> group) { stack().push_back(std::move(group)); }
    ~Recording() { stack().pop_back(); }
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;
};

void record(const std::shared_ptr<ViewAnimationGroup>& group, const std::function<void()>& animations) {
    assertMainThread();
    Recording recording(group);
    if (animations) animations();
    if (group->options & ViewAnimationOptionLayoutSubviews) {
        for (const auto& weak : std::vector<std::weak_ptr<View>>(group->changedViews)) {
            if (auto view = weak.lock()) view->layoutIfNeeded();
        }
    }
}

}  // namespace

void ViewAnimationGroup::note(View& view, const char* keyPath) {
    if (!recording || !animationsEnabled) return;
    // A view still being made (no one owns it yet) is on no screen: it has nothing to show moving.
    auto owned = std::static_pointer_cast<View>(view.weak_from_this().lock());
    if (!owned) return;
    const auto& layer = view.layer();
    for (const auto& [l, key] : changes) {
        if (l.lock() == layer && key == keyPath) return;
    }
    changes.emplace_back(layer, keyPath);
    changedViews.push_back(owned);
}

void ViewAnimationGroup::commit() {
    auto self = shared_from_this();
    if (changes.empty() || duration <= 0) {
        // Nothing is shown moving: the group ends on the next turn (after its delay, for a timed one).
        auto done = [self] {
            self->started();
            self->finish(true);
        };
        if (!changes.empty() && delay > 0) afterDelay(delay, done);
        else ns::RunLoop::main()->performBlock(done);
        return;
    }
    const double begin = ns::Clock::now() + delay;
    for (const auto& [weakLayer, key] : changes) {
        auto layer = weakLayer.lock();
        if (!layer) continue;
        auto animation = Animation::animationWithKeyPath(key);
        animation->setDuration(duration);
        animation->setBeginTime(begin);
        animation->setTimingFunction(timingOf(curve));
        animation->setRepeatCount(repeatCount);
        animation->setAutoreverses(autoreverses);
        animation->setOptions(options);
        if (spring) animation->setSpring(damping, velocity);
        ++live_;
        animation->whenStopped([self](bool finished) { self->stopped(finished); });
        layer->addAnimation(animation, key);
    }
    if (live_ == 0) {
        ns::RunLoop::main()->performBlock([self] { self->finish(true); });
        return;
    }
    if (willStart) {
        if (delay > 0) afterDelay(delay, [self] { self->started(); });
        else ns::RunLoop::main()->performBlock([self] { self->started(); });
    }
}

void ViewAnimationGroup::started() {
    if (!willStart) return;
    auto target = delegate.lock();
    willStart.send(target.get(), animationID, context);
    willStart = {};
}

void ViewAnimationGroup::stopped(bool finished) {
    allFinished_ = allFinished_ && finished;
    if (--live_ == 0) finish(allFinished_);
}

void ViewAnimationGroup::finish(bool finished) {
    auto self = shared_from_this();
    if (completion) {
        auto block = std::move(completion);
        completion = nullptr;
        block(finished);
    }
    if (didStop) {
        auto target = delegate.lock();
        didStop.send(target.get(), animationID, finished, context);
        didStop = {};
    }
}

// ---- View ----

void View::noteAnimatedChange(const char* keyPath) {
    if (stack().empty()) return;
    stack().back()->note(*this, keyPath);
}

void View::animate(double duration, std::function<void()> animations, Completion completion) {
    animate(duration, 0, 0, std::move(animations), std::move(completion));
}

void View::animate(double duration, double delay, unsigned options, std::function<void()> animations,
                   Completion completion) {
    auto group = makeGroup(duration, delay, options, std::move(completion));
    record(group, animations);
    group->commit();
}

void View::animateWithSpring(double duration, double delay, double dampingRatio, double velocity, unsigned options,
                             std::function<void()> animations, Completion completion) {
    auto group = makeGroup(duration, delay, options, std::move(completion));
    group->spring = true;
    group->damping = dampingRatio;
    group->velocity = velocity;
    record(group, animations);
    group->commit();
}

void View::transitionWithView(const std::shared_ptr<View>& view, double duration, unsigned options,
                              std::function<void()> animations, Completion completion) {
    // The content changes under one transition of the view; property changes are animated only when the
    // options ask for animated content.
    auto content = makeGroup(duration, 0, options, nullptr);
    content->recording = (options & ViewAnimationOptionAllowAnimatedContent) != 0;
    record(content, animations);
    if (content->recording && !content->changes.empty()) content->commit();
    auto transition = makeGroup(duration, 0, options, std::move(completion));
    if (view) transition->changes.emplace_back(view->layer(), "transition");
    transition->commit();
}

void View::transitionFromView(const std::shared_ptr<View>& from, const std::shared_ptr<View>& to, double duration,
                              unsigned options, Completion completion) {
    if (!from || !to) return;
    View* parent = from->superview();
    if (options & ViewAnimationOptionShowHideTransitionViews) {
        from->setHidden(true);
        to->setHidden(false);
    } else if (parent) {
        parent->insertSubviewAbove(to, from.get());
        from->removeFromSuperview();
    }
    auto transition = makeGroup(duration, 0, options, std::move(completion));
    if (parent) transition->changes.emplace_back(parent->layer(), "transition");
    transition->commit();
}

void View::performWithoutAnimation(const std::function<void()>& actions) {
    auto group = std::make_shared<ViewAnimationGroup>();
    group->recording = false;
    record(group, actions);
}

void View::setAnimationsEnabled(bool enabled) { animationsEnabled = enabled; }

bool View::areAnimationsEnabled() { return animationsEnabled; }

void View::beginAnimations(std::string animationID, void* context) {
    assertMainThread();
    auto group = std::make_shared<ViewAnimationGroup>();
    group->animationID = std::move(animationID);
    group->context = context;
    stack().push_back(group);
}

void View::commitAnimations() {
    if (stack().empty()) return;
    auto group = stack().back();
    stack().pop_back();
    group->commit();
}

void View::setAnimationDuration(double duration) {
    if (!stack().empty()) stack().back()->duration = duration;
}

void View::setAnimationDelay(double delay) {
    if (!stack().empty()) stack().back()->delay = delay;
}

void View::setAnimationCurve(ViewAnimationCurve curve) {
    if (stack().empty()) return;
    auto& group = *stack().back();
    group.curve = curve;
    group.options = (group.options & ~(0xFu << 16)) | (static_cast<unsigned>(curve) << 16);
}

void View::setAnimationRepeatCount(float count) {
    if (!stack().empty()) stack().back()->repeatCount = count;
}

void View::setAnimationRepeatAutoreverses(bool autoreverses) {
    if (!stack().empty()) stack().back()->autoreverses = autoreverses;
}

void View::setAnimationBeginsFromCurrentState(bool fromCurrentState) {
    if (stack().empty()) return;
    auto& options = stack().back()->options;
    options = fromCurrentState ? (options | ViewAnimationOptionBeginFromCurrentState)
                               : (options & ~static_cast<unsigned>(ViewAnimationOptionBeginFromCurrentState));
}

void View::setAnimationDelegate(std::weak_ptr<ns::Object> delegate) {
    if (!stack().empty()) stack().back()->delegate = std::move(delegate);
}

void View::setAnimationWillStartSelector(Selector<const std::string&, void*> selector) {
    if (!stack().empty()) stack().back()->willStart = std::move(selector);
}

void View::setAnimationDidStopSelector(Selector<const std::string&, bool, void*> selector) {
    if (!stack().empty()) stack().back()->didStop = std::move(selector);
}

}  // namespace ql::ui
