#include "ui/refresh/RefreshBackNormalFooter.h"

namespace ql {

namespace {

cg::AffineTransform pointingUp() { return cg::AffineTransform::makeRotation(RefreshArrowIndicator::kUpAngle); }

}  // namespace

void RefreshBackNormalFooter::prepare() {
    RefreshBackStateFooter::prepare();
    setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle::Gray);
}

void RefreshBackNormalFooter::setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style) {
    indicator_.setActivityIndicatorViewStyle(style);
    setNeedsLayout();
}

void RefreshBackNormalFooter::placeSubviews() {
    RefreshBackStateFooter::placeSubviews();
    indicator_.place(*this, !stateLabel()->isHidden());
}

void RefreshBackNormalFooter::setState(RefreshState state) {
    const RefreshState old = this->state();
    if (state == old) return;
    RefreshBackStateFooter::setState(state);
    auto arrow = arrowView();
    auto loading = loadingView();
    if (state == RefreshStateIdle) {
        if (old == RefreshStateRefreshing) {
            arrow->setTransform(pointingUp());
            auto self = std::static_pointer_cast<RefreshBackNormalFooter>(selfPointer());
            ui::View::animate(
                kCloseDuration, [loading] { loading->setAlpha(0.0); },
                [self, loading, arrow](bool) {
                    // A footer that ran out of data meanwhile shows no arrow.
                    if (self->state() != RefreshStateIdle) return;
                    loading->setAlpha(1.0);
                    loading->stopAnimating();
                    arrow->setHidden(false);
                });
        } else {
            arrow->setHidden(false);
            loading->stopAnimating();
            ui::View::animate(kOpenDuration, [arrow] { arrow->setTransform(pointingUp()); });
        }
    } else if (state == RefreshStatePulling) {
        arrow->setHidden(false);
        loading->stopAnimating();
        ui::View::animate(kOpenDuration, [arrow] { arrow->setTransform(cg::AffineTransform::identity()); });
    } else if (state == RefreshStateRefreshing) {
        arrow->setHidden(true);
        loading->startAnimating();
    } else if (state == RefreshStateNoMoreData) {
        arrow->setHidden(true);
        loading->stopAnimating();
    }
}

}  // namespace ql
