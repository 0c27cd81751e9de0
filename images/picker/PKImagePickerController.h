#pragma once
// PKImagePickerController: lets the user choose several photos from the photo library, album by album,
// or take a new one with the camera, and hands the choice to its delegate as PKAssets records. One album
// shows at a time as a grid of square thumbnails led by a camera item; the navigation title drops down
// the album list; a toolbar carries the preview button and a finish button that counts the choice.
// Tapping a thumbnail opens the full-screen preview. The picker never dismisses itself.
//
// The choice stays within a minimum (at least 1) and a maximum, which is in force only while it is not
// below the minimum, so a maximum of 0 means no upper bound in the grid and for the camera.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "images/picker/PKAssets.h"
#include "images/picker/PKAssetsGroupsView.h"
#include "images/picker/PKAssetsViewCell.h"
#include "images/picker/PKPhotoBrowser.h"
#include "platform/photos/AssetsLibrary.h"
#include "platform/photos/ImagePickerController.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Button.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/CollectionViewFlowLayout.h"
#include "platform/ui/Label.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/ViewController.h"

namespace ql {

class PKImagePickerController;

// Every member is optional.
class PKImagePickerControllerDelegate {
public:
    virtual ~PKImagePickerControllerDelegate() = default;
    // Declared for receivers of single records; the picker never sends it.
    virtual void imagePickerControllerDidSelectAsset(PKImagePickerController&, const std::shared_ptr<PKAssets>&, bool) {}
    // The result: the picker's own list of records, and whether the original-image option is on.
    virtual void imagePickerControllerDidSelectAssets(PKImagePickerController&, const std::vector<std::shared_ptr<PKAssets>>&,
                                                      bool) {}
    virtual void imagePickerControllerDidCancel(PKImagePickerController&) {}
};

// 0 photos and videos, 1 photos only, 2 videos only.
std::shared_ptr<al::AssetsFilter> PKAssetsFilterForType(std::uint64_t filterType);

class PKImagePickerController : public ui::ViewController,
                                public PKAssetsGroupsViewDelegate,
                                public ui::CollectionViewDataSource,
                                public ui::CollectionViewDelegateFlowLayout,
                                public PKAssetsViewCellDelegate,
                                public PKPhotoBrowserDelegate,
                                public ui::ImagePickerControllerDelegate,
                                public ui::AlertViewDelegate {
    QL_OBJECT_NAMED(PKImagePickerController, ui::ViewController, "PKImagePickerController")
public:
    static constexpr std::string_view kCellIdentifier = "kPKImagePickerCellIdentifier";
    static constexpr std::string_view kFooterIdentifier = "kPKAssetsFooterViewIdentifier";
    static constexpr std::string_view kStringsTable = "PKImagePickerController";
    static constexpr double kDropDownDuration = 0.3;

    PKImagePickerController() = default;

    // ---- Set by the caller before presenting ----
    std::shared_ptr<PKImagePickerControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<PKImagePickerControllerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::uint64_t filterType() const { return filterType_; }
    void setFilterType(std::uint64_t type) { filterType_ = type; }
    bool showsCancelButton() const { return showsCancelButton_; }
    void setShowsCancelButton(bool shows);
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool allows) { allowsMultipleSelection_ = allows; }
    std::uint64_t minimumNumberOfSelection() const { return minimumNumberOfSelection_; }
    void setMinimumNumberOfSelection(std::uint64_t minimum) { minimumNumberOfSelection_ = minimum; }
    std::uint64_t maximumNumberOfSelection() const { return maximumNumberOfSelection_; }
    void setMaximumNumberOfSelection(std::uint64_t maximum) { maximumNumberOfSelection_ = maximum; }

