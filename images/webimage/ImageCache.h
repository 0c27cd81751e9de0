#pragma once
// ImageCache: decoded remote images in memory and their encoded bytes on disk, one file per image in a
// folder of the caches directory named by the MD5 of the image's key. The web image manager asks it before
// any download and stores every downloaded image in it; it trims its folder by age and size when the app
// terminates or goes to the background, and removes what writes cut short by a kill left when it opens.
// File work runs on one serial I/O queue.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "images/webimage/ImageCacheTypes.h"
#include "platform/foundation/Cache.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Operation.h"
#include "platform/ui/Image.h"

namespace ql {

inline constexpr std::string_view ImageCacheNamespacePrefix = "com.Pimbrook.WebImageCache.";
inline constexpr std::string_view ImageCacheIOQueueLabel = "com.Pimbrook.WebImageCache";
inline constexpr std::int64_t ImageCacheDefaultMaxAge = 60 * 60 * 24 * 7;  // one week

// The memory an image takes in the cache: its pixel count.
std::uint64_t ImageMemoryCost(const ui::Image& image);
// Whether the data starts with the eight bytes of a PNG signature.
bool DataBeginsWithPNGSignature(const ns::Data& data);

class ImageCache final : public ns::Object {
    QL_OBJECT(ImageCache, ns::Object)
public:
    using QueryDone = std::function<void(std::shared_ptr<ui::Image> image, ImageCacheSource source)>;
    using Completion = std::function<void()>;
    using ExistsCompletion = std::function<void(bool exists)>;
    using SizeCompletion = std::function<void(std::uint64_t fileCount, std::uint64_t totalSize)>;

    class Key {
        friend class ImageCache;
        Key() = default;
    };
    // Use create() or sharedImageCache().
    ImageCache(Key, std::string nameSpace, const std::optional<std::string>& directory);
    ~ImageCache() override;

    // The process-wide cache, namespace "default": Caches/default/com.Pimbrook.WebImageCache.default.
    static std::shared_ptr<ImageCache> sharedImageCache();
    // The folder is `directory` (the caches folder plus the namespace when none is given) with
    // "com.Pimbrook.WebImageCache.<namespace>" appended. Without a directory the folder is in the caches
    // folder of the sandbox in use, whichever that is: the process-wide cache outlives a test's or a
    // benchmark's sandbox, and must not write into one that has gone.
    static std::shared_ptr<ImageCache> create(std::string nameSpace,
                                              const std::optional<std::string>& directory = std::nullopt);
    // The caches folder with `name` appended.
    static std::string makeDiskCachePath(std::string_view name);

    // Folders searched after the main one when reading; never written, cleaned or cleared.
    void addReadOnlyCachePath(const std::string& path);

    // ---- Storing ----
    // Memory at once (when caching in memory), disk on the I/O queue. With `recalculate`, or without data,
    // the image is encoded again: PNG when the data was PNG or, without data, when the image has alpha;
    // JPEG otherwise. Files are written whole to a temporary file and renamed, so a reader never sees half
    // an image. A disk that refuses the write (full, read-only) is logged with the reason, once until a
    // write succeeds or the reason changes.
    void storeImage(const std::shared_ptr<ui::Image>& image, bool recalculate, const std::optional<ns::Data>& data,
                    const std::string& key, bool toDisk);
    void storeImage(const std::shared_ptr<ui::Image>& image, const std::string& key, bool toDisk = true);

    // ---- Reading ----
    // A memory hit answers at once on the caller's thread and returns null. Otherwise the returned operation
    // is a cancel flag for the disk read, whose answer (source disk, the image or null) comes on the main
    // queue. Without a done block nothing happens.
    std::shared_ptr<ns::Operation> queryDiskCacheForKey(const std::optional<std::string>& key, QueryDone done);
    std::shared_ptr<ui::Image> imageFromMemoryCacheForKey(const std::string& key);
    // Memory, else disk read on the caller's thread.
    std::shared_ptr<ui::Image> imageFromDiskCacheForKey(const std::string& key);
    bool diskImageExistsWithKey(const std::string& key) const;
    void diskImageExistsWithKey(const std::string& key, ExistsCompletion completion);
    std::shared_ptr<ui::Image> diskImageForKey(const std::string& key);
    std::optional<ns::Data> diskImageDataBySearchingAllPathsForKey(const std::string& key) const;
    std::shared_ptr<ui::Image> scaledImageForKey(std::string_view key, const std::shared_ptr<ui::Image>& image) const;

