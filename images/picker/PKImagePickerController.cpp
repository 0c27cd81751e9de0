#include "images/picker/PKImagePickerController.h"

#include <algorithm>
#include <limits>

#include "images/picker/PKPickerFrame.h"
#include "images/picker/PKPromptView.h"
#include "images/picker/PhotoAlbumManager.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/photos/CaptureDevice.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ql {

namespace {

// Strings-table formats are data: only count placeholders ("%ld", "%lu", "%d") and "%%" are filled, in
// order, so a translation can never read past the counts it is given.
std::string withCounts(std::string_view format, std::initializer_list<std::uint64_t> counts) {
    std::string text;
    auto next = counts.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        std::size_t length = 0;
        if (format.compare(i, 2, "%%") == 0) {
            text += '%';
            ++i;
            continue;
        }
        if (format.compare(i, 3, "%ld") == 0 || format.compare(i, 3, "%lu") == 0) length = 3;
        else if (format.compare(i, 2, "%d") == 0) length = 2;
        if (length && next != counts.end()) {
            text += std::to_string(*next++);
            i += length - 1;
        } else {
            text += format[i];
        }
    }
    return text;
}

}  // namespace

std::shared_ptr<al::AssetsFilter> PKAssetsFilterForType(std::uint64_t filterType) {
    switch (filterType) {
        case 1: return al::AssetsFilter::allPhotos();
        case 2: return al::AssetsFilter::allVideos();
        default: return al::AssetsFilter::allAssets();
    }
}

// ---- Lifecycle ----

void PKImagePickerController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(ui::Color::whiteColor());
    setUpProperties();
    setEdgesForExtendedLayout(ui::RectEdgeNone);
    collectionView();
    setUpToolbar();
    loadAssetsGroups();
}

void PKImagePickerController::setUpProperties() {
    groupTypes_ = {al::AssetsGroupLibrary, al::AssetsGroupSavedPhotos, al::AssetsGroupAlbum};
    navigationItem()->setTitleView(titleButton());
    if (auto done = navigationItem()->rightBarButtonItem()) done->setEnabled(false);
}

const std::shared_ptr<al::AssetsLibrary>& PKImagePickerController::assetsLibrary() {
    if (!assetsLibrary_) assetsLibrary_ = std::make_shared<al::AssetsLibrary>();
    return assetsLibrary_;
}

// ---- Albums ----

void PKImagePickerController::loadAssetsGroups() {
    std::weak_ptr<PKImagePickerController> weak = self();
    loadAssetsGroupsWithTypes(groupTypes_, [weak](const std::vector<std::shared_ptr<al::AssetsGroup>>& groups) {
        auto picker = weak.lock();
        if (!picker) return;
        if (groups.empty()) {
            picker->titleButton()->setEnabled(false);
            return;
        }
        picker->titleButton()->setEnabled(true);
        picker->setSelectAssetsGroup(groups.front());
        picker->assetsGroupsView()->setAssetsGroups(groups);
        PKAssetsGroupsView::Counts counts;
        for (const auto& record : picker->selectedAssetArray_) {
            if (record->groupPropertyID()) ++counts[*record->groupPropertyID()];
        }
        picker->assetsGroupsView()->setSelectedAssetCount(std::move(counts));
        picker->resetFinishFrame();
    });
}

void PKImagePickerController::loadAssetsGroupsWithTypes(const std::vector<std::uint32_t>& types, GroupsCompletion completion) {
    struct Loading {
        std::vector<std::shared_ptr<al::AssetsGroup>> groups;
        std::size_t finished = 0;
    };
    auto loading = std::make_shared<Loading>();
    // A type that fails still ends its part of the loading, so the list completes with what the others found.
    const auto typeDone = [loading, types, completion] {
        if (++loading->finished == types.size() && completion) completion(sortAssetsGroups(loading->groups, types));
    };
    std::weak_ptr<PKImagePickerController> weak = self();
    for (std::uint32_t type : types) {
        assetsLibrary()->enumerateGroupsWithTypes(
            type,
            [weak, loading, typeDone](const std::shared_ptr<al::AssetsGroup>& group, bool*) {
                auto picker = weak.lock();
                if (!picker) return;
                if (!group) return typeDone();
                group->setAssetsFilter(PKAssetsFilterForType(picker->filterType_));
                if (group->numberOfAssets() > 0) loading->groups.push_back(group);
            },
            [weak, typeDone](const ns::Error&) {
                auto picker = weak.lock();
                if (!picker) return;
                if (!picker->alert_) {
                    picker->alert_ = std::make_shared<ui::AlertView>(
                        "提示", "此应用程序没有权限来访问您的照片或视频，您可以在\"隐私设置\"里启用访问",
                        std::weak_ptr<ui::AlertViewDelegate>(picker), "确定");
                    picker->alert_->show();
                }
                typeDone();
            });
    }
}

