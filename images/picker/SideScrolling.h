#pragma once
// The pieces of the side-scrolling picker's photo strip: AssetsLibraryD, which lists the camera roll's
// photos; HCollectionViewCell, one thumbnail; SideScrollingCheckCell, the check mark over a thumbnail;
// and SideScrollingLayout, a horizontal flow whose check marks stay in view while their photo is partly
// scrolled off the strip's right edge.

#include <functional>
#include <memory>
#include <vector>

#include "platform/photos/AssetImageLoader.h"
#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/CollectionViewCell.h"
#include "platform/ui/CollectionViewFlowLayout.h"
#include "platform/ui/ImageView.h"

namespace ql {

class AssetsLibraryD : public ns::Object {
    QL_OBJECT(AssetsLibraryD, ns::Object)
public:
    using ImagesBlock = std::function<void(const std::vector<std::shared_ptr<al::Asset>>& assets)>;

    AssetsLibraryD() = default;
    // Starts listing the camera roll at once.
    static std::shared_ptr<AssetsLibraryD> make();
    // One library for the process.
    static const std::shared_ptr<al::AssetsLibrary>& defaultAssetsLibrary();

    const ImagesBlock& GetImageBlock() const { return getImageBlock_; }
    void setGetImageBlock(ImagesBlock block) { getImageBlock_ = std::move(block); }
    const std::vector<std::shared_ptr<al::Asset>>& assets() const { return assets_; }
    // The block hears the photos after the roll and again at the end of the listing.
    void getCameraRollImages();

private:
    ImagesBlock getImageBlock_;
    std::vector<std::shared_ptr<al::Asset>> assets_;
};

class HCollectionViewCell : public ui::CollectionViewCell {
    QL_OBJECT_NAMED(HCollectionViewCell, ui::CollectionViewCell, "HCollectionViewCell")
public:
    explicit HCollectionViewCell(const cg::Rect& frame);
    const std::shared_ptr<ui::ImageView>& imageView() const { return imageView_; }
    const std::shared_ptr<al::Asset>& asset() const { return asset_; }
    // Shows the asset's aspect-ratio thumbnail as soon as it is made.
    void setAsset(std::shared_ptr<al::Asset> asset);
    void setup();
    void prepareForReuse() override;

private:
    std::shared_ptr<ui::ImageView> imageView_;
    std::shared_ptr<al::Asset> asset_;
    al::AssetImageLoader thumbnailLoader_;
};

class SideScrollingCheckCell : public ui::CollectionReusableView {
    QL_OBJECT_NAMED(SideScrollingCheckCell, ui::CollectionReusableView, "SideScrollingCheckCell")
public:
    static constexpr double kSide = 28;

    explicit SideScrollingCheckCell(const cg::Rect& frame);
    std::shared_ptr<ui::ImageView> imageView() const { return imageView_.lock(); }
    bool open() const { return open_; }
    void setOpen(bool open) { open_ = open; }
    bool isChecked() const { return checked_; }
    void setChecked(bool checked);
    // Half the unchecked picture's size.
    static cg::Size defaultSize();

    ui::View* hitTest(cg::Point point, ui::Event* event) override;
    void prepareForReuse() override { setChecked(false); }

private:
    std::weak_ptr<ui::ImageView> imageView_;
    bool open_ = true;
    bool checked_ = false;
};

class SideScrollingLayout : public ui::CollectionViewFlowLayout {
    QL_OBJECT_NAMED(SideScrollingLayout, ui::CollectionViewFlowLayout, "SideScrollingLayout")
public:
    static constexpr std::string_view kCheckKind = "check";

    SideScrollingLayout() = default;
    bool shouldInvalidateLayoutForBoundsChange(const cg::Rect&) override { return true; }
    ui::LayoutAttributesList layoutAttributesForElementsInRect(const cg::Rect& rect) override;
    std::shared_ptr<ui::CollectionViewLayoutAttributes> layoutAttributesForSupplementaryViewOfKind(
        const std::string& kind, const ns::IndexPath& path) override;
};

}  // namespace ql
