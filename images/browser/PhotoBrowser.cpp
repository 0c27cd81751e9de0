#include "images/browser/PhotoBrowser.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/foundation/DispatchQueue.h"
#include "platform/photos/SavedPhotosAlbum.h"
#include "platform/ui/Application.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"

namespace ql {

PhotoBrowser::PhotoBrowser(const cg::Rect& frame) : ui::View(frame) {
    setBackgroundColor(ui::Color::colorWithRed(0, 0, 0, 0.95));
}

void PhotoBrowser::show() {
    auto window = ui::Application::sharedApplication().keyWindow();
    if (!window) return;
    setFrame(window->bounds());
    std::weak_ptr<PhotoBrowser> weak = std::static_pointer_cast<PhotoBrowser>(shared_from_this());
    windowFrame_ = window->addObserver("frame", 0, [weak](const ns::KeyValueChange&) {
        if (auto browser = weak.lock()) browser->windowFrameChanged();
    });
    window->addSubview(sharedFromThis());
}

void PhotoBrowser::windowFrameChanged() {
    auto* window = this->window();
    if (!window) return;
    setFrame(window->bounds());
    if (auto current = page(currentImageIndex_)) current->clear();
}

std::shared_ptr<BrowserImageView> PhotoBrowser::page(std::int64_t index) const {
    if (!scrollView_ || index < 0 || index >= static_cast<std::int64_t>(scrollView_->subviews().size())) return nullptr;
    return std::dynamic_pointer_cast<BrowserImageView>(scrollView_->subviews()[static_cast<std::size_t>(index)]);
}

std::int64_t PhotoBrowser::clampedIndex(std::int64_t index) const {
    return std::clamp<std::int64_t>(index, 0, std::max<std::int64_t>(imageCount_ - 1, 0));
}

void PhotoBrowser::didMoveToSuperview() {
    // Built once, when the browser first goes on screen (not again when it leaves).
    if (!superview() || scrollView_) return;
    setupScrollView();
    setupToolbars();
}

void PhotoBrowser::setupScrollView() {
    auto self = std::static_pointer_cast<PhotoBrowser>(shared_from_this());
    scrollView_ = std::make_shared<ui::ScrollView>();
    scrollView_->setDelegate(std::weak_ptr<ui::ScrollViewDelegate>(self));
    scrollView_->setShowsHorizontalScrollIndicator(false);
    scrollView_->setShowsVerticalScrollIndicator(false);
    scrollView_->setPagingEnabled(true);
    addSubview(scrollView_);
    for (std::int64_t i = 0; i < imageCount_; ++i) {
        auto page = BrowserImageView::make();
        page->setTag(i);
        auto single = std::make_shared<ui::TapGestureRecognizer>(self, ui::Action(&PhotoBrowser::photoClick));
        auto twice = std::make_shared<ui::TapGestureRecognizer>(self, ui::Action(&PhotoBrowser::imageViewDoubleTaped));
        twice->setNumberOfTapsRequired(2);
        single->requireGestureRecognizerToFail(twice);
        page->addGestureRecognizer(single);
        page->addGestureRecognizer(twice);
        scrollView_->addSubview(page);
    }
    currentImageIndex_ = clampedIndex(currentImageIndex_);
    setupImageOfImageViewForIndex(currentImageIndex_);
}

void PhotoBrowser::setupToolbars() {
    indexLabel_ = std::make_shared<ui::Label>();
    indexLabel_->setBounds({0, 0, 80, 30});
    indexLabel_->setTextAlignment(ui::TextAlignment::Center);
    indexLabel_->setTextColor(ui::Color::whiteColor());
    indexLabel_->setFont(ui::Font::boldSystemFontOfSize(20));
    indexLabel_->setBackgroundColor(ui::Color::colorWithRed(0, 0, 0, 0.5));
    indexLabel_->layer()->setCornerRadius(indexLabel_->bounds().size.height * 0.5);
    indexLabel_->setClipsToBounds(true);
    if (imageCount_ >= 1) indexLabel_->setText("1/" + std::to_string(imageCount_));
    addSubview(indexLabel_);
}

void PhotoBrowser::layoutSubviews() {
    ui::View::layoutSubviews();
    if (!scrollView_) return;
    const cg::Rect b = bounds();
    cg::Rect pager = b;
    pager.size.width += kPageGap;
    scrollView_->setBounds({scrollView_->bounds().origin, pager.size});
    scrollView_->setCenter(center());
    const auto& pages = scrollView_->subviews();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        pages[i]->setFrame({kPageGap / 2 + static_cast<double>(i) * (b.size.width + kPageGap), 0, b.size.width,
                            scrollView_->frame().size.height});
    }
    const double pitch = scrollView_->frame().size.width;
    scrollView_->setContentSize({static_cast<double>(pages.size()) * pitch, 0});
    scrollView_->setContentOffset({static_cast<double>(currentImageIndex_) * pitch, 0});
    if (!hasShowedFistView_) showFirstImage();
    if (indexLabel_) indexLabel_->setCenter({b.size.width / 2, 35});
}

