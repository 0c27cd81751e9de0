#include "platform/photos/AssetImageLoader.h"

namespace ql::al {

void AssetImageLoader::load(const std::shared_ptr<ui::ImageView>& view, const Asset& asset, AssetImageKind kind,
                            std::shared_ptr<ui::Image> fallback) {
    request_.reset();
    if (auto made = asset.cachedImage(kind)) {
        view->setImage(std::move(made));
        return;
    }
    view->setImage(nullptr);
    std::weak_ptr<ui::ImageView> weak = view;
    request_ = asset.requestImage(kind, [weak, fallback = std::move(fallback)](const std::shared_ptr<ui::Image>& image) {
        if (auto shown = weak.lock()) shown->setImage(image ? image : fallback);
    });
}

}  // namespace ql::al
