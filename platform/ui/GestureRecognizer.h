#pragma once
// ui::GestureRecognizer: watches the touches of its view (and of the view's subviews) before the views
// get them, decides whether they form its gesture and then sends its action messages. States, delegate,
// failure requirements, cancelling of the view's touches and the observable "state" follow the
// platform; the concrete gestures are the subclasses.

#include <memory>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Selector.h"

namespace ql::ui {

class GestureRecognizer;
class Touch;
class View;

enum class GestureRecognizerState { Possible = 0, Began = 1, Changed = 2, Ended = 3, Cancelled = 4, Failed = 5 };
// Discrete gestures end in the recognised state, which is the ended state.
inline constexpr GestureRecognizerState GestureRecognizerStateRecognized = GestureRecognizerState::Ended;

// Every member is optional: the defaults are the platform's answers when a delegate does not answer.
class GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(GestureRecognizer&) { return true; }
    virtual bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(GestureRecognizer&,
                                                                                      GestureRecognizer&) {
        return false;
    }
    virtual bool gestureRecognizerShouldReceiveTouch(GestureRecognizer&, Touch&) { return true; }
};

class GestureRecognizer : public ns::Object {
    QL_OBJECT_NAMED(GestureRecognizer, ns::Object, "UIGestureRecognizer")
public:
    GestureRecognizer() = default;
    GestureRecognizer(std::weak_ptr<ns::Object> target, Action action);
    ~GestureRecognizer() override;

    // Targets are held weakly; a message to a target that is gone is not sent.
    void addTarget(std::weak_ptr<ns::Object> target, Action action);
    // A null target removes the action from every target; an empty action removes every action.
    void removeTarget(const ns::Object* target, const Action& action = {});

    GestureRecognizerState state() const { return state_; }
    View* view() const { return view_; }

    // Disabling an active recogniser cancels (continuous) or fails (discrete) it.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool cancels) { cancelsTouchesInView_ = cancels; }
    bool delaysTouchesBegan() const { return delaysTouchesBegan_; }
    void setDelaysTouchesBegan(bool delays) { delaysTouchesBegan_ = delays; }
    bool delaysTouchesEnded() const { return delaysTouchesEnded_; }
    void setDelaysTouchesEnded(bool delays) { delaysTouchesEnded_ = delays; }

    std::shared_ptr<GestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<GestureRecognizerDelegate> delegate) { delegate_ = std::move(delegate); }

    // This recogniser recognises only once `other` has failed.
    void requireGestureRecognizerToFail(const std::shared_ptr<GestureRecognizer>& other);

    // The centroid of the tracked touches (the last one known after they ended); null is the window.
    virtual cg::Point locationInView(const View* view) const;
    std::size_t numberOfTouches() const;
    cg::Point locationOfTouch(std::size_t index, const View* view) const;

    // "state" and "enabled" are observable.
    ns::Value valueForKey(std::string_view key) const override;

    // ---- For the gestures ----
    // Moves the state machine; from Possible to Began or Recognized the move may be refused (delegate,
    // the touched view, another recogniser, a failure requirement), leaving the recogniser Failed or
    // waiting.
    void setState(GestureRecognizerState state);
    virtual void reset();
    virtual void touchesBegan(const TouchSet& touches, Event& event);
    virtual void touchesMoved(const TouchSet& touches, Event& event);
    virtual void touchesEnded(const TouchSet& touches, Event& event);
    virtual void touchesCancelled(const TouchSet& touches, Event& event);
    // Stops tracking a touch: the recogniser sees nothing more of it.
    void ignoreTouch(const std::shared_ptr<Touch>& touch);
    virtual bool canPreventGestureRecognizer(const GestureRecognizer&) const { return true; }
    virtual bool canBePreventedByGestureRecognizer(const GestureRecognizer&) const { return true; }
    // Discrete gestures go Possible → Recognized; continuous ones Began → Changed → Ended.
    virtual bool isDiscrete() const { return true; }
    // True while the gesture still expects touches after the current ones ended (taps to come).
    virtual bool awaitsFurtherTouches() const { return false; }

protected:
    const std::vector<std::shared_ptr<Touch>>& trackedTouches() const { return touches_; }

private:
    friend class View;
    friend class GestureCoordinator;

    struct Target {
        std::weak_ptr<ns::Object> object;
        Action action;
    };

    void setView(View* view);
    void sendActions();
    // Applies a state without the checks (the coordinator has made them).
    void applyState(GestureRecognizerState state);

    std::vector<Target> targets_;
    View* view_ = nullptr;
    GestureRecognizerState state_ = GestureRecognizerState::Possible;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
    bool delaysTouchesBegan_ = false;
    bool delaysTouchesEnded_ = true;
    std::weak_ptr<GestureRecognizerDelegate> delegate_;
    std::vector<std::weak_ptr<GestureRecognizer>> requiredToFail_;
    std::vector<std::shared_ptr<Touch>> touches_;
    cg::Point lastLocation_;  // window coordinates
    // A move to Began/Recognized held back until the recognisers it must wait for have failed.
    bool waiting_ = false;
    GestureRecognizerState waitingFor_ = GestureRecognizerState::Possible;
};

}  // namespace ql::ui
