#pragma once
// Scales rectangles, points, sizes and whole view trees laid out on the 375 × 667 design to the current
// screen, by the screen's width / 375 and height / 667.

#include <string_view>

#include "platform/graphics/Geometry.h"

namespace ql::ui {
class View;
}

namespace ql {

class FrameAutoScaleQZV {
public:
    // The one instance, made once (thread-safe) with the factors of the screen at that moment.
    static FrameAutoScaleQZV& sharedFrameAutoScaleQZV();

    float autoSizeScaleX() const { return autoSizeScaleX_; }
    float autoSizeScaleY() const { return autoSizeScaleY_; }
    void setWithAutoSizeScaleX(float scale) { autoSizeScaleX_ = scale; }
    void setWithAutoSizeScaleY(float scale) { autoSizeScaleY_ = scale; }
    void initWithAutoSizeScale(float x, float y) {
        autoSizeScaleX_ = x;
        autoSizeScaleY_ = y;
    }
    // The factors again from the main screen's bounds.
    void AutoSizeScale();

    static cg::Rect CGQZVMake(double x, double y, double width, double height);
    static cg::Rect CGQZVfullScreen();
    static cg::Point CGQZVPointMake(double x, double y);
    static cg::Size CGSizeQZVMake(double width, double height);
    static cg::Size CGSizeQZVMakeMainScreenSize();

    // Every view below `view` (not the view itself) gets its frame scaled once, depth first.
    static void scaleAutoLayouts(ui::View& view);
    // The view of a plain controller made from the nib of that name, scaled.
    static void storyBoradQZVAutoLayoutsWithstoryBoradClassName(std::string_view name);
    // The first object of the named nib, scaled; nothing when it holds no view.
    static void xibQZVAutoLayoutsWithNibClassName(std::string_view name);

    FrameAutoScaleQZV(const FrameAutoScaleQZV&) = delete;
    FrameAutoScaleQZV& operator=(const FrameAutoScaleQZV&) = delete;

private:
    FrameAutoScaleQZV() { AutoSizeScale(); }

    float autoSizeScaleX_ = 1;
    float autoSizeScaleY_ = 1;
};

}  // namespace ql
