#pragma once
// ui::SwipeGestureRecognizer: a discrete quick stroke in one of the allowed directions: recognised once
// the fingers have travelled far enough that way, mostly straight, soon enough after touching down.

#include "platform/ui/GestureRecognizer.h"

namespace ql::ui {

enum SwipeGestureRecognizerDirection : unsigned {
    SwipeGestureRecognizerDirectionRight = 1u << 0,
    SwipeGestureRecognizerDirectionLeft = 1u << 1,
    SwipeGestureRecognizerDirectionUp = 1u << 2,
    SwipeGestureRecognizerDirectionDown = 1u << 3,
};

class SwipeGestureRecognizer : public GestureRecognizer {
    QL_OBJECT_NAMED(SwipeGestureRecognizer, GestureRecognizer, "UISwipeGestureRecognizer")
public:
    static constexpr double kMinimumDistance = 50;
    static constexpr double kMaximumDuration = 0.5;

    using GestureRecognizer::GestureRecognizer;

    unsigned direction() const { return direction_; }
    void setDirection(unsigned direction) { direction_ = direction; }
    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int touches) { touchesRequired_ = touches; }

    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;

private:
    unsigned direction_ = SwipeGestureRecognizerDirectionRight;
    int touchesRequired_ = 1;
    cg::Point start_;
    double startTime_ = 0;
};

}  // namespace ql::ui
