#pragma once
// al::AssetImageLoader: shows an asset's picture in an image view without making the main thread wait for
// it: at once when it has been made before, else empty until a worker has made it. Each load drops the
// one asked before, so a reused cell never shows the picture of the asset it showed last; so does the
// loader's end.

#include <memory>

#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/ImageView.h"

namespace ql::al {

class AssetImageLoader {
public:
    // `fallback` is shown when the asset has no such picture.
    void load(const std::shared_ptr<ui::ImageView>& view, const Asset& asset, AssetImageKind kind,
              std::shared_ptr<ui::Image> fallback = nullptr);
    void cancel() { request_.reset(); }

private:
    std::shared_ptr<AssetImageRequest> request_;
};

}  // namespace ql::al
