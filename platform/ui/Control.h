#pragma once
// ui::Control: a view that turns touches into action messages: targets and actions registered per control
// event (touch down, drag inside/outside, up inside/outside, cancel, value changed, editing), the
// enabled, selected and highlighted states, and the tracking of one touch. A disabled control swallows
// touches without acting.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ui/Selector.h"
#include "platform/ui/View.h"

namespace ql::ui {

class Touch;

enum ControlState : unsigned {
    ControlStateNormal = 0,
    ControlStateHighlighted = 1u << 0,
    ControlStateDisabled = 1u << 1,
    ControlStateSelected = 1u << 2,
    ControlStateFocused = 1u << 3,
    ControlStateApplication = 0x00FF0000,
    ControlStateReserved = 0xFF000000,
};

enum ControlEvents : unsigned {
    ControlEventTouchDown = 1u << 0,
    ControlEventTouchDownRepeat = 1u << 1,
    ControlEventTouchDragInside = 1u << 2,
    ControlEventTouchDragOutside = 1u << 3,
    ControlEventTouchDragEnter = 1u << 4,
    ControlEventTouchDragExit = 1u << 5,
    ControlEventTouchUpInside = 1u << 6,
    ControlEventTouchUpOutside = 1u << 7,
    ControlEventTouchCancel = 1u << 8,
    ControlEventValueChanged = 1u << 12,
    ControlEventEditingDidBegin = 1u << 16,
    ControlEventEditingChanged = 1u << 17,
    ControlEventEditingDidEnd = 1u << 18,
    ControlEventEditingDidEndOnExit = 1u << 19,
    ControlEventAllTouchEvents = 0x00000FFF,
    ControlEventAllEditingEvents = 0x000F0000,
    ControlEventApplicationReserved = 0x0F000000,
    ControlEventSystemReserved = 0xF0000000,
    ControlEventAllEvents = 0xFFFFFFFF,
};

enum class ControlContentHorizontalAlignment { Center = 0, Left = 1, Right = 2, Fill = 3 };
enum class ControlContentVerticalAlignment { Center = 0, Top = 1, Bottom = 2, Fill = 3 };

class Control : public View {
    QL_OBJECT_NAMED(Control, View, "UIControl")
public:
    // How far outside its bounds a tracked touch still counts as inside.
    static constexpr double kTouchSlop = 70;

    Control() : Control(cg::Rect::zero()) {}
    explicit Control(const cg::Rect& frame) : View(frame) {}

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    // The bits of the three states (normal is none).
    unsigned state() const;

    ControlContentHorizontalAlignment contentHorizontalAlignment() const { return horizontal_; }
    void setContentHorizontalAlignment(ControlContentHorizontalAlignment alignment);
    ControlContentVerticalAlignment contentVerticalAlignment() const { return vertical_; }
    void setContentVerticalAlignment(ControlContentVerticalAlignment alignment);

    // A target may be absent (an empty weak pointer): the action then goes along the responder chain.
    // Adding the same target and action again only adds events.
    void addTarget(std::weak_ptr<ns::Object> target, Action action, unsigned controlEvents);
    // A null target matches every target, an empty action every action; the events are taken away.
    void removeTarget(const ns::Object* target, const Action& action, unsigned controlEvents);
    std::vector<std::shared_ptr<ns::Object>> allTargets() const;
    unsigned allControlEvents() const;
    // The actions registered for a target (null: the ones without target) and an event.
    std::vector<Action> actionsForTarget(const ns::Object* target, unsigned controlEvent) const;

    // Sends every action registered for any of the events, in the order they were added.
    void sendActionsForControlEvents(unsigned controlEvents);
    virtual void sendAction(const Action& action, ns::Object* target, Event* event);

    // Tracking of the touch that began on the control; subclasses refine these.
    virtual bool beginTrackingWithTouch(Touch& touch, Event* event);
    virtual bool continueTrackingWithTouch(Touch& touch, Event* event);
    virtual void endTrackingWithTouch(Touch* touch, Event* event);
    virtual void cancelTrackingWithEvent(Event* event);
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }

    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesMoved(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet& touches, Event* event) override;

    // A control keeps single taps for itself: a one-tap recogniser of a view around it does not begin.
    bool gestureRecognizerShouldBegin(const GestureRecognizer& recognizer) const override;

protected:
    // Called after any of the three states changed.
    virtual void stateDidChange() { setNeedsLayout(); setNeedsDisplay(); }
    void sendEvents(unsigned controlEvents, Event* event);

private:
    struct Entry {
        std::weak_ptr<ns::Object> target;
        bool hasTarget;
        Action action;
        unsigned events;
    };
    bool insideWithSlop(const Touch& touch) const;

    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    bool touchInside_ = false;
    std::weak_ptr<Touch> trackedTouch_;
    ControlContentHorizontalAlignment horizontal_ = ControlContentHorizontalAlignment::Center;
    ControlContentVerticalAlignment vertical_ = ControlContentVerticalAlignment::Center;
    std::vector<Entry> entries_;
};

}  // namespace ql::ui
