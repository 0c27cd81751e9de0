#include "ui/refresh/RefreshGifHeader.h"

namespace ql {

void RefreshGifHeader::setImages(Images images, double duration, RefreshState state) {
    images_.setImages(*this, std::move(images), duration, state);
}

void RefreshGifHeader::setImages(Images images, RefreshState state) {
    const double duration = static_cast<double>(images.size()) * RefreshGifImages::kSecondsPerImage;
    setImages(std::move(images), duration, state);
}

void RefreshGifHeader::setPullingPercent(double percent) {
    RefreshStateHeader::setPullingPercent(percent);
    images_.showPullingFrame(*this, state(), percent);
}

void RefreshGifHeader::placeSubviews() {
    RefreshStateHeader::placeSubviews();
    images_.place(*this, stateLabel()->isHidden() && lastUpdatedTimeLabel()->isHidden());
}

void RefreshGifHeader::setState(RefreshState state) {
    if (state == this->state()) return;
    RefreshStateHeader::setState(state);
    if (state == RefreshStatePulling || state == RefreshStateRefreshing) images_.play(*this, state);
}

}  // namespace ql
