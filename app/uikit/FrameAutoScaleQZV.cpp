#include "app/uikit/FrameAutoScaleQZV.h"

#include "platform/ui/Nib.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"

namespace ql {

namespace {

constexpr double kDesignWidth = 375;
constexpr double kDesignHeight = 667;

double sx() { return double(FrameAutoScaleQZV::sharedFrameAutoScaleQZV().autoSizeScaleX()); }
double sy() { return double(FrameAutoScaleQZV::sharedFrameAutoScaleQZV().autoSizeScaleY()); }

}  // namespace

FrameAutoScaleQZV& FrameAutoScaleQZV::sharedFrameAutoScaleQZV() {
    static FrameAutoScaleQZV instance;
    return instance;
}

void FrameAutoScaleQZV::AutoSizeScale() {
    const cg::Rect screen = ui::Screen::mainScreen().bounds();
    autoSizeScaleX_ = float(cg::maxX(screen) / kDesignWidth);
    autoSizeScaleY_ = float(cg::maxY(screen) / kDesignHeight);
}

cg::Rect FrameAutoScaleQZV::CGQZVMake(double x, double y, double width, double height) {
    return {x * sx(), y * sy(), width * sx(), height * sy()};
}

cg::Rect FrameAutoScaleQZV::CGQZVfullScreen() { return CGQZVMake(0, 0, kDesignWidth, kDesignHeight); }

cg::Point FrameAutoScaleQZV::CGQZVPointMake(double x, double y) { return {x * sx(), y * sy()}; }

cg::Size FrameAutoScaleQZV::CGSizeQZVMake(double width, double height) { return {width * sx(), height * sy()}; }

cg::Size FrameAutoScaleQZV::CGSizeQZVMakeMainScreenSize() { return CGSizeQZVMake(kDesignWidth, kDesignHeight); }

void FrameAutoScaleQZV::scaleAutoLayouts(ui::View& view) {
    for (const auto& subview : std::vector(view.subviews())) {
        const cg::Rect f = subview->frame();
        subview->setFrame(CGQZVMake(f.origin.x, f.origin.y, f.size.width, f.size.height));
        if (!subview->subviews().empty()) scaleAutoLayouts(*subview);
    }
}

void FrameAutoScaleQZV::storyBoradQZVAutoLayoutsWithstoryBoradClassName(std::string_view name) {
    auto controller = std::make_shared<ui::ViewController>(std::string(name));
    scaleAutoLayouts(*controller->view());
}

void FrameAutoScaleQZV::xibQZVAutoLayoutsWithNibClassName(std::string_view name) {
    const auto objects = ui::Nib::loadNibNamed(name, nullptr);
    if (objects.empty()) return;
    if (auto view = std::dynamic_pointer_cast<ui::View>(objects.front())) scaleAutoLayouts(*view);
}

}  // namespace ql
