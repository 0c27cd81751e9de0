#include "ui/refresh/RefreshGifImages.h"

#include <algorithm>
#include <cmath>

#include "ui/refresh/RefreshGeometry.h"

namespace ql {

std::shared_ptr<ui::ImageView> RefreshGifImages::gifView(ui::View& host) {
    auto view = gifView_.lock();
    if (!view) {
        view = std::make_shared<ui::ImageView>(cg::Rect::zero());
        gifView_ = view;
        host.addSubview(view);
    }
    return view;
}

void RefreshGifImages::setImages(ui::View& host, Images images, double duration, RefreshState state) {
    // No frames at all leave the state without any, as if none had been given.
    if (images.empty()) {
        images_.erase(state);
        durations_.erase(state);
        return;
    }
    const double height = images.front() ? images.front()->size().height : 0;
    images_[state] = std::move(images);
    durations_[state] = duration;
    if (height > mm_h(host)) mm_setH(host, height);
}

void RefreshGifImages::showPullingFrame(ui::View& host, RefreshState state, double percent) {
    if (state != RefreshStateIdle) return;
    const auto found = images_.find(RefreshStateIdle);
    if (found == images_.end()) return;
    const Images& images = found->second;
    auto view = gifView(host);
    view->stopAnimating();
    // A header of no height reports its pull as 0/0; that shows the first frame, as no pull at all does.
    if (std::isnan(percent)) percent = 0;
    const double count = static_cast<double>(images.size());
    const auto index = static_cast<std::size_t>(std::clamp(std::floor(count * percent), 0.0, count - 1));
    view->setImage(images[index]);
}

bool RefreshGifImages::play(ui::View& host, RefreshState state) {
    const auto found = images_.find(state);
    if (found == images_.end()) return false;
    const Images& images = found->second;
    auto view = gifView(host);
    view->stopAnimating();
    if (images.size() == 1) {
        view->setImage(images.back());
    } else {
        view->setAnimationImages(images);
        view->setAnimationDuration(durations_[state]);
        view->startAnimating();
    }
    return true;
}

void RefreshGifImages::place(ui::View& host, bool titlesHidden) {
    auto view = gifView(host);
    // Set once with its final width: a frame that changed twice per pass would ask for another pass.
    cg::Rect frame = host.bounds();
    if (!titlesHidden) frame.size.width = mm_w(host) * 0.5 - 90;
    view->setFrame(frame);
    view->setContentMode(titlesHidden ? ui::ContentMode::Center : ui::ContentMode::Right);
}

}  // namespace ql
