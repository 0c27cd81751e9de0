#pragma once
// al::AssetsLibrary: the stand-in for the device's photo library. Its albums (groups) and their photos and
// videos (assets) are a folder of pictures in the sandbox, Library/PhotoLibrary:
//   "Photo Library/"  the pictures synced to the device (group type Library), listed only when present;
//   "Saved Photos/"   the saved-photos roll (type SavedPhotos, named "Camera Roll"), always there;
//   "Albums/<name>/"  the user's albums (type Album), each named after its folder.
// An album's own pictures are its regular files (a FIFO, socket or device is none); an asset added to an
// album from elsewhere is a symbolic link to that asset's file, so it keeps its identity (its URL). Assets
// come in file-name order. Every call answers later, on the main queue, as the platform's library does;
// access follows the authorisation status, a system setting the device (or a test) sets.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/graphics/Image.h"
#include "platform/photos/AssetImages.h"
#include "platform/ui/Image.h"

namespace ql::al {

enum class AuthorizationStatus { NotDetermined = 0, Restricted = 1, Denied = 2, Authorized = 3 };

enum AssetsGroupType : std::uint32_t {
    AssetsGroupLibrary = 1u << 0,
    AssetsGroupAlbum = 1u << 1,
    AssetsGroupEvent = 1u << 2,
    AssetsGroupFaces = 1u << 3,
    AssetsGroupSavedPhotos = 1u << 4,
    AssetsGroupPhotoStream = 1u << 5,
    AssetsGroupAll = 0xFFFFFFFFu,
};

enum class AssetType { Photo, Video, Unknown };

inline constexpr std::string_view AssetsLibraryErrorDomain = "ALAssetsLibraryErrorDomain";
enum AssetsLibraryErrorCode : std::int64_t {
    AssetsLibraryUnknownError = -1,
    AssetsLibraryWriteFailedError = -3300,
    AssetsLibraryWriteBusyError = -3301,
    AssetsLibraryWriteInvalidDataError = -3302,
    AssetsLibraryAccessUserDeniedError = -3311,
    AssetsLibraryAccessGloballyDeniedError = -3312,
};

// Which kinds of asset a group shows.
class AssetsFilter : public ns::Object {
    QL_OBJECT_NAMED(AssetsFilter, ns::Object, "ALAssetsFilter")
public:
    static std::shared_ptr<AssetsFilter> allAssets();
    static std::shared_ptr<AssetsFilter> allPhotos();
    static std::shared_ptr<AssetsFilter> allVideos();
    bool admits(AssetType type) const;

private:
    bool photos_ = true;
    bool videos_ = true;
};

// One photo or video of the library, identified by its URL.
class Asset : public ns::Object {
    QL_OBJECT_NAMED(Asset, ns::Object, "ALAsset")
public:
    Asset(std::string path, ns::URL url, AssetType type);

    // ALAssetPropertyType and ALAssetPropertyAssetURL.
    AssetType type() const { return type_; }
    const ns::URL& assetURL() const { return url_; }
    const std::string& path() const { return path_; }

    // A square crop of the picture, 75 points a side at the screen's scale; none for a video or a file that
    // is no picture. Made once (AssetImages.h).
    std::shared_ptr<ui::Image> thumbnail() const;
    // The whole picture within 120 points a side, keeping its proportions. Made once.
    std::shared_ptr<ui::Image> aspectRatioThumbnail() const;
    // The default representation's full-screen image: the picture as it is (a pixel to a point) when it
    // fits the main screen, else fitted to the screen at the screen's scale.
    std::shared_ptr<ui::Image> fullScreenImage() const;
    // The default representation's dimensions: the picture's size in pixels as it is shown, from its header;
    // none for a video or a file that is no picture.
    std::optional<cg::Size> dimensions() const;

    // The picture of that kind if it has been made already; nothing is made.
    std::shared_ptr<ui::Image> cachedImage(AssetImageKind kind) const;
    // Makes the picture away from the main thread and hands it to `result` on the main queue, later
    // (nullptr for a video or a file that is no picture). Dropping the request cancels it.
    std::shared_ptr<AssetImageRequest> requestImage(AssetImageKind kind, AssetImageResult result) const;

private:
    std::shared_ptr<ui::Image> image(AssetImageKind kind) const;

