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
    requests_.clear();
    std::vector<std::shared_ptr<al::Asset>> assets;
    if (assetsGroup_) {
        const std::int64_t count = std::min<std::int64_t>(3, assetsGroup_->numberOfAssets());
        assetsGroup_->enumerateAssetsAtIndexes(0, count, [&](const std::shared_ptr<al::Asset>& asset, std::int64_t, bool*) {
            if (asset) assets.push_back(asset);
        });
    }
    thumbnailImages_.assign(assets.empty() ? 3 : assets.size(), assets.empty() ? blankImage() : nullptr);
    // Thumbnails not made before are made away from the main thread and drawn as they come; until then
    // their frames stay empty.
    for (std::size_t i = 0; i < assets.size(); ++i) {
        if ((thumbnailImages_[i] = assets[i]->cachedImage(al::AssetImageKind::Thumbnail))) continue;
        std::weak_ptr<PKAssetsThumbnailView> weak = std::static_pointer_cast<PKAssetsThumbnailView>(shared_from_this());
        requests_.push_back(assets[i]->requestImage(al::AssetImageKind::Thumbnail, [weak, i](const std::shared_ptr<ui::Image>& image) {
            auto view = weak.lock();
            if (!view) return;
            view->thumbnailImages_[i] = image ? image : view->blankImage();
            view->setNeedsDisplay();
        }));
    }
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
