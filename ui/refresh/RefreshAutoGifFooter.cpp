#include "ui/refresh/RefreshAutoGifFooter.h"

namespace ql {

void RefreshAutoGifFooter::setImages(Images images, double duration, RefreshState state) {
    images_.setImages(*this, std::move(images), duration, state);
}

void RefreshAutoGifFooter::setImages(Images images, RefreshState state) {
    const double duration = static_cast<double>(images.size()) * RefreshGifImages::kSecondsPerImage;
    setImages(std::move(images), duration, state);
}

void RefreshAutoGifFooter::placeSubviews() {
    RefreshAutoStateFooter::placeSubviews();
    images_.place(*this, refreshingTitleHidden());
}

void RefreshAutoGifFooter::setState(RefreshState state) {
    if (state == this->state()) return;
    RefreshAutoStateFooter::setState(state);
    if (state == RefreshStateRefreshing) {
        if (images_.play(*this, state)) gifView()->setHidden(false);
    } else if (state == RefreshStateIdle || state == RefreshStateNoMoreData) {
        gifView()->stopAnimating();
        gifView()->setHidden(true);
    }
}

}  // namespace ql
