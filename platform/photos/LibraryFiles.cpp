#include "platform/photos/LibraryFiles.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "platform/foundation/Digest.h"

namespace ql::al {

namespace fs = std::filesystem;

namespace {

AssetType typeOfFile(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".png" || ext == ".gif") return AssetType::Photo;
    if (ext == ".mov" || ext == ".mp4" || ext == ".m4v") return AssetType::Video;
    return AssetType::Unknown;
}

// An identifier is a digest of the path inside the library, which no lookup can turn back; so every URL
// made is remembered with that path, and a URL handed back later names its file again at once. A URL
// stands for one path wherever and whenever it was made, so what is remembered never turns wrong: whether
// the library still lists that file is asked of the disk at each lookup.
class MadeURLs {
public:
    static MadeURLs& shared() {
        static auto& urls = *new MadeURLs;
        return urls;
    }

    void remember(const ns::URL& url, const std::string& relativePath) {
        std::lock_guard lock(mutex_);
        paths_.try_emplace(url.absoluteString(), relativePath);
    }

    std::optional<std::string> pathOf(const ns::URL& url) const {
        std::lock_guard lock(mutex_);
        auto found = paths_.find(url.absoluteString());
        if (found == paths_.end()) return std::nullopt;
        return found->second;
    }

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::string> paths_;
};

// The asset of a file already resolved (no link left in its path) at that path inside the library.
std::shared_ptr<Asset> assetAt(const fs::path& target, const std::string& relativePath) {
    const AssetType type = typeOfFile(target);
    if (type == AssetType::Unknown) return nullptr;
    std::string ext = target.extension().string().substr(1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    auto url = ns::URL::fromString("assets-library://asset/asset." + ext + "?id=" + libraryIdentifier(relativePath) +
                                   "&ext=" + ext);
    if (!url) return nullptr;
    MadeURLs::shared().remember(*url, relativePath);
    return std::make_shared<Asset>(target.string(), *url, type);
}

// Whether a path inside the library is an entry of a folder the library lists: "Photo Library/<file>",
// "Saved Photos/<file>" or "Albums/<album>/<file>".
bool isListedPlace(const fs::path& relativePath) {
    std::vector<std::string> parts;
    for (const auto& part : relativePath) parts.push_back(part.string());
    if (parts.size() == 2) return parts[0] == AssetsLibrary::kPhotoLibraryFolder || parts[0] == AssetsLibrary::kSavedPhotosFolder;
    return parts.size() == 3 && parts[0] == AssetsLibrary::kAlbumsFolder;
}

}  // namespace

std::string libraryIdentifier(std::string_view relativePath) {
    std::string hex = ns::hexString(ns::md5(relativePath), ns::HexCase::Upper);
    for (std::size_t at : {20u, 16u, 12u, 8u}) hex.insert(at, "-");
    return hex;
}

LibraryRoot LibraryRoot::current() {
    LibraryRoot root;
    root.folder = AssetsLibrary::folder();
    std::error_code error;
    root.resolved = fs::weakly_canonical(root.folder, error);
    if (error) root.resolved = root.folder;
    return root;
}

std::string LibraryRoot::relative(const fs::path& resolvedPath) const {
    return resolvedPath.lexically_relative(resolved).generic_string();
}

std::vector<std::shared_ptr<Asset>> assetsInFolder(const LibraryRoot& root, const fs::path& folder) {
    std::error_code error;
    const fs::path resolvedFolder = fs::canonical(folder, error);
    if (error) return {};
    struct Entry {
        std::string name;
        bool link;
    };
    std::vector<Entry> entries;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        // The kind the folder itself records answers for a plain file; only a link is looked through.
        std::error_code unreadable;
        if (entry.is_regular_file(unreadable) && !unreadable) {
            entries.push_back({entry.path().filename().string(), entry.is_symlink(unreadable)});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    // A plain file lies in the resolved folder, so its place in the library is the folder's and its name.
    std::string folderPlace = root.relative(resolvedFolder);
    folderPlace = folderPlace == "." ? std::string() : folderPlace + "/";
    std::vector<std::shared_ptr<Asset>> assets;
    for (const auto& entry : entries) {
        std::shared_ptr<Asset> asset;
        if (!entry.link) {
            asset = assetAt(resolvedFolder / entry.name, folderPlace + entry.name);
        } else if (fs::path target = fs::canonical(folder / entry.name, error); !error) {
            asset = assetAt(target, root.relative(target));
        }
        if (asset) assets.push_back(std::move(asset));
    }
    return assets;
}

std::shared_ptr<Asset> assetForFile(const LibraryRoot& root, const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(fs::status(file, error)) || error) return nullptr;
    const fs::path target = fs::canonical(file, error);
    if (error) return nullptr;
    return assetAt(target, root.relative(target));
}

std::optional<std::shared_ptr<Asset>> assetForURLWithoutListing(const LibraryRoot& root, const ns::URL& url) {
    const auto relativePath = MadeURLs::shared().pathOf(url);
    if (!relativePath) return std::nullopt;
    // The file is usually an entry of a listed folder itself (an album's link leads to the roll's file).
    if (isListedPlace(*relativePath)) {
        if (auto asset = assetForFile(root, root.folder / *relativePath); asset && asset->assetURL() == url) return asset;
    }
    // Every entry that lists the asset leads to this file; when it is no regular file, none can.
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(root.resolved / *relativePath, error))) return nullptr;
    return std::nullopt;
}

}  // namespace ql::al
