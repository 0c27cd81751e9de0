#include "ui/refresh/RefreshBackGifFooter.h"

namespace ql {

void RefreshBackGifFooter::setImages(Images images, double duration, RefreshState state) {
    images_.setImages(*this, std::move(images), duration, state);
}

void RefreshBackGifFooter::setImages(Images images, RefreshState state) {
    const double duration = static_cast<double>(images.size()) * RefreshGifImages::kSecondsPerImage;
    setImages(std::move(images), duration, state);
}

void RefreshBackGifFooter::setPullingPercent(double percent) {
    RefreshBackStateFooter::setPullingPercent(percent);
    images_.showPullingFrame(*this, state(), percent);
}

void RefreshBackGifFooter::placeSubviews() {
    RefreshBackStateFooter::placeSubviews();
    images_.place(*this, stateLabel()->isHidden());
}

void RefreshBackGifFooter::setState(RefreshState state) {
    if (state == this->state()) return;
    RefreshBackStateFooter::setState(state);
    if (state == RefreshStatePulling || state == RefreshStateRefreshing) {
        if (images_.play(*this, state)) gifView()->setHidden(false);
    } else if (state == RefreshStateNoMoreData) {
        gifView()->setHidden(true);
    } else if (state == RefreshStateIdle) {
        gifView()->setHidden(false);
    }
}

}  // namespace ql
