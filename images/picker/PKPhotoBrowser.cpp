#include "images/picker/PKPhotoBrowser.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "images/picker/PKImagePickerController.h"
#include "images/picker/PKPhotoBrowserCell.h"
#include "images/picker/PKPickerFrame.h"
#include "images/picker/PKPromptView.h"
#include "images/picker/PKUtil.h"
#include "platform/ui/Application.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ql {

PKPhotoBrowser::PKPhotoBrowser(Key, const cg::Rect& frame) : ui::View(frame) {
    setBackgroundColor(PKUtil::getColor("282828"));
    setAutoresizesSubviews(true);
}

std::shared_ptr<PKPhotoBrowser> PKPhotoBrowser::make(const cg::Rect& frame) {
    auto browser = std::make_shared<PKPhotoBrowser>(Key{}, frame);
    browser->collectionView();
    browser->topView();
    return browser;
}

const std::shared_ptr<ui::CollectionView>& PKPhotoBrowser::collectionView() {
    if (!collectionView_) {
        auto layout = std::make_shared<ui::CollectionViewFlowLayout>();
        layout->setMinimumLineSpacing(0);
        layout->setMinimumInteritemSpacing(0);
        layout->setScrollDirection(ui::CollectionViewScrollDirection::Horizontal);
        const double w = width(*this), h = height(*this);
        collectionView_ = std::make_shared<ui::CollectionView>(cg::Rect{-kPageMargin, 0, w + 2 * kPageMargin, h}, layout);
        collectionView_->setBackgroundColor(ui::Color::clearColor());
        collectionView_->registerClass([](const cg::Rect& f) { return PKPhotoBrowserCell::make(f); },
                                       std::string(PKPhotoBrowserCell::kIdentifier));
        auto self = std::static_pointer_cast<PKPhotoBrowser>(shared_from_this());
        collectionView_->setDataSource(std::weak_ptr<ui::CollectionViewDataSource>(self));
        collectionView_->setDelegate(std::weak_ptr<ui::CollectionViewDelegate>(self));
        collectionView_->setPagingEnabled(true);
        collectionView_->setShowsHorizontalScrollIndicator(false);
        collectionView_->setShowsVerticalScrollIndicator(false);
        addSubview(collectionView_);
    }
    return collectionView_;
}

const std::shared_ptr<ui::Label>& PKPhotoBrowser::numberLabel() {
    if (!numberLabel_) {
        numberLabel_ = std::make_shared<ui::Label>(cg::Rect{std::floor((width(*this) - 100) / 2), 32, 100, 20});
        numberLabel_->setBackgroundColor(ui::Color::clearColor());
        numberLabel_->setTextColor(ui::Color::whiteColor());
        numberLabel_->setTextAlignment(ui::TextAlignment::Center);
        numberLabel_->setFont(ui::Font::systemFontOfSize(17));
        numberLabel_->setText("0/0");
    }
    return numberLabel_;
}

const std::shared_ptr<ui::Button>& PKPhotoBrowser::checkButton() {
    if (!checkButton_) {
        auto normal = ui::Image::imageNamed("photo_check_default");
        checkButton_ = std::make_shared<ui::Button>(cg::Rect{{0, 0}, normal ? normal->size() : cg::Size{}});
        checkButton_->setBackgroundImage(normal, ui::ControlStateNormal);
        checkButton_->setBackgroundImage(ui::Image::imageNamed("photo_check_selected"), ui::ControlStateSelected);
        checkButton_->addTarget(std::static_pointer_cast<PKPhotoBrowser>(shared_from_this()),
                                ui::Action(&PKPhotoBrowser::photoDidChecked), ui::ControlEventTouchUpInside);
        checkButton_->setExclusiveTouch(true);
        checkButton_->setAccessibilityLabel("选择照片");
    }
    return checkButton_;
}

const std::shared_ptr<ui::View>& PKPhotoBrowser::topView() {
    if (!topView_) {
        const double w = width(*this);
        topView_ = std::make_shared<ui::View>(cg::Rect{0, 0, w, 64});
        topView_->setBackgroundColor(ui::Color::colorWithWhite(0, 0.8));
        topView_->addSubview(numberLabel());
        auto closeImage = ui::Image::imageNamed("camera_edit_cut_cancel");
        const cg::Size closeSize = closeImage ? closeImage->size() : cg::Size{};
        auto close = std::make_shared<ui::Button>(
            cg::Rect{10, std::floor((44 - closeSize.height) / 2) + 20, closeSize.width, closeSize.height});
        close->setBackgroundImage(closeImage, ui::ControlStateNormal);
        close->setBackgroundImage(ui::Image::imageNamed("camera_edit_cut_cancel_highlighted"), ui::ControlStateHighlighted);
        close->addTarget(std::static_pointer_cast<PKPhotoBrowser>(shared_from_this()),
                         ui::Action(&PKPhotoBrowser::closePhotoBrower), ui::ControlEventTouchUpInside);
        close->setAccessibilityLabel("关闭");
        topView_->addSubview(close);
        auto& check = *checkButton();
        setRight(check, w - 10);
        setCenterY(check, centerY(*close));
        topView_->addSubview(checkButton());
        addSubview(topView_);
    }
    return topView_;
}

