#include "platform/photos/AssetsLibrary.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Sandbox.h"
#include "platform/photos/LibraryFiles.h"

namespace ql::al {

namespace fs = std::filesystem;

namespace {

std::atomic<AuthorizationStatus> gStatus{AuthorizationStatus::NotDetermined};

std::shared_ptr<AssetsGroup> groupFor(const LibraryRoot& root, const fs::path& folder, std::string name, AssetsGroupType type) {
    return std::make_shared<AssetsGroup>(folder.string(), std::move(name), type, assetsInFolder(root, folder));
}

// Every group of the library in the order the library lists them.
std::vector<std::shared_ptr<AssetsGroup>> allGroups(std::uint32_t types) {
    const LibraryRoot root = LibraryRoot::current();
    std::vector<std::shared_ptr<AssetsGroup>> groups;
    std::error_code error;
    const fs::path library = root.folder / AssetsLibrary::kPhotoLibraryFolder;
    if ((types & AssetsGroupLibrary) && fs::is_directory(library, error)) {
        groups.push_back(groupFor(root, library, "Photo Library", AssetsGroupLibrary));
    }
    if (types & AssetsGroupSavedPhotos) {
        groups.push_back(groupFor(root, root.folder / AssetsLibrary::kSavedPhotosFolder,
                                  std::string(AssetsLibrary::kSavedPhotosName), AssetsGroupSavedPhotos));
    }
    if (types & AssetsGroupAlbum) {
        std::vector<fs::path> albums;
        for (const auto& entry : fs::directory_iterator(root.folder / AssetsLibrary::kAlbumsFolder, error)) {
            if (entry.is_directory(error)) albums.push_back(entry.path());
        }
        std::sort(albums.begin(), albums.end());
        for (const auto& album : albums) groups.push_back(groupFor(root, album, album.filename().string(), AssetsGroupAlbum));
    }
    return groups;
}

ns::Error libraryError(std::int64_t code, std::string description) {
    ns::Dictionary info;
    info.set("NSLocalizedDescription", std::move(description));
    return ns::Error(std::string(AssetsLibraryErrorDomain), code, std::move(info));
}

// The library answers later on the main queue, never inside the call.
void later(std::function<void()> work) { ns::DispatchQueue::main()->async(std::move(work)); }

int nextShotNumber(const fs::path& roll) {
    int highest = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(roll, error)) {
        int number = 0;
        if (std::sscanf(entry.path().filename().c_str(), "IMG_%d", &number) == 1) highest = std::max(highest, number);
    }
    return highest + 1;
}

}  // namespace

// ---- Filter ----

std::shared_ptr<AssetsFilter> AssetsFilter::allAssets() { return std::make_shared<AssetsFilter>(); }

std::shared_ptr<AssetsFilter> AssetsFilter::allPhotos() {
    auto filter = std::make_shared<AssetsFilter>();
    filter->videos_ = false;
    return filter;
}

std::shared_ptr<AssetsFilter> AssetsFilter::allVideos() {
    auto filter = std::make_shared<AssetsFilter>();
    filter->photos_ = false;
    return filter;
}

bool AssetsFilter::admits(AssetType type) const {
    return (type == AssetType::Photo && photos_) || (type == AssetType::Video && videos_);
}

// ---- Asset ----

Asset::Asset(std::string path, ns::URL url, AssetType type) : path_(std::move(path)), url_(std::move(url)), type_(type) {}

std::shared_ptr<ui::Image> Asset::image(AssetImageKind kind) const {
    return type_ == AssetType::Photo ? assetImage(path_, kind, AssetImageScreen::main()) : nullptr;
}

std::shared_ptr<ui::Image> Asset::thumbnail() const { return image(AssetImageKind::Thumbnail); }

std::shared_ptr<ui::Image> Asset::aspectRatioThumbnail() const { return image(AssetImageKind::AspectRatioThumbnail); }

std::shared_ptr<ui::Image> Asset::fullScreenImage() const { return image(AssetImageKind::FullScreen); }

std::optional<cg::Size> Asset::dimensions() const {
    return type_ == AssetType::Photo ? assetPixelSize(path_) : std::nullopt;
}

