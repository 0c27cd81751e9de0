#include "images/picker/PKAssetsThumbnailView.h"

#include <algorithm>

#include "platform/graphics/Context.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"

namespace ql {

PKAssetsThumbnailView::PKAssetsThumbnailView(const cg::Rect& frame) : ui::View(frame) {
    setBackgroundColor(ui::Color::clearColor());
}

const std::shared_ptr<ui::Image>& PKAssetsThumbnailView::blankImage() {
    if (!blankImage_) blankImage_ = ui::Image::imageNamed("assets_placeholder_picture");
    return blankImage_;
}

void PKAssetsThumbnailView::setAssetsGroup(std::shared_ptr<al::AssetsGroup> group) {
    if (group == assetsGroup_) return;
    assetsGroup_ = std::move(group);
    std::vector<std::shared_ptr<ui::Image>> images;
    if (assetsGroup_) {
        const std::int64_t count = std::min<std::int64_t>(3, assetsGroup_->numberOfAssets());
        assetsGroup_->enumerateAssetsAtIndexes(0, count, [&](const std::shared_ptr<al::Asset>& asset, std::int64_t, bool*) {
            if (!asset) return;
            auto thumbnail = asset->thumbnail();
            images.push_back(thumbnail ? thumbnail : blankImage());
        });
    }
    if (images.empty()) images.assign(3, blankImage());
    thumbnailImages_ = std::move(images);
    setNeedsDisplay();
}

void PKAssetsThumbnailView::drawRect(const cg::Rect& rect) {
    View::drawRect(rect);
    cg::Context* context = ui::GraphicsGetCurrentContext();
    if (!context) return;
    ui::Color::whiteColor()->setFill();
    // Back to front: the third image (smallest, highest), the second, then the first.
    const cg::Rect squares[] = {{0, 4, 70, 70}, {2, 2, 66, 66}, {4, 0, 62, 62}};
    const std::size_t count = thumbnailImages_.size();
    for (std::size_t i = std::min<std::size_t>(count, 3); i-- > 0;) {
        context->fillRect(squares[i]);
        if (thumbnailImages_[i]) thumbnailImages_[i]->drawInRect(cg::rectInset(squares[i], 0.5, 0.5));
    }
}

}  // namespace ql
