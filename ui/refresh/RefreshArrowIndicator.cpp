#include "ui/refresh/RefreshArrowIndicator.h"

#include "platform/ui/Image.h"
#include "ui/refresh/RefreshGeometry.h"

namespace ql {

namespace {

std::shared_ptr<ui::Image> arrowImage() {
    if (auto image = ui::Image::imageNamed("Refresh.bundle/arrow.png")) return image;
    return ui::Image::imageNamed("Frameworks/Refresh.framework/Refresh.bundle/arrow.png");
}

}  // namespace

std::shared_ptr<ui::ImageView> RefreshArrowIndicator::arrowView(ui::View& host) {
    auto arrow = arrow_.lock();
    if (!arrow) {
        arrow = std::make_shared<ui::ImageView>(arrowImage());
        arrow_ = arrow;
        host.addSubview(arrow);
    }
    return arrow;
}

std::shared_ptr<ui::ActivityIndicatorView> RefreshArrowIndicator::loadingView(ui::View& host) {
    auto loading = loading_.lock();
    if (!loading) {
        loading = std::make_shared<ui::ActivityIndicatorView>(style_);
        loading->setHidesWhenStopped(true);
        loading_ = loading;
        host.addSubview(loading);
    }
    return loading;
}

void RefreshArrowIndicator::setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style) {
    style_ = style;
    loading_.reset();
}

void RefreshArrowIndicator::place(ui::View& host, bool titleShown) {
    auto arrow = arrowView(host);
    if (auto image = arrow->image()) {
        // The size is set upright; a turned arrow keeps its transform.
        arrow->setBounds({{0, 0}, image->size()});
    }
    double x = mm_w(host) * 0.5;
    if (titleShown) x -= 100;
    arrow->setCenter({x, mm_h(host) * 0.5});
    auto loading = loadingView(host);
    loading->setBounds({{0, 0}, arrow->bounds().size});
    loading->setCenter(arrow->center());
}

}  // namespace ql
