#pragma once
// ui::TapGestureRecognizer: a discrete gesture of one or more taps with a number of fingers. It fails
// when a finger wanders more than a few points, when more fingers come than asked for, or when the next
// tap of a multiple tap does not come in time.

#include <memory>

#include "platform/ui/GestureRecognizer.h"

namespace ql::ns {
class Timer;
}

namespace ql::ui {

class TapGestureRecognizer : public GestureRecognizer {
    QL_OBJECT_NAMED(TapGestureRecognizer, GestureRecognizer, "UITapGestureRecognizer")
public:
    // How far a finger may move and how long the pause between taps may be.
    static constexpr double kAllowableMovement = 10;
    static constexpr double kMaximumTapInterval = 0.35;

    using GestureRecognizer::GestureRecognizer;
    ~TapGestureRecognizer() override;

    int numberOfTapsRequired() const { return tapsRequired_; }
    void setNumberOfTapsRequired(int taps) { tapsRequired_ = taps; }
    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int touches) { touchesRequired_ = touches; }

    void reset() override;
    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;
    bool awaitsFurtherTouches() const override;

private:
    void stopTimer();

    int tapsRequired_ = 1;
    int touchesRequired_ = 1;
    int taps_ = 0;
    int fingers_ = 0;
    cg::Point start_;
    std::shared_ptr<ns::Timer> timer_;
};

}  // namespace ql::ui