    std::string path_;
    ns::URL url_;
    AssetType type_;
};

// An album: a folder of the library, with the assets that pass its filter.
class AssetsGroup : public ns::Object {
    QL_OBJECT_NAMED(AssetsGroup, ns::Object, "ALAssetsGroup")
public:
    AssetsGroup(std::string folder, std::string name, AssetsGroupType type, std::vector<std::shared_ptr<Asset>> assets);

    // ALAssetsGroupPropertyName, ALAssetsGroupPropertyType, ALAssetsGroupPropertyPersistentID and
    // ALAssetsGroupPropertyURL.
    const std::string& name() const { return name_; }
    AssetsGroupType type() const { return type_; }
    const std::string& persistentID() const { return persistentID_; }
    const ns::URL& url() const { return url_; }

    void setAssetsFilter(std::shared_ptr<AssetsFilter> filter);
    // Of the assets that pass the filter.
    std::int64_t numberOfAssets() const;
    // Called for each asset that passes the filter in order, with its index, until the block sets stop;
    // then once more with none (index -1) when the enumeration ran to its end. Runs before returning.
    using AssetBlock = std::function<void(const std::shared_ptr<Asset>& asset, std::int64_t index, bool* stop)>;
    void enumerateAssetsUsingBlock(const AssetBlock& block) const;
    // The same over the indexes from `first`, `count` of them (clamped to the assets there are).
    void enumerateAssetsAtIndexes(std::int64_t first, std::int64_t count, const AssetBlock& block) const;

    // Only user albums take assets from elsewhere; false for the others and when the link cannot be made.
    bool isEditable() const { return type_ == AssetsGroupAlbum; }
    bool addAsset(const std::shared_ptr<Asset>& asset);

private:
    std::vector<std::shared_ptr<Asset>> filtered() const;

    std::string folder_;
    std::string name_;
    AssetsGroupType type_;
    std::string persistentID_;
    ns::URL url_;
    std::vector<std::shared_ptr<Asset>> assets_;
    std::shared_ptr<AssetsFilter> filter_;
};

class AssetsLibrary : public ns::Object {
    QL_OBJECT_NAMED(AssetsLibrary, ns::Object, "ALAssetsLibrary")
public:
    // The library folder's name for the saved-photos roll and that roll's name as groups report it.
    static constexpr std::string_view kSavedPhotosFolder = "Saved Photos";
    static constexpr std::string_view kSavedPhotosName = "Camera Roll";
    static constexpr std::string_view kPhotoLibraryFolder = "Photo Library";
    static constexpr std::string_view kAlbumsFolder = "Albums";

    AssetsLibrary() = default;

    // The system setting. While access is not yet determined the first call asks the user, who allows it.
    static AuthorizationStatus authorizationStatus();
    static void setAuthorizationStatus(AuthorizationStatus status);
    // The library's folder in the current sandbox (made on first use, with the saved-photos roll).
    static std::string folder();

    using FailureBlock = std::function<void(const ns::Error& error)>;
    // Each group of the given types (all of them: the library, the roll, then the albums by name), then
    // once more with none, unless the block set stop. Without access only the failure block is called.
    using GroupBlock = std::function<void(const std::shared_ptr<AssetsGroup>& group, bool* stop)>;
    void enumerateGroupsWithTypes(std::uint32_t types, GroupBlock block, FailureBlock failure);
    // The asset of that URL, or none when the library holds no such asset.
    void assetForURL(const ns::URL& url, std::function<void(const std::shared_ptr<Asset>& asset)> result,
                     FailureBlock failure);
    // A new, empty user album; none when an album of that name exists already.
    void addAssetsGroupAlbumWithName(const std::string& name,
                                     std::function<void(const std::shared_ptr<AssetsGroup>& group)> result,
                                     FailureBlock failure);
    // Writes the bitmap into the saved-photos roll (a JPEG carrying the orientation) and answers the new
    // asset's URL, or the error that kept it out.
    using WriteCompletion = std::function<void(const std::optional<ns::URL>& assetURL, const std::optional<ns::Error>& error)>;
    void writeImageToSavedPhotosAlbum(std::shared_ptr<const cg::Image> bitmap, ui::ImageOrientation orientation,
                                      WriteCompletion completion);

private:
    // Nothing when access is granted; the error to report otherwise.
    static std::optional<ns::Error> accessError();
};

}  // namespace ql::al
