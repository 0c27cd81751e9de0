#include "images/picker/PKAssetsGroupCell.h"

#include <string>

#include "images/picker/PKPickerFrame.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"

namespace ql {

namespace {

std::shared_ptr<ui::Label> makeLabel(double fontSize) {
    auto label = std::make_shared<ui::Label>();
    label->setBackgroundColor(ui::Color::clearColor());
    label->setTextColor(ui::Color::blackColor());
    label->setFont(ui::Font::systemFontOfSize(fontSize));
    return label;
}

}  // namespace

PKAssetsGroupCell::PKAssetsGroupCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier)) {
    setAccessoryType(ui::TableViewCellAccessoryType::None);
    thumbnailView();
}

const std::shared_ptr<PKAssetsThumbnailView>& PKAssetsGroupCell::thumbnailView() {
    if (!thumbnailView_) {
        thumbnailView_ = std::make_shared<PKAssetsThumbnailView>(cg::Rect{8, 4, 70, 74});
        thumbnailView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleRightMargin | ui::ViewAutoresizingFlexibleBottomMargin);
        contentView()->addSubview(thumbnailView_);
    }
    return thumbnailView_;
}

const std::shared_ptr<ui::ImageView>& PKAssetsGroupCell::checkImageView() {
    if (!checkImageView_) {
        checkImageView_ = std::make_shared<ui::ImageView>(ui::Image::imageNamed("picker_photo_filter_checked"));
        checkImageView_->setBackgroundColor(ui::Color::clearColor());
        setRight(*checkImageView_, width(*thumbnailView()) - 3);
        setBottom(*checkImageView_, height(*thumbnailView()) - 3);
        thumbnailView()->addSubview(checkImageView_);
    }
    return checkImageView_;
}

const std::shared_ptr<ui::Label>& PKAssetsGroupCell::assetsNameLabel() {
    if (!assetsNameLabel_) {
        assetsNameLabel_ = makeLabel(17);
        contentView()->addSubview(assetsNameLabel_);
    }
    return assetsNameLabel_;
}

const std::shared_ptr<ui::Label>& PKAssetsGroupCell::assetsCountLabel() {
    if (!assetsCountLabel_) {
        assetsCountLabel_ = makeLabel(12);
        contentView()->addSubview(assetsCountLabel_);
    }
    return assetsCountLabel_;
}

void PKAssetsGroupCell::setIsSelected(bool selected) {
    checked_ = selected;
    checkImageView()->setHidden(!selected);
}

void PKAssetsGroupCell::setAssetsGroup(std::shared_ptr<al::AssetsGroup> group) {
    if (group == assetsGroup_) return;
    assetsGroup_ = std::move(group);
    thumbnailView()->setAssetsGroup(assetsGroup_);
    auto& name = *assetsNameLabel();
    name.setText(assetsGroup_ ? assetsGroup_->name() : std::string());
    name.sizeToFit();
    setLeft(name, right(*thumbnailView()) + 18);
    setBottom(name, centerY(*thumbnailView()) - 2);
    auto& count = *assetsCountLabel();
    count.setText(std::to_string(assetsGroup_ ? assetsGroup_->numberOfAssets() : 0));
    count.sizeToFit();
    setLeft(count, left(name));
    setTop(count, bottom(name) + 4);
}

}  // namespace ql
