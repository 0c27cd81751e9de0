#pragma once
// How the photo library's folders become assets: which directory entries are pictures or videos, the path
// and URL each asset gets, and finding the asset a URL names without listing the library again. Listing a
// folder of thousands of photos costs one read of the folder and nothing per plain file: the folder is
// resolved once and only links are followed one by one.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/URL.h"
#include "platform/photos/AssetsLibrary.h"

namespace ql::al {

// Identifiers follow the platform's look (upper-case hexadecimal in 8-4-4-4-12 groups), made from a path
// inside the library so that they stay the same from one run to the next.
std::string libraryIdentifier(std::string_view relativePath);

// The library's folder, as the sandbox names it and with every link on the way followed; taken once per
// call into the library.
struct LibraryRoot {
    std::filesystem::path folder;
    std::filesystem::path resolved;

    static LibraryRoot current();
    // Where a resolved path lies inside the library ("Saved Photos/IMG_0001.JPG"; "../x" when outside).
    std::string relative(const std::filesystem::path& resolvedPath) const;
};

// The folder's assets in file-name order. Only regular files (or links to them) are assets: a FIFO,
// socket or device named like a picture would hang or harm whoever reads it, and links that lead nowhere
// or round in a loop are left out too.
std::vector<std::shared_ptr<Asset>> assetsInFolder(const LibraryRoot& root, const std::filesystem::path& folder);

// The asset one file is (a link is the file it leads to); none when it is no regular picture or video file.
std::shared_ptr<Asset> assetForFile(const LibraryRoot& root, const std::filesystem::path& file);

// The asset of that URL when the library lists it, or nullptr when it surely does not, told from the file
// the URL was made from; nothing when only listing the library can tell (a URL not seen in this process,
// or a file still there that only links elsewhere may lead to).
std::optional<std::shared_ptr<Asset>> assetForURLWithoutListing(const LibraryRoot& root, const ns::URL& url);

}  // namespace ql::al