std::vector<std::shared_ptr<al::AssetsGroup>> PKImagePickerController::sortAssetsGroups(
    const std::vector<std::shared_ptr<al::AssetsGroup>>& groups, const std::vector<std::uint32_t>& typesOrder) {
    const auto position = [&](const al::AssetsGroup& group) {
        auto found = std::find(typesOrder.begin(), typesOrder.end(), static_cast<std::uint32_t>(group.type()));
        return found == typesOrder.end() ? std::numeric_limits<std::size_t>::max()
                                         : static_cast<std::size_t>(found - typesOrder.begin());
    };
    std::vector<std::shared_ptr<al::AssetsGroup>> sorted;
    sorted.reserve(groups.size());
    for (const auto& group : groups) {
        const std::size_t place = position(*group);
        auto before = std::find_if(sorted.begin(), sorted.end(), [&](const auto& held) { return position(*held) > place; });
        sorted.insert(before, group);
    }
    return sorted;
}

void PKImagePickerController::setSelectAssetsGroup(const std::shared_ptr<al::AssetsGroup>& group) {
    if (group == selectAssetsGroup_) return;
    selectAssetsGroup_ = group;
    layOutTitle(group ? group->name() : std::string());
    loadAllAssetsForGroups();
}

void PKImagePickerController::loadAllAssetsForGroups() {
    std::vector<std::shared_ptr<al::Asset>> assets;
    std::uint64_t all = 0, photos = 0, videos = 0;
    if (selectAssetsGroup_) {
        selectAssetsGroup_->setAssetsFilter(PKAssetsFilterForType(filterType_));
        selectAssetsGroup_->enumerateAssetsUsingBlock([&](const std::shared_ptr<al::Asset>& asset, std::int64_t, bool*) {
            if (!asset) return;
            ++all;
            if (asset->type() == al::AssetType::Photo) ++photos;
            else if (asset->type() == al::AssetType::Video) ++videos;
            assets.push_back(asset);
        });
    }
    assetsArray_ = std::move(assets);
    numberOfAssets_ = all;
    numberOfPhotos_ = photos;
    numberOfVideos_ = videos;
    auto& grid = *collectionView();
    grid.reloadData();
    const std::int64_t items = grid.numberOfItemsInSection(0);
    if (items > 0) {
        grid.scrollToItemAtIndexPath({0, items - 1}, ui::CollectionViewScrollPositionBottom, true);
    }
}

// ---- Choice ----

std::uint64_t PKImagePickerController::effectiveMinimum() const { return std::max<std::uint64_t>(minimumNumberOfSelection_, 1); }

bool PKImagePickerController::maximumInForce() const { return effectiveMinimum() <= maximumNumberOfSelection_; }

bool PKImagePickerController::validateNumberOfSelections(std::uint64_t count) const {
    if (maximumInForce()) return effectiveMinimum() <= count && count <= maximumNumberOfSelection_;
    return count >= effectiveMinimum();
}

bool PKImagePickerController::refusesAnotherPhoto() {
    if (!maximumInForce() || selectedAssetArray_.size() < maximumNumberOfSelection_) return false;
    showMaximumSelectionPrompt(maximumNumberOfSelection_);
    return true;
}

void PKImagePickerController::addAssetsObject(const ns::URL& assetURL) {
    auto record = std::make_shared<PKAssets>();
    if (selectAssetsGroup_) {
        record->setGroupPropertyID(selectAssetsGroup_->persistentID());
        record->setGroupPropertyURL(selectAssetsGroup_->url());
    }
    record->setAssetPropertyURL(assetURL);
    selectedAssetArray_.push_back(record);
    assetsGroupsView()->addAssetSelected(*record);
}

