#include "ui/refresh/RefreshAutoNormalFooter.h"

#include "ui/refresh/RefreshGeometry.h"

namespace ql {

void RefreshAutoNormalFooter::prepare() {
    RefreshAutoStateFooter::prepare();
    setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle::Gray);
}

void RefreshAutoNormalFooter::setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style) {
    indicator_.setActivityIndicatorViewStyle(style);
    setNeedsLayout();
}

void RefreshAutoNormalFooter::placeSubviews() {
    RefreshAutoStateFooter::placeSubviews();
    double x = mm_w(*this) * 0.5;
    if (!refreshingTitleHidden()) x -= 100;
    loadingView()->setCenter({x, mm_h(*this) * 0.5});
}

void RefreshAutoNormalFooter::setState(RefreshState state) {
    if (state == this->state()) return;
    RefreshAutoStateFooter::setState(state);
    if (state == RefreshStateRefreshing) {
        loadingView()->startAnimating();
    } else if (state == RefreshStateIdle || state == RefreshStateNoMoreData) {
        loadingView()->stopAnimating();
    }
}

}  // namespace ql