    // ---- State ----
    const std::vector<std::shared_ptr<PKAssets>>& selectedAssetArray() const { return selectedAssetArray_; }
    const std::shared_ptr<al::AssetsLibrary>& assetsLibrary();
    const std::vector<std::uint32_t>& groupTypes() const { return groupTypes_; }
    void setGroupTypes(std::vector<std::uint32_t> types) { groupTypes_ = std::move(types); }
    bool showsAssetsGroupSelection() const { return showsAssetsGroupSelection_; }
    void setShowsAssetsGroupSelection(bool shows);
    const std::shared_ptr<al::AssetsGroup>& selectAssetsGroup() const { return selectAssetsGroup_; }
    void setSelectAssetsGroup(const std::shared_ptr<al::AssetsGroup>& group);
    const std::vector<std::shared_ptr<al::Asset>>& assetsArray() const { return assetsArray_; }
    std::uint64_t numberOfAssets() const { return numberOfAssets_; }
    std::uint64_t numberOfPhotos() const { return numberOfPhotos_; }
    std::uint64_t numberOfVideos() const { return numberOfVideos_; }
    bool isShow() const { return isShow_; }

    // ---- Views, each built on first read ----
    const std::shared_ptr<ui::Label>& titleLabel();
    const std::shared_ptr<ui::Button>& titleButton();
    const std::shared_ptr<ui::Button>& arrowImageView();
    const std::shared_ptr<ui::Button>& touchButton();
    const std::shared_ptr<ui::View>& overlayView();
    const std::shared_ptr<PKAssetsGroupsView>& assetsGroupsView();
    const std::shared_ptr<ui::Toolbar>& toolbar();
    const std::shared_ptr<ui::Button>& selectButton();
    const std::shared_ptr<ui::Button>& finishButton();
    const std::shared_ptr<ui::Label>& finishLabel();
    const std::shared_ptr<ui::CollectionView>& collectionView();

    // ---- Lifecycle ----
    void viewDidLoad() override;
    void setUpProperties();

    // ---- Albums ----
    void loadAssetsGroups();
    using GroupsCompletion = std::function<void(const std::vector<std::shared_ptr<al::AssetsGroup>>& groups)>;
    void loadAssetsGroupsWithTypes(const std::vector<std::uint32_t>& types, GroupsCompletion completion);
    // Stable: by each group's place in the order (a type not in it goes last), the library's order within a type.
    static std::vector<std::shared_ptr<al::AssetsGroup>> sortAssetsGroups(const std::vector<std::shared_ptr<al::AssetsGroup>>& groups,
                                                                          const std::vector<std::uint32_t>& typesOrder);
    void loadAllAssetsForGroups();

    // ---- Choice ----
    bool validateNumberOfSelections(std::uint64_t count) const;
    void addAssetsObject(const ns::URL& assetURL);
    void removeAssetsObject(const ns::URL& assetURL);
    bool assetIsSelected(const ns::URL& assetURL) const;

    // ---- Preview ----
    void previewPhotoesSelected(ns::Object* sender = nullptr, ui::Event* event = nullptr);
    void passSelectedAssets();
    void browerPhotoes(const std::vector<std::shared_ptr<al::Asset>>& assets, std::int64_t page);

    // ---- Camera ----
    bool validateCamera() const;
    void showAlert(const std::string& message, std::weak_ptr<ui::AlertViewDelegate> delegate);

    // ---- Results ----
    void finishPhotoDidSelected(ns::Object* sender = nullptr, ui::Event* event = nullptr);
    void cancelEventDidTouched(ns::Object* sender = nullptr, ui::Event* event = nullptr);
    void selectOriginImage();

    // ---- Album drop-down and toolbar ----
    void assetsGroupDidSelected(ns::Object* sender = nullptr, ui::Event* event = nullptr);
    void assetsGroupsDidDeselected(ns::Object* sender = nullptr, ui::Event* event = nullptr);
    void showAssetsGroupView();
    void hideAssetsGroupView();
    void resetFinishFrame();