    // ---- Removing ----
    void removeImageForKey(const std::optional<std::string>& key, bool fromDisk = true, Completion completion = {});
    void clearMemory();
    // Removes the folder and makes it again, empty.
    void clearDisk(Completion completion = {});
    // Deletes files older than maxCacheAge, then, above maxCacheSize, the oldest until under half of it.
    void cleanDisk(Completion completion = {});
    // cleanDisk inside a background task of the application.
    void backgroundCleanDisk();

    // ---- Sizes ----
    // Of the images only (hidden files are none). Wait for the I/O queue; never call them from it.
    std::uint64_t getSize();
    std::uint64_t getDiskCount();
    void calculateSize(SizeCompletion completion);

    // ---- Paths ----
    static std::string cachedFileNameForKey(std::string_view key);
    std::string cachePathForKey(std::string_view key, const std::string& folder) const;
    std::string defaultCachePathForKey(std::string_view key) const;
    std::string diskCachePath() const;

    // ---- Settings ----
    bool shouldDecompressImages() const { return shouldDecompressImages_.load(); }
    void setShouldDecompressImages(bool decompress) { shouldDecompressImages_ = decompress; }
    bool shouldDisableiCloud() const { return shouldDisableiCloud_.load(); }
    void setShouldDisableiCloud(bool disable) { shouldDisableiCloud_ = disable; }
    bool shouldCacheImagesInMemory() const { return shouldCacheImagesInMemory_.load(); }
    void setShouldCacheImagesInMemory(bool cache) { shouldCacheImagesInMemory_ = cache; }
    std::int64_t maxCacheAge() const { return maxCacheAge_.load(); }
    void setMaxCacheAge(std::int64_t seconds) { maxCacheAge_ = seconds; }
    std::uint64_t maxCacheSize() const { return maxCacheSize_.load(); }
    void setMaxCacheSize(std::uint64_t bytes) { maxCacheSize_ = bytes; }
    std::uint64_t maxMemoryCost() const { return memCache_->totalCostLimit(); }
    void setMaxMemoryCost(std::uint64_t cost) { memCache_->setTotalCostLimit(cost); }
    std::uint64_t maxMemoryCountLimit() const { return memCache_->countLimit(); }
    void setMaxMemoryCountLimit(std::uint64_t count) { memCache_->setCountLimit(count); }
    const std::shared_ptr<ns::DispatchQueue>& ioQueue() const { return ioQueue_; }

private:
    void observeApplication();
    void writeToDisk(const std::shared_ptr<ui::Image>& image, bool recalculate, const std::optional<ns::Data>& data,
                     const std::string& key);
    void cleanDiskNow();
    std::vector<std::string> readOnlyPaths() const;

    const std::string nameSpace_;
    const std::optional<std::string> directory_;
    // The folder in the sandbox of that generation, when no directory was given.
    mutable std::mutex folderMutex_;
    mutable std::uint64_t folderGeneration_ = 0;
    mutable std::string folder_;
    const std::shared_ptr<ns::Cache> memCache_;
    const std::shared_ptr<ns::DispatchQueue> ioQueue_;
    mutable std::mutex pathsMutex_;
    std::vector<std::string> customPaths_;
    std::atomic<bool> shouldDecompressImages_{true};
    std::atomic<bool> shouldDisableiCloud_{true};
    std::atomic<bool> shouldCacheImagesInMemory_{true};
    std::atomic<std::int64_t> maxCacheAge_{ImageCacheDefaultMaxAge};
    std::atomic<std::uint64_t> maxCacheSize_{0};
    // The file error of the last disk write while writes fail; touched on the I/O queue only.
    std::optional<std::int64_t> failingWrites_;
    std::vector<std::shared_ptr<ns::Object>> observers_;
};

}  // namespace ql
