#pragma once
// ui::Switch: an on/off control of the platform's fixed size; a tap flips it and sends value-changed.

#include <memory>

#include "platform/ui/Control.h"

namespace ql::ui {

class Switch : public Control {
    QL_OBJECT_NAMED(Switch, Control, "UISwitch")
public:
    static constexpr cg::Size kSize{51, 31};

    Switch() : Switch(cg::Rect::zero()) {}
    // The size is always the platform's; only the origin of the frame is taken.
    explicit Switch(const cg::Rect& frame);

    bool isOn() const { return on_; }
    void setOn(bool on, bool animated = false);
    const std::shared_ptr<Color>& onTintColor() const { return onTintColor_; }
    void setOnTintColor(std::shared_ptr<Color> color);
    const std::shared_ptr<Color>& thumbTintColor() const { return thumbTintColor_; }
    void setThumbTintColor(std::shared_ptr<Color> color);

    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override { return kSize; }
    void drawRect(const cg::Rect& rect) override;
    void endTrackingWithTouch(Touch* touch, Event* event) override;

private:
    bool on_ = false;
    std::shared_ptr<Color> onTintColor_;
    std::shared_ptr<Color> thumbTintColor_;
};

}  // namespace ql::ui
