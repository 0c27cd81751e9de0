#include "images/picker/PKSideScrollingImagePicker.h"

#include <algorithm>

#include "images/picker/PKActionSheet.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Touch.h"
#include "platform/ui/VisualEffectView.h"

namespace ql {

PKSideScrollingImagePicker::PKSideScrollingImagePicker(Key) : ui::View(cg::Rect::zero()) {}

std::shared_ptr<PKSideScrollingImagePicker> PKSideScrollingImagePicker::make(std::string cancel, std::vector<std::string> titles) {
    auto sheet = std::make_shared<PKSideScrollingImagePicker>(Key{});
    std::weak_ptr<PKSideScrollingImagePicker> weak = sheet;
    sheet->lib()->setGetImageBlock([weak, cancel, titles](const std::vector<std::shared_ptr<al::Asset>>& assets) {
        auto shown = weak.lock();
        if (!shown || assets.empty()) return;
        shown->cancelStr_ = cancel;
        shown->buttonTitles_ = titles;
        shown->LoadUI();
    });
    switch (al::AssetsLibrary::authorizationStatus()) {
        case al::AuthorizationStatus::Restricted:
            ns::Log::write("This application is not authorized to access photo data.");
            break;
        case al::AuthorizationStatus::Denied:
            ns::Log::write("用户已经明确否认了这一应用程序访问数据的照片。");
            std::make_shared<ui::AlertView>("读取失败", "请打开 设置-隐私-照片 来进行设置",
                                            std::weak_ptr<ui::AlertViewDelegate>(sheet), "确定")
                ->show();
            break;
        case al::AuthorizationStatus::Authorized:
            ns::Log::write("SER已授权该应用程序访问数据的照片。");
            sheet->cancelStr_ = std::move(cancel);
            sheet->buttonTitles_ = std::move(titles);
            sheet->LoadUI();
            break;
        case al::AuthorizationStatus::NotDetermined:
            ns::Log::write("用户还没有做出选择的问候这个应用程序");
            break;
    }
    return sheet;
}

const std::shared_ptr<AssetsLibraryD>& PKSideScrollingImagePicker::lib() {
    if (!lib_) lib_ = AssetsLibraryD::make();
    return lib_;
}

std::shared_ptr<SideScrollingCheckCell> PKSideScrollingImagePicker::checkView(const ns::IndexPath& path) const {
    auto found = indexPathToCheckViewTable_.find(path);
    return found == indexPathToCheckViewTable_.end() ? nullptr : found->second.lock();
}

double PKSideScrollingImagePicker::panelHeight() const {
    return static_cast<float>(buttonTitles_.size()) * PKSheet::kButtonPitch + PKSheet::kCancelArea + kStripArea;
}

void PKSideScrollingImagePicker::LoadUI() {
    selectedIndexes_.clear();
    const cg::Size screen = ui::Screen::mainScreen().bounds().size;
    const double W = screen.width, H = screen.height, h = panelHeight();
    setFrame({0, 0, W, H});
    setBackgroundColor(ui::Color::clearColor());
    // The platform is of a version with blur views: the panel is one, in the light style.
    auto panel = std::make_shared<ui::VisualEffectView>(ui::BlurEffect::effectWithStyle(ui::BlurEffectStyle::Light),
                                                        cg::Rect{0, H, W, h});
    panel->setBackgroundColor(PKSheet::panelColor());
    addSubview(panel);
    bottomView_ = panel;
    auto backdrop = std::make_shared<ui::View>(cg::Rect{0, 0, W, H});
    backdrop->setBackgroundColor(ui::Color::clearColor());
    backdrop->setTag(kBackdropTag);
    addSubview(backdrop);
    backdrop_ = backdrop;
    auto self = std::static_pointer_cast<PKSideScrollingImagePicker>(shared_from_this());
    PKSheet::addButtons(*panel, h, cancelStr_, buttonTitles_, self, ui::Action(&PKSideScrollingImagePicker::SelectedButtons));

    auto layout = std::make_shared<SideScrollingLayout>();
    layout->setScrollDirection(ui::CollectionViewScrollDirection::Horizontal);
    layout->setMinimumInteritemSpacing(5);
    auto strip = std::make_shared<ui::CollectionView>(cg::Rect{0, 5, W, kStripHeight}, layout);
    strip->setDelegate(std::weak_ptr<ui::CollectionViewDelegate>(self));
    strip->setDataSource(std::weak_ptr<ui::CollectionViewDataSource>(self));
    strip->setAllowsMultipleSelection(true);
    strip->setAllowsSelection(true);
    strip->setShowsHorizontalScrollIndicator(false);
    strip->setBackgroundColor(ui::Color::clearColor());
    strip->setContentInset({0, 6, 0, 6});
    strip->registerClass<HCollectionViewCell>(std::string(kCellIdentifier));
    strip->registerClass<SideScrollingCheckCell>(std::string(SideScrollingLayout::kCheckKind), std::string(kCheckIdentifier));
    panel->addSubview(strip);
    collectionView_ = strip;
    indexPathToCheckViewTable_.clear();

    indicator_ = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorViewStyle::White);
    indicator_->setFrame({0, 0, 20, 20});
    indicator_->setCenter({strip->frame().size.width / 2, strip->frame().size.height / 2});
    strip->addSubview(indicator_);
    indicator_->startAnimating();

