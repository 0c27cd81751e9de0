#pragma once
// ui::LongPressGestureRecognizer: a continuous gesture that begins once the fingers have rested for the
// minimum press duration (on ns::Clock) without wandering, changes as they move and ends when they lift.

#include <memory>

#include "platform/ui/GestureRecognizer.h"

namespace ql::ns {
class Timer;
}

namespace ql::ui {

class LongPressGestureRecognizer : public GestureRecognizer {
    QL_OBJECT_NAMED(LongPressGestureRecognizer, GestureRecognizer, "UILongPressGestureRecognizer")
public:
    using GestureRecognizer::GestureRecognizer;
    ~LongPressGestureRecognizer() override;

    double minimumPressDuration() const { return minimumPressDuration_; }
    void setMinimumPressDuration(double seconds) { minimumPressDuration_ = seconds; }
    double allowableMovement() const { return allowableMovement_; }
    void setAllowableMovement(double points) { allowableMovement_ = points; }
    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int touches) { touchesRequired_ = touches; }

    bool isDiscrete() const override { return false; }
    void reset() override;
    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;

private:
    void stopTimer();

    double minimumPressDuration_ = 0.5;
    double allowableMovement_ = 10;
    int touchesRequired_ = 1;
    cg::Point start_;
    std::shared_ptr<ns::Timer> timer_;
};

}  // namespace ql::ui
