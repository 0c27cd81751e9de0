#pragma once
// PKSideScrollingImagePicker: a bottom sheet for picking photos from the camera roll: the action sheet's
// stacked buttons under a horizontally scrolling strip of thumbnails, each with a check mark that stays
// in view while its photo is partly scrolled off the right edge. The chosen photos and the button number
// (tag less 100: cancel 0, the titles 1 to n) reach the caller's block after the sheet has slid away;
// a pick ended by a tap in single-tap mode reports −1, which no button has.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "images/picker/SideScrolling.h"
#include "platform/foundation/IndexPath.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Button.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace ql {

class PKSideScrollingImagePicker : public ui::View,
                                   public ui::CollectionViewDataSource,
                                   public ui::CollectionViewDelegateFlowLayout,
                                   public ui::GestureRecognizerDelegate,
                                   public ui::AlertViewDelegate {
    QL_OBJECT_NAMED(PKSideScrollingImagePicker, ui::View, "PKSideScrollingImagePicker")
    struct Key {
        explicit Key() = default;
    };

public:
    static constexpr std::int64_t kBackdropTag = 999;
    static constexpr std::int64_t kEndedByTap = -1;
    static constexpr double kStripHeight = 168;
    static constexpr float kStripArea = 178;
    static constexpr std::string_view kCellIdentifier = "Cell";
    static constexpr std::string_view kCheckIdentifier = "CheckCell";
    using SelectionBlock = std::function<void(const std::vector<std::shared_ptr<al::Asset>>& assets, std::int64_t number)>;

    // Made by `make`, which lists the camera roll and shows the sheet once there are photos (at once when
    // access is granted): the strip and the buttons report to the sheet, which needs an owner first.
    explicit PKSideScrollingImagePicker(Key);
    static std::shared_ptr<PKSideScrollingImagePicker> make(std::string cancel, std::vector<std::string> titles);

    bool isMultipleSelection() const { return isMultipleSelection_; }
    void setIsMultipleSelection(bool multiple) { isMultipleSelection_ = multiple; }
    const SelectionBlock& SeletedImages() const { return seletedImages_; }
    void setSeletedImages(SelectionBlock block) { seletedImages_ = std::move(block); }
    const std::string& cancelStr() const { return cancelStr_; }
    const std::vector<std::string>& ButtonTitles() const { return buttonTitles_; }
    std::shared_ptr<ui::View> BottomView() const { return bottomView_.lock(); }
    std::shared_ptr<ui::CollectionView> CollectionView() const { return collectionView_.lock(); }
    std::shared_ptr<SideScrollingCheckCell> checkView(const ns::IndexPath& path) const;
    const std::vector<std::shared_ptr<al::Asset>>& allArr() const { return allArr_; }
    const std::vector<std::shared_ptr<al::Asset>>& selectedIndexes() const { return selectedIndexes_; }
    const std::vector<ns::IndexPath>& IndexPathArr() const { return indexPathArr_; }
    const std::shared_ptr<AssetsLibraryD>& lib();

    void LoadUI();
    void SelectedButtons(ui::Button* button);
    void dismiss(ui::TapGestureRecognizer* tap);
    void DismissBlock(std::function<void(bool finished)> block);
    void toggleSelectionAtIndexPath(const ns::IndexPath& path);

    std::int64_t collectionViewNumberOfItemsInSection(ui::CollectionView&, std::int64_t) override;
    std::shared_ptr<ui::CollectionViewCell> collectionViewCellForItemAtIndexPath(ui::CollectionView&, const ns::IndexPath&) override;
    std::shared_ptr<ui::CollectionReusableView> collectionViewViewForSupplementaryElementOfKindAtIndexPath(
        ui::CollectionView&, const std::string& kind, const ns::IndexPath& path) override;
    void collectionViewDidSelectItemAtIndexPath(ui::CollectionView&, const ns::IndexPath& path) override;
    void collectionViewDidDeselectItemAtIndexPath(ui::CollectionView&, const ns::IndexPath& path) override;
    std::optional<cg::Size> collectionViewLayoutSizeForItemAtIndexPath(ui::CollectionView&, ui::CollectionViewLayout&,
                                                                       const ns::IndexPath& path) override;
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Touch& touch) override;
    void alertViewClickedButtonAtIndex(ui::AlertView&, std::int64_t) override {}

private:
    double panelHeight() const;
    void updateFirstTitle();

    bool isMultipleSelection_ = false;
    SelectionBlock seletedImages_;
    std::string cancelStr_;
    std::vector<std::string> buttonTitles_;
    std::weak_ptr<ui::View> bottomView_;
    std::weak_ptr<ui::View> backdrop_;
    std::weak_ptr<ui::CollectionView> collectionView_;
    std::map<ns::IndexPath, std::weak_ptr<SideScrollingCheckCell>> indexPathToCheckViewTable_;
    std::vector<std::shared_ptr<al::Asset>> allArr_;
    std::vector<std::shared_ptr<al::Asset>> selectedIndexes_;
    std::vector<ns::IndexPath> indexPathArr_;
    std::shared_ptr<AssetsLibraryD> lib_;
    std::shared_ptr<ui::ActivityIndicatorView> indicator_;
};

}  // namespace ql
