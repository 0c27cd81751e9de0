#pragma once
// PhotoAlbumManager: saves a camera shot into the saved-photos roll and adds it to a named album, making
// the album when no album has that name. The completion is called once, later, with the saved asset or
// the error that stopped it.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/photos/AssetsLibrary.h"

namespace ql {

class PhotoAlbumManager : public ns::Object {
    QL_OBJECT(PhotoAlbumManager, ns::Object)
public:
    using Completion = std::function<void(const std::shared_ptr<al::Asset>& asset, const std::optional<ns::Error>& error)>;

    PhotoAlbumManager() = default;
    static const std::shared_ptr<PhotoAlbumManager>& sharedManager();

    // Without an album name the shot stays in the roll alone and is reported from there.
    void saveImage(const std::shared_ptr<ui::Image>& image, const std::optional<std::string>& album, Completion completion);
    void addAssetURL(const ns::URL& url, const std::optional<std::string>& album, Completion completion);

    const std::shared_ptr<al::AssetsLibrary>& assetsLibrary();
    void setAssetsLibrary(std::shared_ptr<al::AssetsLibrary> library) { assetsLibrary_ = std::move(library); }

private:
    // Looks the asset up, adds it to the group when there is one and reports it.
    void addFoundAsset(const ns::URL& url, const std::shared_ptr<al::AssetsGroup>& group, const Completion& completion);

    std::shared_ptr<al::AssetsLibrary> assetsLibrary_;
};

}  // namespace ql
