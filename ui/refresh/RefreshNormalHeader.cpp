#include "ui/refresh/RefreshNormalHeader.h"

namespace ql {

void RefreshNormalHeader::prepare() {
    RefreshStateHeader::prepare();
    setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle::Gray);
}

void RefreshNormalHeader::setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style) {
    indicator_.setActivityIndicatorViewStyle(style);
    setNeedsLayout();
}

void RefreshNormalHeader::placeSubviews() {
    RefreshStateHeader::placeSubviews();
    indicator_.place(*this, !stateLabel()->isHidden());
}

void RefreshNormalHeader::setState(RefreshState state) {
    const RefreshState old = this->state();
    if (state == old) return;
    RefreshStateHeader::setState(state);
    auto arrow = arrowView();
    auto loading = loadingView();
    if (state == RefreshStateIdle) {
        if (old == RefreshStateRefreshing) {
            arrow->setTransform(cg::AffineTransform::identity());
            auto self = std::static_pointer_cast<RefreshNormalHeader>(selfPointer());
            ui::View::animate(
                RefreshHeader::kCloseDuration, [loading] { loading->setAlpha(0.0); },
                [self, loading, arrow](bool) {
                    if (self->state() != RefreshStateIdle) return;
                    loading->setAlpha(1.0);
                    loading->stopAnimating();
                    arrow->setHidden(false);
                });
        } else {
            loading->stopAnimating();
            arrow->setHidden(false);
            ui::View::animate(RefreshHeader::kOpenDuration,
                              [arrow] { arrow->setTransform(cg::AffineTransform::identity()); });
        }
    } else if (state == RefreshStatePulling) {
        loading->stopAnimating();
        arrow->setHidden(false);
        ui::View::animate(RefreshHeader::kOpenDuration, [arrow] {
            arrow->setTransform(cg::AffineTransform::makeRotation(RefreshArrowIndicator::kUpAngle));
        });
    } else if (state == RefreshStateRefreshing) {
        loading->setAlpha(1.0);
        loading->startAnimating();
        arrow->setHidden(true);
    }
}

}  // namespace ql
