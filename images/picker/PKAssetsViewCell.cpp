#include "images/picker/PKAssetsViewCell.h"

#include "images/picker/PKPickerFrame.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"

namespace ql {

PKAssetsViewCell::PKAssetsViewCell(Key, const cg::Rect& frame) : ui::CollectionViewCell(frame) {
    setBackgroundColor(ui::Color::clearColor());
    setAutoresizesSubviews(true);
}

std::shared_ptr<PKAssetsViewCell> PKAssetsViewCell::make(const cg::Rect& frame) {
    auto cell = std::make_shared<PKAssetsViewCell>(Key{}, frame);
    cell->imageView();
    return cell;
}

const std::shared_ptr<ui::ImageView>& PKAssetsViewCell::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<ui::ImageView>(contentView()->bounds());
        imageView_->setBackgroundColor(ui::Color::clearColor());
        imageView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
        // The check button lives inside the image.
        imageView_->setUserInteractionEnabled(true);
        contentView()->addSubview(imageView_);
        setRight(*checkButton(), width(*imageView_));
    }
    return imageView_;
}

const std::shared_ptr<ui::Button>& PKAssetsViewCell::checkButton() {
    if (!checkButton_) {
        auto normal = ui::Image::imageNamed("photo_check_default");
        checkButton_ = std::make_shared<ui::Button>(cg::Rect{{0, 0}, normal ? normal->size() : cg::Size{}});
        checkButton_->setBackgroundImage(normal, ui::ControlStateNormal);
        checkButton_->setBackgroundImage(ui::Image::imageNamed("photo_check_selected"), ui::ControlStateSelected);
        checkButton_->addTarget(std::static_pointer_cast<PKAssetsViewCell>(shared_from_this()),
                                ui::Action(&PKAssetsViewCell::photoDidChecked), ui::ControlEventTouchUpInside);
        checkButton_->setExclusiveTouch(true);
        checkButton_->setAccessibilityLabel("选择照片");
        imageView()->addSubview(checkButton_);
    }
    return checkButton_;
}

const std::shared_ptr<ui::Button>& PKAssetsViewCell::photoButton() {
    if (!photoButton_) {
        photoButton_ = std::make_shared<ui::Button>(contentView()->bounds());
        photoButton_->setBackgroundImage(ui::Image::imageNamed("compose_photograph_background"), ui::ControlStateNormal);
        photoButton_->setImage(ui::Image::imageNamed("compose_photograph"), ui::ControlStateNormal);
        photoButton_->setImage(ui::Image::imageNamed("compose_photograph_highlighted"), ui::ControlStateHighlighted);
        photoButton_->addTarget(std::static_pointer_cast<PKAssetsViewCell>(shared_from_this()),
                                ui::Action(&PKAssetsViewCell::photo), ui::ControlEventTouchUpInside);
        photoButton_->setExclusiveTouch(true);
        photoButton_->setAccessibilityLabel("拍照");
        contentView()->addSubview(photoButton_);
    }
    return photoButton_;
}

void PKAssetsViewCell::setAsset(std::shared_ptr<al::Asset> asset) {
    if (!asset) {
        thumbnailLoader_.cancel();
        asset_.reset();
        photoButton()->setHidden(false);
        imageView()->setHidden(true);
        return;
    }
    imageView()->setHidden(false);
    if (photoButton_) photoButton_->setHidden(true);
    if (asset_ == asset) return;
    asset_ = std::move(asset);
    // Made away from the main thread unless made before: a grid of camera pictures would otherwise hold
    // the screen for as long as it takes to read them all.
    thumbnailLoader_.load(imageView(), *asset_, al::AssetImageKind::Thumbnail, ui::Image::imageNamed("assets_placeholder_picture"));
}

void PKAssetsViewCell::setIsSelected(bool selected) {
    checked_ = selected;
    checkButton()->setSelected(selected);
}

void PKAssetsViewCell::photo(ns::Object*, ui::Event*) {
    if (auto delegate = this->delegate()) delegate->startPhotoAssetsViewCell(*this);
}

void PKAssetsViewCell::photoDidChecked(ns::Object*, ui::Event*) {
    auto delegate = this->delegate();
    if (!delegate) return;
    if (checkButton()->isSelected()) delegate->didDeselectItemAssetsViewCell(*this);
    else delegate->didSelectItemAssetsViewCell(*this);
}

PKAssetsCollectionFooterView::PKAssetsCollectionFooterView(const cg::Rect& frame) : ui::CollectionReusableView(frame) {
    const cg::Rect b = bounds();
    textLabel_ = std::make_shared<ui::Label>(cg::Rect{0, (b.size.height - 21) * 0.5, b.size.width, 21});
    textLabel_->setBackgroundColor(ui::Color::clearColor());
    textLabel_->setFont(ui::Font::systemFontOfSize(17));
    textLabel_->setTextColor(ui::Color::blackColor());
    textLabel_->setTextAlignment(ui::TextAlignment::Center);
    addSubview(textLabel_);
}

}  // namespace ql
