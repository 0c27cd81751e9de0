#pragma once
// PKPhotoBrowserCell: one page of the picker's preview: the asset's full-screen picture in a zooming
// scroller, fitted to the page without being enlarged and kept centred while it zooms.

#include <memory>

#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/CollectionViewCell.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScrollView.h"

namespace ql {

class PKPhotoBrowserCell : public ui::CollectionViewCell, public ui::ScrollViewDelegate {
    QL_OBJECT_NAMED(PKPhotoBrowserCell, ui::CollectionViewCell, "PKPhotoBrowserCell")
    struct Key {
        explicit Key() = default;
    };

public:
    static constexpr std::string_view kIdentifier = "kPKPhotoBrowserCellIdentifier";
    static constexpr double kMaximumZoomScale = 5.0;

    // Made by `make`: the cell is its scroller's delegate, which needs an owner first.
    PKPhotoBrowserCell(Key, const cg::Rect& frame);
    static std::shared_ptr<PKPhotoBrowserCell> make(const cg::Rect& frame);

    const std::shared_ptr<ui::Image>& image() const { return image_; }
    void setImage(std::shared_ptr<ui::Image> image);
    const std::shared_ptr<al::Asset>& asset() const { return asset_; }
    void setAsset(std::shared_ptr<al::Asset> asset);
    const std::shared_ptr<ui::ScrollView>& scrollView();
    const std::shared_ptr<ui::ImageView>& imageView();

    void prepareForReuse() override;
    ui::View* viewForZoomingInScrollView(ui::ScrollView&) override { return imageView().get(); }
    void scrollViewDidZoom(ui::ScrollView& scrollView) override;

private:
    std::shared_ptr<ui::Image> image_;
    std::shared_ptr<al::Asset> asset_;
    std::shared_ptr<ui::ScrollView> scrollView_;
    std::shared_ptr<ui::ImageView> imageView_;
};

}  // namespace ql
