#pragma once
// ui::PanGestureRecognizer: a continuous drag. It begins once the fingers' centroid has moved a few
// points, reports the translation since the start (or since the last setTranslation) and the velocity
// of the latest movement, and ends when fewer fingers than the minimum remain.

#include <cstdint>
#include <limits>

#include "platform/ui/GestureRecognizer.h"

namespace ql::ui {

class PanGestureRecognizer : public GestureRecognizer {
    QL_OBJECT_NAMED(PanGestureRecognizer, GestureRecognizer, "UIPanGestureRecognizer")
public:
    // The distance the fingers travel before a pan begins.
    static constexpr double kHysteresis = 10;

    using GestureRecognizer::GestureRecognizer;

    std::uint64_t minimumNumberOfTouches() const { return minimumTouches_; }
    void setMinimumNumberOfTouches(std::uint64_t touches) { minimumTouches_ = touches; }
    std::uint64_t maximumNumberOfTouches() const { return maximumTouches_; }
    void setMaximumNumberOfTouches(std::uint64_t touches) { maximumTouches_ = touches; }

    // In the coordinates of `view` (null: the window).
    cg::Point translationInView(const View* view) const;
    void setTranslation(cg::Point translation, const View* view);
    cg::Point velocityInView(const View* view) const;

    bool isDiscrete() const override { return false; }
    void reset() override;
    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;

private:
    // A vector of the window's coordinates seen in a view's (the linear part of the conversion).
    cg::Point vectorInView(cg::Point vector, const View* view) const;
    void rebase();

    std::uint64_t minimumTouches_ = 1;
    std::uint64_t maximumTouches_ = std::numeric_limits<std::uint64_t>::max();
    // Window coordinates: where the translation counts from, and the translation carried over.
    cg::Point origin_;
    cg::Point carried_;
    cg::Point last_;
    cg::Point velocity_;
    double lastTime_ = 0;
    std::size_t fingers_ = 0;
};

}  // namespace ql::ui