std::shared_ptr<ui::View> PhotoBrowser::sourceThumbnail(std::int64_t index) const {
    auto container = sourceImagesContainerView();
    if (!container || index < 0) return nullptr;
    if (auto grid = std::dynamic_pointer_cast<ui::CollectionView>(container)) return grid->cellForItemAtIndexPath({0, index});
    const auto& subviews = container->subviews();
    return index < static_cast<std::int64_t>(subviews.size()) ? subviews[static_cast<std::size_t>(index)] : nullptr;
}

cg::Rect PhotoBrowser::sourceRect(std::int64_t index) const {
    auto thumbnail = sourceThumbnail(index);
    // Without its thumbnail the picture flies from and to the middle of the browser.
    if (!thumbnail || !thumbnail->superview()) return {center(), {0, 0}};
    return thumbnail->superview()->convertRectToView(thumbnail->frame(), this);
}

void PhotoBrowser::showFirstImage() {
    auto current = page(currentImageIndex_);
    if (!current) return;
    auto flying = std::make_shared<ui::ImageView>(sourceRect(currentImageIndex_));
    flying->setImage(placeholderImageForIndex(currentImageIndex_));
    flying->setContentMode(current->contentMode());
    addSubview(flying);
    scrollView_->setHidden(true);
    // Set before the animation so that layout passes during it do not start it again.
    hasShowedFistView_ = true;
    const cg::Point middle = center();
    const cg::Size pageSize = current->bounds().size;
    std::weak_ptr<PhotoBrowser> weak = std::static_pointer_cast<PhotoBrowser>(shared_from_this());
    ui::View::animate(kFlyDuration, [flying, middle, pageSize] {
        flying->setCenter(middle);
        flying->setBounds({0, 0, pageSize.width, pageSize.height});
    }, [weak, flying](bool) {
        flying->removeFromSuperview();
        if (auto browser = weak.lock()) browser->scrollView_->setHidden(false);
    });
}

void PhotoBrowser::setupImageOfImageViewForIndex(std::int64_t index) {
    currentImageIndex_ = index;
    auto target = page(index);
    if (!target || target->hasLoadedImage()) return;
    if (auto url = highQualityImageURLForIndex(index)) target->setImageWithURL(url, placeholderImageForIndex(index));
    else target->setImage(placeholderImageForIndex(index));
    target->setHasLoadedImage(true);
}

std::shared_ptr<ui::Image> PhotoBrowser::placeholderImageForIndex(std::int64_t index) {
    auto delegate = this->delegate();
    return delegate ? delegate->photoBrowserPlaceholderImageForIndex(*this, index) : nullptr;
}

std::optional<ns::URL> PhotoBrowser::highQualityImageURLForIndex(std::int64_t index) {
    auto delegate = this->delegate();
    return delegate ? delegate->photoBrowserHighQualityImageURLForIndex(*this, index) : std::nullopt;
}

