#pragma once
// ui::Touch: one finger on the screen, from touching down to lifting (or being cancelled). The input
// source (the headless device) makes a touch in a window and moves, lifts or cancels it; everything
// else only reads it. Locations are kept in the window's coordinates and converted on request.

#include <memory>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/graphics/Geometry.h"

namespace ql::ui {

class GestureRecognizer;
class View;
class Window;

enum class TouchPhase { Began = 0, Moved = 1, Stationary = 2, Ended = 3, Cancelled = 4 };

class Touch : public ns::Object {
    QL_OBJECT_NAMED(Touch, ns::Object, "UITouch")
public:
    // A finger touching down at a point of the window (in its coordinates).
    Touch(const std::shared_ptr<Window>& window, cg::Point locationInWindow, double timestamp, int tapCount = 1);

    // The input source's steps. Each leaves the touch in its new phase until the next step.
    void moveTo(cg::Point locationInWindow, double timestamp);
    void hold();  // still down, not moving: stationary in the next event
    void lift(double timestamp);
    void cancel(double timestamp);

    TouchPhase phase() const { return phase_; }
    double timestamp() const { return timestamp_; }
    int tapCount() const { return tapCount_; }
    Window* window() const;
    // The view the touch began in (the hit-test result); null when it hit nothing.
    View* view() const;
    const std::vector<std::weak_ptr<GestureRecognizer>>& gestureRecognizers() const { return recognizers_; }
    bool isActive() const { return phase_ != TouchPhase::Ended && phase_ != TouchPhase::Cancelled; }

    // A null view stands for the window.
    cg::Point locationInView(const View* view) const;
    cg::Point previousLocationInView(const View* view) const;

private:
    friend class Window;
    friend class GestureCoordinator;
    friend class GestureRecognizer;

    cg::Point convert(cg::Point inWindow, const View* view) const;

    std::weak_ptr<Window> window_;
    std::weak_ptr<View> view_;
    cg::Point location_;
    cg::Point previous_;
    TouchPhase phase_ = TouchPhase::Began;
    double timestamp_;
    int tapCount_;
    std::vector<std::weak_ptr<GestureRecognizer>> recognizers_;
    // Delivery to the view: whether the window has taken the touch in, whether the view may see it at
    // all, saw its beginning and its end, and whether a recogniser cut it off (after which the view sees
    // nothing more of it).
    bool registered_ = false;
    bool deliverToView_ = true;
    bool viewSawBegin_ = false;
    bool viewSawEnd_ = false;
    bool cancelledForView_ = false;
};

}  // namespace ql::ui