    std::weak_ptr<PKSideScrollingImagePicker> weak = self;
    lib()->setGetImageBlock([weak](const std::vector<std::shared_ptr<al::Asset>>& assets) {
        auto sheet = weak.lock();
        if (!sheet) return;
        sheet->allArr_ = assets;
        if (auto shown = sheet->CollectionView()) shown->reloadData();
        if (sheet->indicator_) sheet->indicator_->stopAnimating();
    });

    ui::View::animateWithSpring(
        PKSheet::kShowDuration, 0, PKSheet::kDamping, 0, ui::ViewAnimationOptionLayoutSubviews,
        [backdrop, panel, W, H, h] {
            backdrop->setFrame({0, 0, W, H - h});
            backdrop->setBackgroundColor(ui::Color::colorWithRed(0, 0, 0, 0.4));
            panel->setFrame({0, H - h, W, h + PKSheet::kOvershoot});
        },
        [weak, backdrop, panel, W, H, h](bool) {
            panel->setFrame({0, H - h, W, h});
            auto sheet = weak.lock();
            if (!sheet) return;
            auto tap = std::make_shared<ui::TapGestureRecognizer>(sheet, ui::Action(&PKSideScrollingImagePicker::dismiss));
            tap->setDelegate(std::weak_ptr<ui::GestureRecognizerDelegate>(sheet));
            backdrop->addGestureRecognizer(tap);
        });
}

void PKSideScrollingImagePicker::DismissBlock(std::function<void(bool finished)> block) {
    const cg::Size screen = ui::Screen::mainScreen().bounds().size;
    auto self = std::static_pointer_cast<PKSideScrollingImagePicker>(shared_from_this());
    auto panel = BottomView();
    auto backdrop = backdrop_.lock();
    const double h = panelHeight();
    ui::View::animateWithSpring(
        PKSheet::kHideDuration, 0, PKSheet::kDamping, 0, ui::ViewAnimationOptionLayoutSubviews,
        [panel, backdrop, screen, h] {
            if (backdrop) {
                backdrop->setFrame({{0, 0}, screen});
                backdrop->setBackgroundColor(ui::Color::colorWithRed(0, 0, 0, 0));
            }
            if (panel) panel->setFrame({0, screen.height, screen.width, h});
        },
        [self, block = std::move(block)](bool finished) {
            if (block) block(finished);
            self->removeFromSuperview();
        });
}

void PKSideScrollingImagePicker::SelectedButtons(ui::Button* button) {
    if (!button) return;
    const std::int64_t number = button->tag() - PKSheet::kCancelTag;
    std::weak_ptr<PKSideScrollingImagePicker> weak = std::static_pointer_cast<PKSideScrollingImagePicker>(shared_from_this());
    DismissBlock([weak, number](bool) {
        auto sheet = weak.lock();
        if (sheet && sheet->seletedImages_) sheet->seletedImages_(sheet->selectedIndexes_, number);
    });
}

void PKSideScrollingImagePicker::dismiss(ui::TapGestureRecognizer* tap) {
    auto panel = BottomView();
    if (!tap || !panel) return;
    if (!cg::rectContainsPoint(frame(), tap->locationInView(panel.get()))) DismissBlock({});
    else ns::Log::write("tap");
}

bool PKSideScrollingImagePicker::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Touch& touch) {
    return touch.view() && touch.view()->tag() == kBackdropTag;
}