void PKImagePickerController::removeAssetsObject(const ns::URL& assetURL) {
    auto found = std::find_if(selectedAssetArray_.begin(), selectedAssetArray_.end(),
                              [&](const auto& record) { return record->assetPropertyURL() == assetURL; });
    if (found == selectedAssetArray_.end()) return;
    assetsGroupsView()->removeAssetSelected(**found);
    selectedAssetArray_.erase(found);
}

bool PKImagePickerController::assetIsSelected(const ns::URL& assetURL) const {
    return std::any_of(selectedAssetArray_.begin(), selectedAssetArray_.end(),
                       [&](const auto& record) { return record->assetPropertyURL() == assetURL; });
}

// ---- Grid ----

const std::shared_ptr<ui::CollectionView>& PKImagePickerController::collectionView() {
    if (!collectionView_) {
        const cg::Rect screen = ui::Screen::mainScreen().bounds();
        const double side = (screen.size.width - 10) * 0.25;
        auto layout = std::make_shared<ui::CollectionViewFlowLayout>();
        layout->setScrollDirection(ui::CollectionViewScrollDirection::Vertical);
        layout->setItemSize({side, side});
        layout->setMinimumLineSpacing(2);
        layout->setMinimumInteritemSpacing(2);
        layout->setSectionInset({2, 2, 2, 2});
        collectionView_ = std::make_shared<ui::CollectionView>(
            cg::Rect{0, 0, width(*view()), screen.size.height - 64 - 44}, layout);
        collectionView_->registerClass([](const cg::Rect& frame) { return PKAssetsViewCell::make(frame); },
                                       std::string(kCellIdentifier));
        collectionView_->registerClass<PKAssetsCollectionFooterView>(std::string(ui::CollectionElementKindSectionFooter),
                                                                     std::string(kFooterIdentifier));
        collectionView_->setBackgroundColor(ui::Color::clearColor());
        collectionView_->setShowsHorizontalScrollIndicator(false);
        collectionView_->setShowsVerticalScrollIndicator(false);
        collectionView_->setDataSource(std::weak_ptr<ui::CollectionViewDataSource>(self()));
        collectionView_->setDelegate(std::weak_ptr<ui::CollectionViewDelegate>(self()));
        view()->addSubview(collectionView_);
    }
    return collectionView_;
}

std::int64_t PKImagePickerController::collectionViewNumberOfItemsInSection(ui::CollectionView&, std::int64_t) {
    return static_cast<std::int64_t>(assetsArray_.size()) + 1;
}

std::shared_ptr<ui::CollectionViewCell> PKImagePickerController::collectionViewCellForItemAtIndexPath(ui::CollectionView& grid,
                                                                                                      const ns::IndexPath& path) {
    auto cell = std::static_pointer_cast<PKAssetsViewCell>(
        grid.dequeueReusableCellWithReuseIdentifier(std::string(kCellIdentifier), path));
    cell->setDelegate(std::weak_ptr<PKAssetsViewCellDelegate>(self()));
    if (path.item() == 0) {
        cell->setAsset(nullptr);
    } else {
        const auto& asset = assetsArray_.at(static_cast<std::size_t>(path.item() - 1));
        cell->setAsset(asset);
        cell->setIsSelected(assetIsSelected(asset->assetURL()));
    }
    return cell;
}

std::string PKImagePickerController::footerText() const {
    const auto& bundle = ns::Bundle::main();
    const auto text = [&](std::string_view key) { return bundle.localizedString(key, "", kStringsTable); };
    switch (filterType_) {
        case 1: return withCounts(text(numberOfPhotos_ == 1 ? "format_photo" : "format_photos"), {numberOfPhotos_});
        case 2: return withCounts(text(numberOfVideos_ == 1 ? "format_video" : "format_videos"), {numberOfVideos_});
        default: {
            const char* key = numberOfPhotos_ == 1 ? (numberOfVideos_ == 1 ? "format_photo_and_video" : "format_photo_and_videos")
                                                   : (numberOfVideos_ == 1 ? "format_photos_and_video" : "format_photos_and_videos");
            return withCounts(text(key), {numberOfPhotos_, numberOfVideos_});
        }
    }
}

std::shared_ptr<ui::CollectionReusableView> PKImagePickerController::collectionViewViewForSupplementaryElementOfKindAtIndexPath(
    ui::CollectionView& grid, const std::string& kind, const ns::IndexPath& path) {
    if (kind != ui::CollectionElementKindSectionFooter) return nullptr;
    auto footer = std::static_pointer_cast<PKAssetsCollectionFooterView>(
        grid.dequeueReusableSupplementaryViewOfKind(kind, std::string(kFooterIdentifier), path));
    footer->textLabel()->setText(footerText());
    return footer;
}