void PhotoBrowser::scrollViewDidScroll(ui::ScrollView& pager) {
    const double pitch = pager.bounds().size.width;
    if (pitch <= 0) return;
    const double x = pager.contentOffset().x;
    // A pull far past either end would name a page that does not exist.
    const std::int64_t index = ui::pageAtPosition((x + pitch / 2) / pitch, imageCount_).value_or(currentImageIndex_);
    const double aside = x - static_cast<double>(index) * pitch;
    if (auto current = page(index); current && current->isScaled() && std::abs(aside) > kZoomResetDistance) {
        ui::View::animate(kZoomResetDuration, [current] { current->setTransform(cg::AffineTransform::identity()); },
                          [current](bool) { current->eliminateScale(); });
    }
    if (!willDisappear_ && indexLabel_) indexLabel_->setText(std::to_string(index + 1) + "/" + std::to_string(imageCount_));
    setupImageOfImageViewForIndex(index);
}

void PhotoBrowser::imageViewDoubleTaped(ui::TapGestureRecognizer* tap) {
    auto* tapped = tap ? dynamic_cast<BrowserImageView*>(tap->view()) : nullptr;
    if (tapped) tapped->doubleTapToZommWithScale(tapped->isScaled() ? 1.0 : 2.0);
}

void PhotoBrowser::photoClick(ui::TapGestureRecognizer* tap) {
    auto* tapped = tap ? dynamic_cast<BrowserImageView*>(tap->view()) : nullptr;
    if (!tapped) return;
    scrollView_->setHidden(true);
    willDisappear_ = true;
    const std::int64_t index = tapped->tag();
    const cg::Rect end = sourceRect(index);
    auto thumbnail = sourceThumbnail(index);
    auto flying = std::make_shared<ui::ImageView>();
    flying->setContentMode(thumbnail ? thumbnail->contentMode() : ui::ContentMode::ScaleAspectFit);
    flying->setClipsToBounds(true);
    auto picture = tapped->image();
    flying->setImage(picture);
    const cg::Size b = bounds().size;
    const double h = picture && picture->size().width > 0 ? b.width * picture->size().height / picture->size().width : b.height;
    flying->setBounds({0, 0, b.width, h});
    flying->setCenter(center());
    addSubview(flying);
    auto self = std::static_pointer_cast<PhotoBrowser>(shared_from_this());
    ui::View::animate(kFlyDuration, [self, flying, end] {
        flying->setFrame(end);
        self->setBackgroundColor(ui::Color::clearColor());
        if (self->indexLabel_) self->indexLabel_->setAlpha(0.1);
    }, [self](bool) { self->removeFromSuperview(); });
}

void PhotoBrowser::saveImage() {
    if (!scrollView_ || scrollView_->bounds().size.width <= 0) return;
    const auto index = ui::pageAtPosition(scrollView_->contentOffset().x / scrollView_->bounds().size.width, imageCount_)
                           .value_or(currentImageIndex_);
    auto current = page(index);
    if (!current) return;
    indicatorView_ = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorViewStyle::WhiteLarge);
    indicatorView_->setCenter(center());
    if (auto window = ui::Application::sharedApplication().keyWindow()) window->addSubview(indicatorView_);
    indicatorView_->startAnimating();
    std::weak_ptr<PhotoBrowser> weak = std::static_pointer_cast<PhotoBrowser>(shared_from_this());
    ui::ImageWriteToSavedPhotosAlbum(current->image(), [weak](const std::optional<ns::Error>& error) {
        if (auto browser = weak.lock()) browser->savingFinished(error);
    });
}

void PhotoBrowser::savingFinished(const std::optional<ns::Error>& error) {
    if (indicatorView_) indicatorView_->removeFromSuperview();
    indicatorView_.reset();
    auto label = std::make_shared<ui::Label>();
    label->setBounds({0, 0, 150, 30});
    label->setCenter(center());
    label->setTextColor(ui::Color::whiteColor());
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setFont(ui::Font::boldSystemFontOfSize(17));
    label->setBackgroundColor(ui::Color::colorWithRed(0.1, 0.1, 0.1, 0.9));
    label->layer()->setCornerRadius(5);
    label->setClipsToBounds(true);
    label->setText(error ? " >_< 保存失败 " : " ^_^ 保存成功 ");
    if (auto window = ui::Application::sharedApplication().keyWindow()) {
        window->addSubview(label);
        window->bringSubviewToFront(label.get());
    }
    ns::DispatchQueue::main()->after(1.0, [label] { label->removeFromSuperview(); });
}

}  // namespace ql
