#pragma once
// UTPieProgressIndicator: a round progress indicator, a ring that fills like a pie from 12 o'clock,
// clockwise. Progress is a fraction from 0 to 1; at 0.1 or below only the ring shows.

#include <memory>

#include "platform/ui/Color.h"
#include "platform/ui/View.h"

namespace ql {

class UTPieProgressIndicator : public ui::View {
    QL_OBJECT(UTPieProgressIndicator, ui::View)

public:
    UTPieProgressIndicator() : UTPieProgressIndicator(cg::Rect::zero()) {}
    explicit UTPieProgressIndicator(const cg::Rect& frame);
    // 34 points square, at the origin.
    static std::shared_ptr<UTPieProgressIndicator> pieProgressIndicator();

    float progressPercent() const { return progressPercent_; }
    // Both redraw only when the value changes (the colour by identity).
    void setProgressPercent(float progress);
    // White while unset.
    const std::shared_ptr<ui::Color>& color() const { return color_; }
    void setColor(std::shared_ptr<ui::Color> color);

    void drawRect(const cg::Rect& rect) override;

private:
    float progressPercent_ = 0;
    std::shared_ptr<ui::Color> color_;
};

}  // namespace ql