std::shared_ptr<ui::Image> Asset::cachedImage(AssetImageKind kind) const {
    return type_ == AssetType::Photo ? cachedAssetImage(path_, kind, AssetImageScreen::main()) : nullptr;
}

std::shared_ptr<AssetImageRequest> Asset::requestImage(AssetImageKind kind, AssetImageResult result) const {
    // A video has no picture here: no path makes none, answered as a picture would be, later.
    return requestAssetImage(type_ == AssetType::Photo ? path_ : std::string(), kind, AssetImageScreen::main(), std::move(result));
}

// ---- Group ----

AssetsGroup::AssetsGroup(std::string folder, std::string name, AssetsGroupType type,
                         std::vector<std::shared_ptr<Asset>> assets)
    : folder_(std::move(folder)),
      name_(std::move(name)),
      type_(type),
      persistentID_(libraryIdentifier(LibraryRoot::current().relative(fs::weakly_canonical(folder_)))),
      url_(*ns::URL::fromString("assets-library://group/?id=" + persistentID_)),
      assets_(std::move(assets)) {}

void AssetsGroup::setAssetsFilter(std::shared_ptr<AssetsFilter> filter) { filter_ = std::move(filter); }

std::vector<std::shared_ptr<Asset>> AssetsGroup::filtered() const {
    std::vector<std::shared_ptr<Asset>> shown;
    for (const auto& asset : assets_) {
        if (!filter_ || filter_->admits(asset->type())) shown.push_back(asset);
    }
    return shown;
}

std::int64_t AssetsGroup::numberOfAssets() const { return static_cast<std::int64_t>(filtered().size()); }

void AssetsGroup::enumerateAssetsUsingBlock(const AssetBlock& block) const {
    enumerateAssetsAtIndexes(0, numberOfAssets(), block);
}

void AssetsGroup::enumerateAssetsAtIndexes(std::int64_t first, std::int64_t count, const AssetBlock& block) const {
    const auto shown = filtered();
    const auto total = static_cast<std::int64_t>(shown.size());
    first = std::clamp<std::int64_t>(first, 0, total);
    const std::int64_t end = first + std::clamp<std::int64_t>(count, 0, total - first);
    bool stop = false;
    for (std::int64_t i = first; i < end && !stop; ++i) block(shown[static_cast<std::size_t>(i)], i, &stop);
    if (!stop) block(nullptr, -1, &stop);
}

bool AssetsGroup::addAsset(const std::shared_ptr<Asset>& asset) {
    if (!isEditable() || !asset) return false;
    for (const auto& held : assets_) {
        if (held->assetURL() == asset->assetURL()) return true;
    }
    const fs::path source(asset->path());
    fs::path link = fs::path(folder_) / source.filename();
    std::error_code error;
    for (int n = 2; fs::exists(fs::symlink_status(link, error)); ++n) {
        link = fs::path(folder_) / (source.stem().string() + "-" + std::to_string(n) + source.extension().string());
    }
    fs::create_symlink(source, link, error);
    if (error) return false;
    assets_ = assetsInFolder(LibraryRoot::current(), folder_);
    return true;
}

// ---- Library ----

AuthorizationStatus AssetsLibrary::authorizationStatus() { return gStatus.load(); }

void AssetsLibrary::setAuthorizationStatus(AuthorizationStatus status) { gStatus.store(status); }

std::string AssetsLibrary::folder() {
    const fs::path root = fs::path(ns::Sandbox::library()) / "PhotoLibrary";
    std::error_code error;
    fs::create_directories(root / kSavedPhotosFolder, error);
    fs::create_directories(root / kAlbumsFolder, error);
    return root.string();
}

std::optional<ns::Error> AssetsLibrary::accessError() {
    auto expected = AuthorizationStatus::NotDetermined;
    gStatus.compare_exchange_strong(expected, AuthorizationStatus::Authorized);
    switch (gStatus.load()) {
        case AuthorizationStatus::Denied:
            return libraryError(AssetsLibraryAccessUserDeniedError, "User denied access");
        case AuthorizationStatus::Restricted:
            return libraryError(AssetsLibraryAccessGloballyDeniedError, "Global denied access");
        default: return std::nullopt;
    }
}

