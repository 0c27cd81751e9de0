#include "platform/ui/ImageView.h"

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/Image.h"

namespace ql::ui {

namespace {

bool isResizable(const Image& image) { return image.capInsets() != cg::EdgeInsets::zero(); }

}  // namespace

ImageView::ImageView(const cg::Rect& frame) : View(frame) {
    setUserInteractionEnabled(false);
    setOpaque(false);
}

ImageView::ImageView(std::shared_ptr<Image> image, std::shared_ptr<Image> highlightedImage)
    : ImageView(image ? cg::Rect{{0, 0}, image->size()} : cg::Rect::zero()) {
    highlightedImage_ = std::move(highlightedImage);
    setImage(std::move(image));
}

ImageView::~ImageView() {
    if (timer_) timer_->invalidate();
}

void ImageView::setImage(std::shared_ptr<Image> image) {
    if (image == image_) return;
    image_ = std::move(image);
    // An animated image plays itself, as long as no animation images are playing.
    if (!animating_) {
        stopFrames();
        if (image_ && !image_->images().empty()) startFrames(image_->duration(), 0);
    }
    setNeedsDisplay();
    invalidateIntrinsicContentSize();
}

void ImageView::setHighlightedImage(std::shared_ptr<Image> image) {
    highlightedImage_ = std::move(image);
    if (highlighted_) setNeedsDisplay();
}

void ImageView::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    setNeedsDisplay();
}

void ImageView::setAnimationImages(std::vector<std::shared_ptr<Image>> images) {
    if (animating_ && images.empty()) stopAnimating();
    animationImages_ = std::move(images);
}

void ImageView::setHighlightedAnimationImages(std::vector<std::shared_ptr<Image>> images) {
    highlightedAnimationImages_ = std::move(images);
}

const std::vector<std::shared_ptr<Image>>& ImageView::currentFrames() const {
    return highlighted_ && !highlightedAnimationImages_.empty() ? highlightedAnimationImages_ : animationImages_;
}

void ImageView::startAnimating() {
    const auto& frames = currentFrames();
    if (frames.empty()) return;
    stopFrames();
    animating_ = true;
    playing_ = frames;
    const double duration = animationDuration_ > 0 ? animationDuration_ : frames.size() / 30.0;
    startFrames(duration, animationRepeatCount_);
}

void ImageView::stopAnimating() {
    if (!animating_) return;
    animating_ = false;
    stopFrames();
    if (image_ && !image_->images().empty()) startFrames(image_->duration(), 0);
    setNeedsDisplay();
}

void ImageView::startFrames(double duration, std::int64_t repeats) {
    if (playing_.empty() && image_ && !animating_) playing_ = image_->images();
    if (playing_.empty()) return;
    frame_ = 0;
    framesShown_ = 1;
    framesToShow_ = repeats > 0 ? static_cast<std::uint64_t>(repeats) * playing_.size() : 0;
    const double interval = duration > 0 ? duration / playing_.size() : 1.0 / 30;
    std::weak_ptr<ImageView> weakSelf;
    if (auto shared = weak_from_this().lock()) weakSelf = std::static_pointer_cast<ImageView>(shared);
    timer_ = ns::Timer::timer(interval, true, [weakSelf](ns::Timer& timer) {
        auto self = weakSelf.lock();
        if (!self) {
            timer.invalidate();
            return;
        }
        self->showFrame();
    });
    ns::RunLoop::main()->addTimer(timer_, ns::RunLoopCommonModes);
    setNeedsDisplay();
}

void ImageView::stopFrames() {
    if (timer_) timer_->invalidate();
    timer_.reset();
    playing_.clear();
    frame_ = 0;
}

void ImageView::showFrame() {
    if (playing_.empty()) return;
    if (framesToShow_ > 0 && framesShown_ >= framesToShow_) {
        // The last repeat is over: the view shows its image again.
        animating_ = false;
        stopFrames();
        setNeedsDisplay();
        return;
    }
    frame_ = (frame_ + 1) % playing_.size();
    ++framesShown_;
    setNeedsDisplay();
}

std::shared_ptr<Image> ImageView::displayedImage() const {
    if (!playing_.empty()) return playing_[frame_];
    if (highlighted_ && highlightedImage_) return highlightedImage_;
    return image_;
}

cg::Size ImageView::sizeThatFits(cg::Size) const { return image_ ? image_->size() : cg::Size{0, 0}; }

cg::Size ImageView::intrinsicContentSize() const {
    if (!image_) return {kNoIntrinsicMetric, kNoIntrinsicMetric};
    return image_->size();
}

void ImageView::drawRect(const cg::Rect&) {
    if (auto image = displayedImage()) image->drawInRect(bounds());
}

void ImageView::didMoveToWindow() {
    if (!window()) return;
    // An animated image set before the view was owned starts playing once it is shown.
    if (!timer_ && !animating_ && image_ && !image_->images().empty()) startFrames(image_->duration(), 0);
    setNeedsDisplay();
}

void ImageView::displayLayer(Layer& layer) {
    auto image = displayedImage();
    // Nine-part images are drawn at the view's size (again when it changes); others are shown as they are.
    const bool drawn = image && isResizable(*image);
    layer.setNeedsDisplayOnBoundsChange(drawn || contentMode() == ContentMode::Redraw);
    if (drawn) {
        View::displayLayer(layer);
        return;
    }
    layer.setContentsCenter({0, 0, 1, 1});
    layer.setContents(image ? image->uprightBitmap() : nullptr);
    layer.setContentsScale(image ? image->scale() : 1);
}

}  // namespace ql::ui
