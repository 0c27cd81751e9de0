#include "images/picker/PhotoAlbumManager.h"

#include "platform/ui/Image.h"

namespace ql {

const std::shared_ptr<PhotoAlbumManager>& PhotoAlbumManager::sharedManager() {
    static const auto& manager = *new std::shared_ptr<PhotoAlbumManager>(std::make_shared<PhotoAlbumManager>());
    return manager;
}

const std::shared_ptr<al::AssetsLibrary>& PhotoAlbumManager::assetsLibrary() {
    if (!assetsLibrary_) assetsLibrary_ = std::make_shared<al::AssetsLibrary>();
    return assetsLibrary_;
}

void PhotoAlbumManager::saveImage(const std::shared_ptr<ui::Image>& image, const std::optional<std::string>& album,
                                  Completion completion) {
    auto self = std::static_pointer_cast<PhotoAlbumManager>(shared_from_this());
    assetsLibrary()->writeImageToSavedPhotosAlbum(
        image ? image->CGImage() : nullptr, image ? image->imageOrientation() : ui::ImageOrientation::Up,
        [self, album, completion = std::move(completion)](const std::optional<ns::URL>& url,
                                                          const std::optional<ns::Error>& error) {
            if (error || !url) {
                if (completion) completion(nullptr, error);
                return;
            }
            self->addAssetURL(*url, album, completion);
        });
}

void PhotoAlbumManager::addFoundAsset(const ns::URL& url, const std::shared_ptr<al::AssetsGroup>& group,
                                      const Completion& completion) {
    assetsLibrary()->assetForURL(
        url,
        [group, completion](const std::shared_ptr<al::Asset>& asset) {
            // The asset is reported whether or not the album took it: it is in the roll either way.
            if (asset && group) group->addAsset(asset);
            if (completion) completion(asset, std::nullopt);
        },
        [completion](const ns::Error& error) {
            if (completion) completion(nullptr, error);
        });
}

void PhotoAlbumManager::addAssetURL(const ns::URL& url, const std::optional<std::string>& album, Completion completion) {
    auto self = std::static_pointer_cast<PhotoAlbumManager>(shared_from_this());
    if (!album) {
        addFoundAsset(url, nullptr, completion);
        return;
    }
    auto found = std::make_shared<bool>(false);
    assetsLibrary()->enumerateGroupsWithTypes(
        al::AssetsGroupAll,
        [self, url, album, completion, found](const std::shared_ptr<al::AssetsGroup>& group, bool* stop) {
            if (group && group->name() == *album) {
                *found = true;
                self->addFoundAsset(url, group, completion);
                *stop = true;
            } else if (!group && !*found) {
                self->assetsLibrary()->addAssetsGroupAlbumWithName(
                    *album,
                    [self, url, completion](const std::shared_ptr<al::AssetsGroup>& created) {
                        self->addFoundAsset(url, created, completion);
                    },
                    [completion](const ns::Error& error) {
                        if (completion) completion(nullptr, error);
                    });
                *stop = true;
            }
        },
        [completion](const ns::Error& error) {
            if (completion) completion(nullptr, error);
        });
}

}  // namespace ql
