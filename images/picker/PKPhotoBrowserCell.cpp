#include "images/picker/PKPhotoBrowserCell.h"

#include <algorithm>

#include "images/picker/PKPickerFrame.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"

namespace ql {

PKPhotoBrowserCell::PKPhotoBrowserCell(Key, const cg::Rect& frame) : ui::CollectionViewCell(frame) {
    setBackgroundColor(ui::Color::clearColor());
    setAutoresizesSubviews(true);
}

std::shared_ptr<PKPhotoBrowserCell> PKPhotoBrowserCell::make(const cg::Rect& frame) {
    auto cell = std::make_shared<PKPhotoBrowserCell>(Key{}, frame);
    cell->scrollView();
    cell->imageView();
    return cell;
}

const std::shared_ptr<ui::ScrollView>& PKPhotoBrowserCell::scrollView() {
    if (!scrollView_) {
        scrollView_ = std::make_shared<ui::ScrollView>(cg::Rect{10, 0, width(*this) - 20, height(*this)});
        scrollView_->setDelegate(std::static_pointer_cast<PKPhotoBrowserCell>(shared_from_this()));
        scrollView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
        scrollView_->setShowsHorizontalScrollIndicator(false);
        scrollView_->setShowsVerticalScrollIndicator(false);
        addSubview(scrollView_);
    }
    return scrollView_;
}

const std::shared_ptr<ui::ImageView>& PKPhotoBrowserCell::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<ui::ImageView>(cg::Rect::zero());
        imageView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
        scrollView()->addSubview(imageView_);
    }
    return imageView_;
}

void PKPhotoBrowserCell::setAsset(std::shared_ptr<al::Asset> asset) {
    if (asset == asset_) return;
    asset_ = std::move(asset);
    setImage(asset_ ? asset_->fullScreenImage() : nullptr);
}

void PKPhotoBrowserCell::setImage(std::shared_ptr<ui::Image> image) {
    if (image == image_) return;
    image_ = std::move(image);
    auto& scroller = *scrollView();
    auto& view = *imageView();
    scroller.setZoomScale(1.0);
    const cg::Size page = size(scroller);
    const cg::Size picture = image_ ? image_->size() : cg::Size{};
    // A picture smaller than the page keeps its own size; a larger one is fitted.
    double ratio = 1.0;
    if (picture.width > 0 && picture.height > 0) {
        ratio = std::min({page.width / picture.width, page.height / picture.height, 1.0});
    }
    view.setFrame({left(scroller), top(scroller), ratio * picture.width, ratio * picture.height});
    view.setCenter({page.width / 2, page.height / 2});
    view.setImage(image_);
    scroller.setMinimumZoomScale(ratio);
    scroller.setMaximumZoomScale(kMaximumZoomScale);
    scroller.setZoomScale(1.0);
}

void PKPhotoBrowserCell::prepareForReuse() {
    ui::CollectionViewCell::prepareForReuse();
    scrollView()->setZoomScale(1.0);
}

void PKPhotoBrowserCell::scrollViewDidZoom(ui::ScrollView& scroller) {
    const cg::Size bounds = scroller.bounds().size;
    const cg::Size content = scroller.contentSize();
    const double dx = bounds.width > content.width ? (bounds.width - content.width) / 2 : 0;
    const double dy = bounds.height > content.height ? (bounds.height - content.height) / 2 : 0;
    imageView()->setCenter({content.width / 2 + dx, content.height / 2 + dy});
}

}  // namespace ql