    // ---- Grid ----
    std::int64_t collectionViewNumberOfItemsInSection(ui::CollectionView&, std::int64_t) override;
    std::shared_ptr<ui::CollectionViewCell> collectionViewCellForItemAtIndexPath(ui::CollectionView&, const ns::IndexPath&) override;
    std::shared_ptr<ui::CollectionReusableView> collectionViewViewForSupplementaryElementOfKindAtIndexPath(
        ui::CollectionView&, const std::string& kind, const ns::IndexPath&) override;
    std::optional<cg::Size> collectionViewLayoutSizeForItemAtIndexPath(ui::CollectionView&, ui::CollectionViewLayout&,
                                                                       const ns::IndexPath&) override;
    std::optional<cg::EdgeInsets> collectionViewLayoutInsetForSectionAtIndex(ui::CollectionView&, ui::CollectionViewLayout&,
                                                                             std::int64_t) override;
    std::optional<cg::Size> collectionViewLayoutReferenceSizeForFooterInSection(ui::CollectionView&, ui::CollectionViewLayout&,
                                                                                std::int64_t) override;
    void collectionViewDidSelectItemAtIndexPath(ui::CollectionView&, const ns::IndexPath& path) override;

    // ---- Cells, preview, camera, album list and alert ----
    void startPhotoAssetsViewCell(PKAssetsViewCell& cell) override;
    void didSelectItemAssetsViewCell(PKAssetsViewCell& cell) override;
    void didDeselectItemAssetsViewCell(PKAssetsViewCell& cell) override;
    void photoBrowserDidSelectAtALAsset(PKPhotoBrowser&, const std::shared_ptr<al::Asset>& asset) override;
    void photoBrowserDidDeselectAtALAsset(PKPhotoBrowser&, const std::shared_ptr<al::Asset>& asset) override;
    void photoBrowserDidSelectAtIndex(PKPhotoBrowser&, std::int64_t index) override;
    void photoBrowserDidDeselectAtIndex(PKPhotoBrowser&, std::int64_t index) override;
    void imagePickerControllerDidFinishPickingMediaWithInfo(ui::ImagePickerController& camera, const ns::Dictionary& info) override;
    void assetsGroupsViewDidCancel(PKAssetsGroupsView&) override;
    void assetsGroupsViewDidSelectAssetsGroup(PKAssetsGroupsView&, const std::shared_ptr<al::AssetsGroup>& group) override;
    void alertViewClickedButtonAtIndex(ui::AlertView&, std::int64_t) override {}

private:
    std::shared_ptr<PKImagePickerController> self() {
        return std::static_pointer_cast<PKImagePickerController>(shared_from_this());
    }
    std::uint64_t effectiveMinimum() const;
    bool maximumInForce() const;
    // Whether one more photo would go past the maximum in force; says so with the prompt.
    bool refusesAnotherPhoto();
    // The footer's text for the album on show, from the strings table.
    std::string footerText() const;
    // The title button grows and shrinks with the album's name, which stays in its middle.
    void layOutTitle(const std::string& name);
    void setUpToolbar();
    void selectionChangedInPreview();

    std::weak_ptr<PKImagePickerControllerDelegate> delegate_;
    std::uint64_t filterType_ = 0;
    bool showsCancelButton_ = false;
    bool allowsMultipleSelection_ = false;
    std::uint64_t minimumNumberOfSelection_ = 0;
    std::uint64_t maximumNumberOfSelection_ = 0;
    std::vector<std::shared_ptr<PKAssets>> selectedAssetArray_;
    std::shared_ptr<al::AssetsLibrary> assetsLibrary_;
    std::vector<std::uint32_t> groupTypes_;
    bool showsAssetsGroupSelection_ = false;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::Button> titleButton_;
    std::shared_ptr<ui::Button> arrowImageView_;
    std::shared_ptr<ui::Button> touchButton_;
    std::shared_ptr<ui::View> overlayView_;
    std::shared_ptr<PKAssetsGroupsView> assetsGroupsView_;
    std::shared_ptr<al::AssetsGroup> selectAssetsGroup_;
    std::vector<std::shared_ptr<al::Asset>> assetsArray_;
    std::uint64_t numberOfAssets_ = 0;
    std::uint64_t numberOfPhotos_ = 0;
    std::uint64_t numberOfVideos_ = 0;
    std::shared_ptr<ui::Toolbar> toolbar_;
    std::shared_ptr<ui::Button> selectButton_;
    std::shared_ptr<ui::Button> finishButton_;
    std::shared_ptr<ui::Label> finishLabel_;
    std::shared_ptr<ui::CollectionView> collectionView_;
    bool isShow_ = false;
    std::shared_ptr<ui::AlertView> alert_;
};

}  // namespace ql