void AssetsLibrary::enumerateGroupsWithTypes(std::uint32_t types, GroupBlock block, FailureBlock failure) {
    later([types, block = std::move(block), failure = std::move(failure)] {
        if (auto error = accessError()) {
            if (failure) failure(*error);
            return;
        }
        bool stop = false;
        for (const auto& group : allGroups(types)) {
            block(group, &stop);
            if (stop) return;
        }
        block(nullptr, &stop);
    });
}

void AssetsLibrary::assetForURL(const ns::URL& url, std::function<void(const std::shared_ptr<Asset>&)> result,
                                FailureBlock failure) {
    later([url, result = std::move(result), failure = std::move(failure)] {
        if (auto error = accessError()) {
            if (failure) failure(*error);
            return;
        }
        if (auto known = assetForURLWithoutListing(LibraryRoot::current(), url)) {
            if (result) result(*known);
            return;
        }
        for (const auto& group : allGroups(AssetsGroupAll)) {
            std::shared_ptr<Asset> found;
            group->enumerateAssetsUsingBlock([&](const std::shared_ptr<Asset>& asset, std::int64_t, bool* stop) {
                if (asset && asset->assetURL() == url) {
                    found = asset;
                    *stop = true;
                }
            });
            if (found) {
                if (result) result(found);
                return;
            }
        }
        if (result) result(nullptr);
    });
}

void AssetsLibrary::addAssetsGroupAlbumWithName(const std::string& name,
                                                std::function<void(const std::shared_ptr<AssetsGroup>&)> result,
                                                FailureBlock failure) {
    later([name, result = std::move(result), failure = std::move(failure)] {
        if (auto error = accessError()) {
            if (failure) failure(*error);
            return;
        }
        // A name must be one plain folder name inside the albums folder.
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos || name.find('\0') != std::string::npos) {
            if (failure) failure(libraryError(AssetsLibraryUnknownError, "Invalid album name"));
            return;
        }
        const fs::path album = fs::path(folder()) / kAlbumsFolder / name;
        std::error_code error;
        if (fs::exists(album, error)) {
            if (result) result(nullptr);
            return;
        }
        if (!fs::create_directory(album, error) || error) {
            if (failure) failure(libraryError(AssetsLibraryWriteFailedError, error.message()));
            return;
        }
        if (result) result(groupFor(LibraryRoot::current(), album, name, AssetsGroupAlbum));
    });
}

void AssetsLibrary::writeImageToSavedPhotosAlbum(std::shared_ptr<const cg::Image> bitmap, ui::ImageOrientation orientation,
                                                 WriteCompletion completion) {
    later([bitmap = std::move(bitmap), orientation, completion = std::move(completion)] {
        const auto finish = [&](std::optional<ns::URL> url, std::optional<ns::Error> error) {
            if (completion) completion(url, error);
        };
        if (auto error = accessError()) return finish(std::nullopt, error);
        if (!bitmap) return finish(std::nullopt, libraryError(AssetsLibraryWriteInvalidDataError, "No image to write"));
        auto jpeg = ui::ImageJPEGRepresentation(*ui::Image::imageWithCGImage(bitmap, 1, orientation), 0.9);
        if (!jpeg) return finish(std::nullopt, libraryError(AssetsLibraryWriteInvalidDataError, "The image cannot be encoded"));
        const fs::path roll = fs::path(folder()) / kSavedPhotosFolder;
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", nextShotNumber(roll));
        const fs::path file = roll / name;
        const fs::path partial = roll / (std::string(".") + name + ".part");
        {
            std::ofstream out(partial, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(jpeg->bytes()), static_cast<std::streamsize>(jpeg->length()));
            if (!out.flush()) {
                std::error_code ignored;
                fs::remove(partial, ignored);
                return finish(std::nullopt, libraryError(AssetsLibraryWriteFailedError, "The photo cannot be written"));
            }
        }
        std::error_code error;
        fs::rename(partial, file, error);
        if (error) {
            fs::remove(partial, error);
            return finish(std::nullopt, libraryError(AssetsLibraryWriteFailedError, "The photo cannot be written"));
        }
        auto asset = assetForFile(LibraryRoot::current(), file);
        if (!asset) return finish(std::nullopt, libraryError(AssetsLibraryWriteFailedError, "The photo cannot be written"));
        finish(asset->assetURL(), std::nullopt);
    });
}

}  // namespace ql::al
