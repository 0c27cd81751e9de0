#include "images/browser/BrowserImageView.h"

#include <algorithm>

#include "images/webimage/ImageViewWebCache.h"
#include "images/webimage/WebImageManager.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"

namespace ql {

namespace {

std::shared_ptr<ui::Color> nearlyBlack() { return ui::Color::colorWithRed(0, 0, 0, 0.95); }

}  // namespace

BrowserImageView::BrowserImageView(Key, const cg::Rect& frame) : ui::ImageView(frame) {
    setUserInteractionEnabled(true);
    setContentMode(ui::ContentMode::ScaleAspectFit);
}

std::shared_ptr<BrowserImageView> BrowserImageView::make(const cg::Rect& frame) {
    auto page = std::make_shared<BrowserImageView>(Key{}, frame);
    auto pinch = std::make_shared<ui::PinchGestureRecognizer>(page, ui::Action(&BrowserImageView::zoomImage));
    pinch->setDelegate(std::weak_ptr<ui::GestureRecognizerDelegate>(page));
    page->addGestureRecognizer(pinch);
    return page;
}

void BrowserImageView::setProgress(double progress) {
    progress_ = progress;
    if (auto waiting = waitingView()) waiting->setProgress(progress);
}

void BrowserImageView::removeWaitingView() {
    if (auto waiting = waitingView()) waiting->removeFromSuperview();
}

void BrowserImageView::setImageWithURL(const std::optional<ns::URL>& url, std::shared_ptr<ui::Image> placeholder) {
    auto waiting = std::make_shared<WaitingView>(cg::Rect{0, 0, 100, 100});
    waitingView_ = waiting;
    addSubview(waiting);
    auto self = std::static_pointer_cast<BrowserImageView>(shared_from_this());
    std::weak_ptr<BrowserImageView> weak = self;
    wi_setImageWithURL(
        self, url, std::move(placeholder), WebImageLoadRetryFailed,
        [weak](std::int64_t received, std::int64_t expected) {
            // Without a known size there is no share to show; the ring waits for sizes that make sense.
            if (expected <= 0) return;
            const double progress = static_cast<double>(received) / static_cast<double>(expected);
            // The downloader may report from its own thread; the page changes on the main queue.
            ns::DispatchQueue::main()->async([weak, progress] {
                if (auto page = weak.lock()) page->setProgress(progress);
            });
        },
        [weak](std::shared_ptr<ui::Image> image, std::optional<ns::Error> error, ImageCacheSource, std::optional<ns::URL>) {
            auto page = weak.lock();
            if (!page) return;
            page->removeWaitingView();
            if (error) {
                auto label = std::make_shared<ui::Label>(cg::Rect{0, 0, 160, 30});
                label->setCenter({page->bounds().size.width / 2, page->bounds().size.height / 2});
                label->setText("图片加载失败");
                label->setFont(ui::Font::systemFontOfSize(16));
                label->setTextColor(ui::Color::whiteColor());
                label->setBackgroundColor(ui::Color::colorWithRed(0, 0, 0, 0.8));
                label->layer()->setCornerRadius(5);
                label->setClipsToBounds(true);
                label->setTextAlignment(ui::TextAlignment::Center);
                page->addSubview(label);
                return;
            }
            if (page->scrollImageView_) {
                page->scrollImageView_->setImage(image);
                page->scrollImageView_->setNeedsDisplay();
            }
        });
}

void BrowserImageView::layoutSubviews() {
    ui::ImageView::layoutSubviews();
    if (auto waiting = waitingView()) waiting->setCenter({frame().size.width / 2, frame().size.height / 2});
    const auto picture = image();
    const cg::Rect b = bounds();
    if (!picture || picture->size().width <= 0) return;
    const double fitted = picture->size().height / picture->size().width * b.size.width;
    if (fitted > b.size.height) {
        if (!scroll_) {
            scroll_ = std::make_shared<ui::ScrollView>();
            scrollImageView_ = std::make_shared<ui::ImageView>(picture);
            scroll_->addSubview(scrollImageView_);
            scroll_->setBackgroundColor(nearlyBlack());
            addSubview(scroll_);
            if (auto waiting = waitingView()) bringSubviewToFront(waiting.get());
        }
        scroll_->setFrame(b);
        scrollImageView_->setBounds({0, 0, scroll_->frame().size.width, fitted});
        scrollImageView_->setCenter({scrollImageView_->frame().size.width / 2, scrollImageView_->frame().size.height / 2});
        scroll_->setContentSize({0, scrollImageView_->frame().size.height});
    } else if (scroll_) {
        // Dropped, so that a picture that grows tall again gets a fresh scroller.
        scroll_->removeFromSuperview();
        scroll_.reset();
        scrollImageView_.reset();
    }
}

// ---- Zooming ----

void BrowserImageView::prepareForImageViewScaling() {
    if (zoomingScroolView_) return;
    const cg::Rect b = bounds();
    zoomingScroolView_ = std::make_shared<ui::ScrollView>(b);
    zoomingScroolView_->setBackgroundColor(nearlyBlack());
    zoomingScroolView_->setContentSize(b.size);
    zoomingImageView_ = std::make_shared<ui::ImageView>(image());
    const cg::Size picture = image() ? image()->size() : cg::Size{};
    const double h = picture.width > 0 ? picture.height / picture.width * b.size.width : b.size.height;
    zoomingImageView_->setBounds({0, 0, b.size.width, h});
    zoomingImageView_->setCenter(zoomingScroolView_->center());
    zoomingImageView_->setContentMode(ui::ContentMode::ScaleAspectFit);
    zoomingScroolView_->addSubview(zoomingImageView_);
    addSubview(zoomingScroolView_);
}

void BrowserImageView::zoomWithScale(double scale) {
    totalScale_ = scale;
    if (!zoomingImageView_ || !zoomingScroolView_) return;
    zoomingImageView_->setTransform(cg::AffineTransform::makeScale(scale, scale));
    auto& scroller = *zoomingScroolView_;
    if (scale > 1) {
        const double w = zoomingImageView_->frame().size.width;
        const double h = zoomingImageView_->frame().size.height;
        const double c = std::max(h, frame().size.height);
        zoomingImageView_->setCenter({w / 2, c / 2});
        scroller.setContentSize({w, c});
        scroller.setContentOffset({(w - scroller.frame().size.width) / 2, scroller.contentOffset().y});
    } else {
        scroller.setContentSize(scroller.frame().size);
        scroller.setContentInset({});
        zoomingImageView_->setCenter(scroller.center());
    }
}

void BrowserImageView::setTotalScale(double scale) {
    if ((totalScale_ < kLowerScaleLimit && scale < totalScale_) || (totalScale_ > kUpperScaleLimit && scale > totalScale_)) return;
    zoomWithScale(scale);
}

void BrowserImageView::zoomImage(ui::PinchGestureRecognizer* pinch) {
    if (!pinch) return;
    prepareForImageViewScaling();
    setTotalScale(pinch->scale() - 1 + totalScale_);
    pinch->setScale(1);
}

void BrowserImageView::doubleTapToZommWithScale(double scale) {
    prepareForImageViewScaling();
    std::weak_ptr<BrowserImageView> weak = std::static_pointer_cast<BrowserImageView>(shared_from_this());
    ui::View::animate(kDoubleTapDuration, [weak, scale] {
        if (auto page = weak.lock()) page->zoomWithScale(scale);
    }, [weak, scale](bool) {
        auto page = weak.lock();
        if (page && scale == 1.0) page->clear();
    });
}

void BrowserImageView::scaleImage(double scale) {
    prepareForImageViewScaling();
    setTotalScale(scale);
}

void BrowserImageView::clear() {
    if (zoomingScroolView_) zoomingScroolView_->removeFromSuperview();
    zoomingScroolView_.reset();
    zoomingImageView_.reset();
}

void BrowserImageView::eliminateScale() {
    clear();
    totalScale_ = 1.0;
}

}  // namespace ql
