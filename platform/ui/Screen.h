#pragma once
// ui::Screen: the display the windows live on: its size in points (oriented as the interface is) and its
// scale. The headless device chooses both.

#include "platform/foundation/Object.h"
#include "platform/graphics/Geometry.h"

namespace ql::ui {

class Screen : public ns::Object {
    QL_OBJECT_NAMED(Screen, ns::Object, "UIScreen")
public:
    Screen() = default;
    static Screen& mainScreen();

    // The size a phone of the platform's middle size has until the device says otherwise.
    static constexpr cg::Rect kDefaultBounds{0, 0, 375, 667};

    const cg::Rect& bounds() const { return bounds_; }
    double scale() const { return scale_; }
    double nativeScale() const { return scale_; }
    // The bounds without the status bar, when it shows.
    cg::Rect applicationFrame() const;

    // The device's side.
    void setBounds(const cg::Rect& bounds) { bounds_ = bounds; }
    void setScale(double scale) { scale_ = scale; }

private:
    cg::Rect bounds_ = kDefaultBounds;
    double scale_ = 2;
};

}  // namespace ql::ui