std::optional<cg::Size> PKImagePickerController::collectionViewLayoutSizeForItemAtIndexPath(ui::CollectionView&,
                                                                                            ui::CollectionViewLayout&,
                                                                                            const ns::IndexPath&) {
    const double side = (ui::Screen::mainScreen().bounds().size.width - 10) * 0.25;
    return cg::Size{side, side};
}

std::optional<cg::EdgeInsets> PKImagePickerController::collectionViewLayoutInsetForSectionAtIndex(ui::CollectionView&,
                                                                                                  ui::CollectionViewLayout&,
                                                                                                  std::int64_t) {
    return cg::EdgeInsets{2, 2, 2, 2};
}

std::optional<cg::Size> PKImagePickerController::collectionViewLayoutReferenceSizeForFooterInSection(ui::CollectionView& grid,
                                                                                                     ui::CollectionViewLayout&,
                                                                                                     std::int64_t) {
    return cg::Size{width(grid), 0};
}

void PKImagePickerController::collectionViewDidSelectItemAtIndexPath(ui::CollectionView&, const ns::IndexPath& path) {
    if (path.item() >= 1) browerPhotoes(assetsArray_, path.item() - 1);
}

void PKImagePickerController::didSelectItemAssetsViewCell(PKAssetsViewCell& cell) {
    if (refusesAnotherPhoto() || !cell.asset()) return;
    addAssetsObject(cell.asset()->assetURL());
    resetFinishFrame();
    cell.setIsSelected(true);
}

void PKImagePickerController::didDeselectItemAssetsViewCell(PKAssetsViewCell& cell) {
    if (!cell.asset()) return;
    removeAssetsObject(cell.asset()->assetURL());
    resetFinishFrame();
    cell.setIsSelected(false);
}

// ---- Preview ----

void PKImagePickerController::previewPhotoesSelected(ns::Object*, ui::Event*) { passSelectedAssets(); }

void PKImagePickerController::passSelectedAssets() {
    // Every lookup answers, found or not; the preview opens, in the order chosen, with the photos still in
    // the library once the last has answered.
    struct Lookup {
        std::vector<std::shared_ptr<al::Asset>> assets;
        std::size_t unanswered = 0;
    };
    std::vector<ns::URL> urls;
    for (const auto& record : selectedAssetArray_) {
        if (record->assetPropertyURL()) urls.push_back(*record->assetPropertyURL());
    }
    auto lookup = std::make_shared<Lookup>();
    lookup->assets.resize(urls.size());
    lookup->unanswered = urls.size();
    std::weak_ptr<PKImagePickerController> weak = self();
    const auto answered = [weak, lookup] {
        if (--lookup->unanswered != 0) return;
        std::erase(lookup->assets, nullptr);
        auto picker = weak.lock();
        if (picker && !lookup->assets.empty()) picker->browerPhotoes(lookup->assets, 0);
    };
    for (std::size_t i = 0; i < urls.size(); ++i) {
        assetsLibrary()->assetForURL(
            urls[i],
            [lookup, i, answered](const std::shared_ptr<al::Asset>& asset) {
                lookup->assets[i] = asset;
                answered();
            },
            [answered](const ns::Error&) { answered(); });
    }
}

void PKImagePickerController::browerPhotoes(const std::vector<std::shared_ptr<al::Asset>>& assets, std::int64_t page) {
    if (isShow_) return;
    auto window = ui::Application::sharedApplication().keyWindow();
    if (!window) return;
    isShow_ = true;
    auto browser = PKPhotoBrowser::make(ui::Screen::mainScreen().bounds());
    browser->setDelegate(std::weak_ptr<PKPhotoBrowserDelegate>(self()));
    browser->setPickerController(self());
    browser->setCurrentPage(page);
    browser->setAssetsArray(assets);
    std::weak_ptr<PKImagePickerController> weak = self();
    browser->show(true, [weak] {
        if (auto picker = weak.lock()) picker->isShow_ = false;
    });
}

void PKImagePickerController::selectionChangedInPreview() {
    resetFinishFrame();
    collectionView()->reloadData();
}