void PKPhotoBrowser::setAssetsArray(std::vector<std::shared_ptr<al::Asset>> assets) {
    if (assets == assetsArray_) return;
    assetsArray_ = std::move(assets);
    reloadPhotoeData();
}

void PKPhotoBrowser::clampCurrentPage() {
    const auto last = static_cast<std::int64_t>(assetsArray_.size()) - 1;
    currentPage_ = std::clamp<std::int64_t>(currentPage_, 0, std::max<std::int64_t>(last, 0));
}

std::shared_ptr<al::Asset> PKPhotoBrowser::currentAsset() const {
    if (currentPage_ < 0 || currentPage_ >= static_cast<std::int64_t>(assetsArray_.size())) return nullptr;
    return assetsArray_[static_cast<std::size_t>(currentPage_)];
}

void PKPhotoBrowser::reloadPhotoeData() {
    clampCurrentPage();
    collectionView()->setContentOffset({static_cast<double>(currentPage_) * width(*collectionView()), 0});
    updateStatus();
    collectionView()->reloadData();
}

void PKPhotoBrowser::updateStatus() {
    clampCurrentPage();
    const auto count = assetsArray_.size();
    numberLabel()->setText(std::to_string(count ? currentPage_ + 1 : 0) + "/" + std::to_string(count));
    auto asset = currentAsset();
    checkButton()->setSelected(asset && assetIsSelected(asset->assetURL()));
}

bool PKPhotoBrowser::assetIsSelected(const ns::URL& assetURL) const {
    auto picker = pickerController();
    if (!picker) return false;
    for (const auto& record : picker->selectedAssetArray()) {
        if (record->assetPropertyURL() == assetURL) return true;
    }
    return false;
}

void PKPhotoBrowser::photoDidChecked(ns::Object*, ui::Event*) {
    auto asset = currentAsset();
    if (!asset) return;
    auto& check = *checkButton();
    auto picker = pickerController();
    const std::uint64_t maximum = picker ? picker->maximumNumberOfSelection() : 0;
    const std::uint64_t chosen = picker ? picker->selectedAssetArray().size() : 0;
    if (!check.isSelected() && chosen >= maximum) {
        showMaximumSelectionPrompt(maximum);
        return;
    }
    if (auto delegate = this->delegate()) {
        if (check.isSelected()) delegate->photoBrowserDidDeselectAtALAsset(*this, asset);
        else delegate->photoBrowserDidSelectAtALAsset(*this, asset);
    }
    check.setSelected(!check.isSelected());
}

void PKPhotoBrowser::show(bool animated, std::function<void()> completion) {
    auto window = ui::Application::sharedApplication().keyWindow();
    if (!window) return;
    if (animated) {
        setTop(*this, ui::Screen::mainScreen().bounds().size.height);
        window->addSubview(sharedFromThis());
        auto self = sharedFromThis();
        View::animate(kSlideDuration, [self] { setTop(*self, 0); }, [completion = std::move(completion)](bool) {
            if (completion) completion();
        });
    } else {
        window->addSubview(sharedFromThis());
        if (completion) completion();
    }
}

void PKPhotoBrowser::hide(bool animated) {
    if (!animated) {
        removeFromSuperview();
        return;
    }
    auto self = sharedFromThis();
    View::animate(kSlideDuration, [self] { setTop(*self, ui::Screen::mainScreen().bounds().size.height); },
                  [self](bool) { self->removeFromSuperview(); });
}

void PKPhotoBrowser::didScrollToPage(std::int32_t page) {
    currentPage_ = page;
    updateStatus();
}

std::int64_t PKPhotoBrowser::collectionViewNumberOfItemsInSection(ui::CollectionView&, std::int64_t) {
    return static_cast<std::int64_t>(assetsArray_.size());
}

std::shared_ptr<ui::CollectionViewCell> PKPhotoBrowser::collectionViewCellForItemAtIndexPath(ui::CollectionView& view,
                                                                                             const ns::IndexPath& path) {
    auto cell = std::static_pointer_cast<PKPhotoBrowserCell>(
        view.dequeueReusableCellWithReuseIdentifier(std::string(PKPhotoBrowserCell::kIdentifier), path));
    cell->setAsset(assetsArray_.at(static_cast<std::size_t>(path.item())));
    return cell;
}

std::optional<cg::Size> PKPhotoBrowser::collectionViewLayoutSizeForItemAtIndexPath(ui::CollectionView&,
                                                                                   ui::CollectionViewLayout&,
                                                                                   const ns::IndexPath&) {
    return cg::Size{width(*this) + 2 * kPageMargin, height(*this)};
}

void PKPhotoBrowser::scrollViewDidEndDecelerating(ui::ScrollView& scrollView) {
    const double x = scrollView.contentOffset().x;
    const double pitch = width(scrollView);
    if (!(x >= 0) || !(pitch > 0)) return;
    didScrollToPage(static_cast<std::int32_t>(*ui::pageAtPosition(x / pitch, static_cast<std::int64_t>(assetsArray_.size()))));
}

}  // namespace ql
