#pragma once
// PKAssetsThumbnailView: a small stack of an album's first thumbnails, drawn by hand: the first asset in
// front, largest and lowest, the second and third peeking out above it, each in a thin white frame.

#include <memory>
#include <vector>

#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/View.h"

namespace ql {

class PKAssetsThumbnailView : public ui::View {
    QL_OBJECT_NAMED(PKAssetsThumbnailView, ui::View, "PKAssetsThumbnailView")
public:
    explicit PKAssetsThumbnailView(const cg::Rect& frame);

    const std::shared_ptr<al::AssetsGroup>& assetsGroup() const { return assetsGroup_; }
    void setAssetsGroup(std::shared_ptr<al::AssetsGroup> group);
    // Up to three, first asset first (none while one is being made); three blank images for an album
    // without assets.
    const std::vector<std::shared_ptr<ui::Image>>& thumbnailImages() const { return thumbnailImages_; }
    const std::shared_ptr<ui::Image>& blankImage();

    cg::Size sizeThatFits(cg::Size) const override { return {70, 74}; }
    void drawRect(const cg::Rect& rect) override;

private:
    std::shared_ptr<al::AssetsGroup> assetsGroup_;
    std::vector<std::shared_ptr<ui::Image>> thumbnailImages_;
    std::vector<std::shared_ptr<al::AssetImageRequest>> requests_;
    std::shared_ptr<ui::Image> blankImage_;
};

}  // namespace ql