void PKImagePickerController::photoBrowserDidSelectAtALAsset(PKPhotoBrowser&, const std::shared_ptr<al::Asset>& asset) {
    addAssetsObject(asset->assetURL());
    selectionChangedInPreview();
}

void PKImagePickerController::photoBrowserDidDeselectAtALAsset(PKPhotoBrowser&, const std::shared_ptr<al::Asset>& asset) {
    removeAssetsObject(asset->assetURL());
    selectionChangedInPreview();
}

void PKImagePickerController::photoBrowserDidSelectAtIndex(PKPhotoBrowser& browser, std::int64_t index) {
    if (index < 0 || index >= static_cast<std::int64_t>(assetsArray_.size())) return;
    photoBrowserDidSelectAtALAsset(browser, assetsArray_[static_cast<std::size_t>(index)]);
}

void PKImagePickerController::photoBrowserDidDeselectAtIndex(PKPhotoBrowser& browser, std::int64_t index) {
    if (index < 0 || index >= static_cast<std::int64_t>(assetsArray_.size())) return;
    photoBrowserDidDeselectAtALAsset(browser, assetsArray_[static_cast<std::size_t>(index)]);
}

// ---- Camera ----

void PKImagePickerController::startPhotoAssetsViewCell(PKAssetsViewCell&) {
    if (refusesAnotherPhoto()) return;
    if (!validateCamera()) {
        showAlert("相机权限受限,请进入设置打开相机权限", {});
        return;
    }
    auto camera = std::make_shared<ui::ImagePickerController>();
    camera->setSourceType(ui::ImagePickerControllerSourceType::Camera);
    camera->setAllowsEditing(false);
    camera->setDelegate(std::weak_ptr<ui::ImagePickerControllerDelegate>(self()));
    presentViewController(camera, true);
}

bool PKImagePickerController::validateCamera() const {
    const auto status = av::CaptureDevice::authorizationStatusForMediaType(av::MediaTypeVideo);
    if (status == av::AuthorizationStatus::Restricted || status == av::AuthorizationStatus::Denied) {
        ns::Log::write("相机权限受限");
        return false;
    }
    return ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceType::Camera) &&
           ui::ImagePickerController::isCameraDeviceAvailable(ui::ImagePickerControllerCameraDevice::Rear);
}

void PKImagePickerController::showAlert(const std::string& message, std::weak_ptr<ui::AlertViewDelegate> delegate) {
    std::make_shared<ui::AlertView>("提示", message, std::move(delegate), "确定")->show();
}

void PKImagePickerController::imagePickerControllerDidFinishPickingMediaWithInfo(ui::ImagePickerController& camera,
                                                                                 const ns::Dictionary& info) {
    auto image = info[ui::ImagePickerControllerOriginalImage].asObject<ui::Image>();
    std::optional<std::string> album;
    if (selectAssetsGroup_) album = selectAssetsGroup_->name();
    std::weak_ptr<PKImagePickerController> weak = self();
    PhotoAlbumManager::sharedManager()->saveImage(
        image, album, [weak](const std::shared_ptr<al::Asset>& asset, const std::optional<ns::Error>& error) {
            auto picker = weak.lock();
            if (!picker || !asset || error) return;
            picker->addAssetsObject(asset->assetURL());
            picker->finishPhotoDidSelected();
        });
    camera.dismissViewControllerAnimated(false);
}

// ---- Results ----

void PKImagePickerController::finishPhotoDidSelected(ns::Object*, ui::Event*) {
    if (auto delegate = this->delegate()) {
        delegate->imagePickerControllerDidSelectAssets(*this, selectedAssetArray_, selectButton()->isSelected());
    }
}

void PKImagePickerController::cancelEventDidTouched(ns::Object*, ui::Event*) {
    if (auto delegate = this->delegate()) delegate->imagePickerControllerDidCancel(*this);
}

void PKImagePickerController::selectOriginImage() { selectButton()->setSelected(!selectButton()->isSelected()); }

// ---- Album list ----

void PKImagePickerController::assetsGroupsViewDidCancel(PKAssetsGroupsView&) { assetsGroupsDidDeselected(); }

void PKImagePickerController::assetsGroupsViewDidSelectAssetsGroup(PKAssetsGroupsView&,
                                                                   const std::shared_ptr<al::AssetsGroup>& group) {
    assetsGroupsDidDeselected();
    setSelectAssetsGroup(group);
}

}  // namespace ql
