#pragma once
// ui::PinchGestureRecognizer: a continuous two-finger pinch. The scale is the fingers' distance over
// their distance when the pinch started (or when the scale was last set); the velocity is the scale's
// change per second.

#include "platform/ui/GestureRecognizer.h"

namespace ql::ui {

class PinchGestureRecognizer : public GestureRecognizer {
    QL_OBJECT_NAMED(PinchGestureRecognizer, GestureRecognizer, "UIPinchGestureRecognizer")
public:
    // How much the distance must change before a pinch begins.
    static constexpr double kHysteresis = 5;

    using GestureRecognizer::GestureRecognizer;

    double scale() const { return scale_; }
    void setScale(double scale);
    double velocity() const { return velocity_; }

    bool isDiscrete() const override { return false; }
    void reset() override;
    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;

private:
    double distance() const;

    double scale_ = 1;
    double velocity_ = 0;
    double baseDistance_ = 0;
    double lastTime_ = 0;
};

}  // namespace ql::ui
