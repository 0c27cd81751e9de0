#include "images/picker/SideScrolling.h"

#include <string>

#include "platform/foundation/Log.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"

namespace ql {

namespace {

const char* const kUnchecked = "ImageResources.bundle/FriendsSendsPicturesSelectBigNIcon.png";
const char* const kChecked = "ImageResources.bundle/FriendsSendsPicturesSelectBigYIcon.png";

}  // namespace

// ---- Camera roll ----

std::shared_ptr<AssetsLibraryD> AssetsLibraryD::make() {
    auto lister = std::make_shared<AssetsLibraryD>();
    lister->getCameraRollImages();
    return lister;
}

const std::shared_ptr<al::AssetsLibrary>& AssetsLibraryD::defaultAssetsLibrary() {
    static const auto& library = *new std::shared_ptr<al::AssetsLibrary>(std::make_shared<al::AssetsLibrary>());
    return library;
}

void AssetsLibraryD::getCameraRollImages() {
    assets_.clear();
    std::weak_ptr<AssetsLibraryD> weak = std::static_pointer_cast<AssetsLibraryD>(shared_from_this());
    defaultAssetsLibrary()->enumerateGroupsWithTypes(
        al::AssetsGroupSavedPhotos,
        [weak](const std::shared_ptr<al::AssetsGroup>& group, bool*) {
            auto lister = weak.lock();
            if (!lister) return;
            if (group) {
                group->setAssetsFilter(al::AssetsFilter::allPhotos());
                group->enumerateAssetsUsingBlock([&](const std::shared_ptr<al::Asset>& asset, std::int64_t, bool*) {
                    if (asset) lister->assets_.push_back(asset);
                });
            }
            if (lister->getImageBlock_) {
                const auto block = lister->getImageBlock_;
                block(lister->assets_);
                ns::Log::write("_assets---" + std::to_string(lister->assets_.size()));
            }
        },
        [](const ns::Error& error) { ns::Log::write("Error loading images " + error.description()); });
}

// ---- Thumbnail ----

HCollectionViewCell::HCollectionViewCell(const cg::Rect& frame) : ui::CollectionViewCell(frame) { setup(); }

void HCollectionViewCell::setup() {
    if (imageView_) return;
    imageView_ = std::make_shared<ui::ImageView>(bounds());
    imageView_->setContentMode(ui::ContentMode::ScaleAspectFit);
    imageView_->layer()->setCornerRadius(1);
    imageView_->setClipsToBounds(true);
    // Pinned to the cell on every side.
    imageView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    contentView()->addSubview(imageView_);
}

void HCollectionViewCell::setAsset(std::shared_ptr<al::Asset> asset) {
    if (asset == asset_) return;
    asset_ = std::move(asset);
    if (asset_) thumbnailLoader_.load(imageView_, *asset_, al::AssetImageKind::AspectRatioThumbnail);
    else thumbnailLoader_.cancel();
}

void HCollectionViewCell::prepareForReuse() {
    ui::CollectionViewCell::prepareForReuse();
    setSelected(false);
}

// ---- Check mark ----

SideScrollingCheckCell::SideScrollingCheckCell(const cg::Rect& frame) : ui::CollectionReusableView(frame) {
    auto mark = std::make_shared<ui::ImageView>(cg::Rect{0, 0, kSide, kSide});
    mark->setImage(ui::Image::imageNamed(kUnchecked));
    addSubview(mark);
    imageView_ = mark;
}

void SideScrollingCheckCell::setChecked(bool checked) {
    checked_ = checked;
    if (auto mark = imageView()) mark->setImage(ui::Image::imageNamed(checked ? kChecked : kUnchecked));
}

cg::Size SideScrollingCheckCell::defaultSize() {
    auto unchecked = ui::Image::imageNamed(kUnchecked);
    if (!unchecked) return {};
    return {unchecked->size().width / 2, unchecked->size().height / 2};
}

ui::View* SideScrollingCheckCell::hitTest(cg::Point point, ui::Event* event) {
    ui::View* hit = ui::CollectionReusableView::hitTest(point, event);
    return !open_ && hit == this ? nullptr : hit;
}

// ---- Layout ----

ui::LayoutAttributesList SideScrollingLayout::layoutAttributesForElementsInRect(const cg::Rect& rect) {
    ui::LayoutAttributesList all = ui::CollectionViewFlowLayout::layoutAttributesForElementsInRect(rect);
    const std::size_t items = all.size();
    for (std::size_t i = 0; i < items; ++i) {
        if (auto check = layoutAttributesForSupplementaryViewOfKind(std::string(kCheckKind), all[i]->indexPath())) {
            all.push_back(check);
        }
    }
    return all;
}

std::shared_ptr<ui::CollectionViewLayoutAttributes> SideScrollingLayout::layoutAttributesForSupplementaryViewOfKind(
    const std::string& kind, const ns::IndexPath& path) {
    if (kind != kCheckKind) return ui::CollectionViewFlowLayout::layoutAttributesForSupplementaryViewOfKind(kind, path);
    auto item = layoutAttributesForItemAtIndexPath(path);
    auto* strip = collectionView();
    if (!item || !strip) return nullptr;
    constexpr double half = SideScrollingCheckCell::kSide / 2, inset = 4;
    const cg::Rect frame = item->frame();
    const double visibleRight = strip->contentOffset().x + strip->bounds().size.width;
    double cx = cg::maxX(frame) - inset - half;
    // Stuck to the visible right edge while the photo runs past it, never left of the photo's own edge.
    if (cg::minX(frame) < visibleRight && cx + half >= visibleRight) cx = visibleRight - half;
    if (cx - half < cg::minX(frame) + inset) cx = cg::minX(frame) + inset + half;
    auto check = ui::CollectionViewLayoutAttributes::layoutAttributesForSupplementaryViewOfKind(kind, path);
    check->setSize({SideScrollingCheckCell::kSide, SideScrollingCheckCell::kSide});
    check->setZIndex(100);
    check->setCenter({cx, SideScrollingCheckCell::kSide * 0.5 + 3});
    return check;
}

}  // namespace ql