void PKSideScrollingImagePicker::toggleSelectionAtIndexPath(const ns::IndexPath& path) {
    auto strip = CollectionView();
    auto cell = strip ? std::dynamic_pointer_cast<HCollectionViewCell>(strip->cellForItemAtIndexPath(path)) : nullptr;
    auto check = checkView(path);
    if (!cell || !cell->asset()) return;
    if (isMultipleSelection_) {
        selectedIndexes_.push_back(cell->asset());
        cell->setSelected(true);
        if (check) check->setChecked(true);
        std::weak_ptr<PKSideScrollingImagePicker> weak =
            std::static_pointer_cast<PKSideScrollingImagePicker>(shared_from_this());
        DismissBlock([weak](bool) {
            auto sheet = weak.lock();
            if (sheet && sheet->seletedImages_) sheet->seletedImages_(sheet->selectedIndexes_, kEndedByTap);
        });
    } else if (auto held = std::find(indexPathArr_.begin(), indexPathArr_.end(), path); held != indexPathArr_.end()) {
        std::erase(selectedIndexes_, cell->asset());
        indexPathArr_.erase(held);
        cell->setSelected(false);
        if (check) check->setChecked(false);
    } else {
        selectedIndexes_.push_back(cell->asset());
        cell->setSelected(true);
        if (check) check->setChecked(true);
        indexPathArr_.push_back(path);
    }
    updateFirstTitle();
}

void PKSideScrollingImagePicker::updateFirstTitle() {
    auto panel = BottomView();
    if (!panel || buttonTitles_.empty()) return;
    auto* first = dynamic_cast<ui::Button*>(panel->viewWithTag(PKSheet::kCancelTag + 1));
    if (!first) return;
    if (!selectedIndexes_.empty()) {
        first->setTitle("选择(" + std::to_string(selectedIndexes_.size()) + "张)", ui::ControlStateNormal);
        first->setTitleColor(ui::Color::colorWithRed(26 / 255.0, 178 / 255.0, 10 / 255.0, 1), ui::ControlStateNormal);
    } else {
        first->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
        first->setTitle(buttonTitles_.front(), ui::ControlStateNormal);
    }
}

std::int64_t PKSideScrollingImagePicker::collectionViewNumberOfItemsInSection(ui::CollectionView&, std::int64_t) {
    return static_cast<std::int64_t>(allArr_.size());
}

std::shared_ptr<ui::CollectionViewCell> PKSideScrollingImagePicker::collectionViewCellForItemAtIndexPath(
    ui::CollectionView& strip, const ns::IndexPath& path) {
    auto cell = std::static_pointer_cast<HCollectionViewCell>(
        strip.dequeueReusableCellWithReuseIdentifier(std::string(kCellIdentifier), path));
    cell->setAsset(allArr_.at(static_cast<std::size_t>(path.item())));
    return cell;
}

std::shared_ptr<ui::CollectionReusableView> PKSideScrollingImagePicker::collectionViewViewForSupplementaryElementOfKindAtIndexPath(
    ui::CollectionView& strip, const std::string& kind, const ns::IndexPath& path) {
    if (kind != SideScrollingLayout::kCheckKind) return nullptr;
    auto check = std::static_pointer_cast<SideScrollingCheckCell>(
        strip.dequeueReusableSupplementaryViewOfKind(kind, std::string(kCheckIdentifier), path));
    indexPathToCheckViewTable_[path] = check;
    check->setChecked(std::find(indexPathArr_.begin(), indexPathArr_.end(), path) != indexPathArr_.end());
    return check;
}

void PKSideScrollingImagePicker::collectionViewDidSelectItemAtIndexPath(ui::CollectionView& strip, const ns::IndexPath& path) {
    strip.scrollToItemAtIndexPath(path, ui::CollectionViewScrollPositionCenteredHorizontally, true);
    toggleSelectionAtIndexPath(path);
}

void PKSideScrollingImagePicker::collectionViewDidDeselectItemAtIndexPath(ui::CollectionView&, const ns::IndexPath& path) {
    toggleSelectionAtIndexPath(path);
}

std::optional<cg::Size> PKSideScrollingImagePicker::collectionViewLayoutSizeForItemAtIndexPath(ui::CollectionView& strip,
                                                                                               ui::CollectionViewLayout&,
                                                                                               const ns::IndexPath& path) {
    // The thumbnail's proportions are the picture's, which its header tells: the strip lays out every photo
    // of the roll, and makes thumbnails only for those it shows.
    const double height = strip.frame().size.height;
    const auto picture = allArr_.at(static_cast<std::size_t>(path.item()))->dimensions();
    if (!picture || picture->height <= 0) return cg::Size{height, height};
    return cg::Size{picture->width * height / picture->height, height};
}

}  // namespace ql
