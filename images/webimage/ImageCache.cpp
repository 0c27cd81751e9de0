#include "images/webimage/ImageCache.h"

#include <algorithm>
#include <utility>

#include "images/webimage/ImageDecoding.h"
#include "platform/foundation/AtomicWriteTemporary.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/URL.h"
#include "platform/graphics/ImageFile.h"
#include "platform/ui/Application.h"

namespace ql {

namespace {

constexpr std::uint8_t kPNGSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

std::string joinPath(const std::string& folder, std::string_view name) {
    std::string path = folder;
    path += '/';
    path += name;
    return path;
}

// The path extension of a key, as the platform reads it off a path: what follows the last dot of the last
// component (a query after it included).
std::string pathExtensionOf(std::string_view key) {
    while (key.size() > 1 && key.back() == '/') key.remove_suffix(1);
    const std::size_t slash = key.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? key : key.substr(slash + 1);
    const std::size_t dot = last.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == last.size()) return {};
    return std::string(last.substr(dot + 1));
}

struct DiskUsage {
    std::uint64_t count = 0;
    std::uint64_t size = 0;
};

// Every entry of the folder tree but hidden ones, which are no images: the temporaries of writes at work, or
// those writes cut short left.
DiskUsage diskUsageOf(const std::string& folder) {
    DiskUsage usage;
    auto walk = ns::FileManager::defaultManager().enumeratorAtPath(folder, ns::DirectoryEnumerationSkipsHiddenFiles);
    if (!walk) return usage;
    while (walk->nextObject()) {
        usage.size += walk->fileAttributes().size;
        ++usage.count;
    }
    return usage;
}

}  // namespace

std::uint64_t ImageMemoryCost(const ui::Image& image) {
    const cg::Size size = image.size();
    const double cost = size.height * size.width * image.scale() * image.scale();
    return cost > 0 ? static_cast<std::uint64_t>(cost) : 0;
}

bool DataBeginsWithPNGSignature(const ns::Data& data) {
    return data.length() >= 8 && std::equal(kPNGSignature, kPNGSignature + 8, data.bytes());
}

// ---- Making ----

ImageCache::ImageCache(Key, std::string nameSpace, const std::optional<std::string>& directory)
    : nameSpace_(std::move(nameSpace)),
      directory_(directory),
      memCache_(std::make_shared<ns::Cache>()),
      ioQueue_(ns::DispatchQueue::serial(std::string(ImageCacheIOQueueLabel))) {
    memCache_->setName(std::string(ImageCacheNamespacePrefix) + nameSpace_);
}

ImageCache::~ImageCache() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

std::shared_ptr<ImageCache> ImageCache::create(std::string nameSpace, const std::optional<std::string>& directory) {
    auto cache = std::make_shared<ImageCache>(Key(), std::move(nameSpace), directory);
    cache->observeApplication();
    // The cleaner passes hidden files by: what writes cut short by the end of their process left would stay.
    cache->ioQueue_->async([folder = cache->diskCachePath()] { ns::removeStaleAtomicWriteTemporaries(folder); });
    return cache;
}

std::shared_ptr<ImageCache> ImageCache::sharedImageCache() {
    static const auto* shared = new std::shared_ptr<ImageCache>(create("default"));
    return *shared;
}

std::string ImageCache::makeDiskCachePath(std::string_view name) { return joinPath(ns::Sandbox::caches(), name); }

std::string ImageCache::diskCachePath() const {
    const std::string name = std::string(ImageCacheNamespacePrefix) + nameSpace_;
    if (directory_) return joinPath(*directory_, name);
    std::lock_guard lock(folderMutex_);
    if (const std::uint64_t generation = ns::Sandbox::generation(); generation != folderGeneration_) {
        folder_ = joinPath(makeDiskCachePath(nameSpace_), name);
        folderGeneration_ = generation;
    }
    return folder_;
}

void ImageCache::observeApplication() {
    auto& center = ns::NotificationCenter::defaultCenter();
    center.addObserver(weak_from_this(), [this](const ns::Notification&) { clearMemory(); },
                       ui::ApplicationDidReceiveMemoryWarningNotification);
    center.addObserver(weak_from_this(), [this](const ns::Notification&) { cleanDisk(); },
                       ui::ApplicationWillTerminateNotification);
    center.addObserver(weak_from_this(), [this](const ns::Notification&) { backgroundCleanDisk(); },
                       ui::ApplicationDidEnterBackgroundNotification);
}

void ImageCache::addReadOnlyCachePath(const std::string& path) {
    std::lock_guard lock(pathsMutex_);
    if (std::find(customPaths_.begin(), customPaths_.end(), path) == customPaths_.end()) customPaths_.push_back(path);
}

std::vector<std::string> ImageCache::readOnlyPaths() const {
    std::lock_guard lock(pathsMutex_);
    return customPaths_;
}

// ---- Paths ----

std::string ImageCache::cachedFileNameForKey(std::string_view key) {
    // What follows the last dot of a URL may be a query of any length. An extension that long would make a
    // name the file system refuses (the atomic write's temporary name is longer still), so it is left out.
    constexpr std::size_t kLongestName = 128;
    std::string name = ns::hexString(ns::md5(key));
    const std::string extension = pathExtensionOf(key);
    if (!extension.empty() && name.size() + 1 + extension.size() <= kLongestName) name += "." + extension;
    return name;
}

std::string ImageCache::cachePathForKey(std::string_view key, const std::string& folder) const {
    return joinPath(folder, cachedFileNameForKey(key));
}

std::string ImageCache::defaultCachePathForKey(std::string_view key) const {
    return cachePathForKey(key, diskCachePath());
}

// ---- Storing ----

void ImageCache::storeImage(const std::shared_ptr<ui::Image>& image, const std::string& key, bool toDisk) {
    storeImage(image, true, std::nullopt, key, toDisk);
}

void ImageCache::storeImage(const std::shared_ptr<ui::Image>& image, bool recalculate,
                            const std::optional<ns::Data>& data, const std::string& key, bool toDisk) {
    if (!image || key.empty()) return;
    if (shouldCacheImagesInMemory()) memCache_->setObject(key, ns::Value(image), ImageMemoryCost(*image));
    if (!toDisk) return;
    auto self = std::static_pointer_cast<ImageCache>(shared_from_this());
    ioQueue_->async([self, image, recalculate, data, key] { self->writeToDisk(image, recalculate, data, key); });
}

void ImageCache::writeToDisk(const std::shared_ptr<ui::Image>& image, bool recalculate,
                             const std::optional<ns::Data>& data, const std::string& key) {
    std::optional<ns::Data> bytes = data;
    if (image && (recalculate || !data)) {
        bool png;
        if (data && data->length() >= 8) png = DataBeginsWithPNGSignature(*data);
        else png = image->CGImage() && image->CGImage()->hasAlpha();
        bytes = png ? ui::ImagePNGRepresentation(*image) : ui::ImageJPEGRepresentation(*image, 1.0);
    }
    if (!bytes) return;
    const auto& files = ns::FileManager::defaultManager();
    const std::string folder = diskCachePath();
    const std::string path = cachePathForKey(key, folder);
    ns::Error error("", 0);
    const bool written = (files.fileExistsAtPath(folder) || files.createDirectoryAtPath(folder, true, {}, &error)) &&
                         files.writeAtomically(path, *bytes, std::nullopt, &error);
    if (!written) {
        // A full or read-only disk fails every write that follows: one line says why, not one per image.
        if (failingWrites_ != error.code()) {
            ns::Log::write("ImageCache: images are not kept on disk, the memory cache still serves them: " +
                           error.localizedDescription() + " (" + path + ")");
        }
        failingWrites_ = error.code();
        return;
    }
    failingWrites_.reset();
    if (shouldDisableiCloud()) ns::setExcludedFromBackup(path, true);
}

// ---- Reading ----

std::shared_ptr<ui::Image> ImageCache::imageFromMemoryCacheForKey(const std::string& key) {
    return memCache_->objectForKey(key).asObject<ui::Image>();
}

std::optional<ns::Data> ImageCache::diskImageDataBySearchingAllPathsForKey(const std::string& key) const {
    if (auto data = ns::dataWithContentsOfFile(defaultCachePathForKey(key), cg::kMaxImageFileBytes)) return data;
    for (const std::string& folder : readOnlyPaths()) {
        if (auto data = ns::dataWithContentsOfFile(cachePathForKey(key, folder), cg::kMaxImageFileBytes)) return data;
    }
    return std::nullopt;
}

std::shared_ptr<ui::Image> ImageCache::scaledImageForKey(std::string_view key,
                                                         const std::shared_ptr<ui::Image>& image) const {
    return ScaledImageForCacheKey(key, image);
}

std::shared_ptr<ui::Image> ImageCache::diskImageForKey(const std::string& key) {
    auto data = diskImageDataBySearchingAllPathsForKey(key);
    if (!data) return nullptr;
    auto image = scaledImageForKey(key, wi_imageWithData(data));
    if (shouldDecompressImages()) image = decodedImageWithImage(image);
    return image;
}

std::shared_ptr<ui::Image> ImageCache::imageFromDiskCacheForKey(const std::string& key) {
    if (auto image = imageFromMemoryCacheForKey(key)) return image;
    auto image = diskImageForKey(key);
    if (image && shouldCacheImagesInMemory()) memCache_->setObject(key, ns::Value(image), ImageMemoryCost(*image));
    return image;
}

std::shared_ptr<ns::Operation> ImageCache::queryDiskCacheForKey(const std::optional<std::string>& key, QueryDone done) {
    if (!done) return nullptr;
    if (!key) {
        done(nullptr, ImageCacheSourceNone);
        return nullptr;
    }
    if (auto image = imageFromMemoryCacheForKey(*key)) {
        done(std::move(image), ImageCacheSourceMemory);
        return nullptr;
    }
    auto operation = std::make_shared<ns::Operation>();
    auto self = std::static_pointer_cast<ImageCache>(shared_from_this());
    ioQueue_->async([self, operation, key = *key, done = std::move(done)] {
        if (operation->isCancelled()) return;
        auto image = self->diskImageForKey(key);
        if (image && self->shouldCacheImagesInMemory()) {
            self->memCache_->setObject(key, ns::Value(image), ImageMemoryCost(*image));
        }
        ns::DispatchQueue::main()->async([done, image] { done(image, ImageCacheSourceDisk); });
    });
    return operation;
}

bool ImageCache::diskImageExistsWithKey(const std::string& key) const {
    const auto& files = ns::FileManager::defaultManager();
    return files.fileExistsAtPath(defaultCachePathForKey(key));
}

void ImageCache::diskImageExistsWithKey(const std::string& key, ExistsCompletion completion) {
    auto self = std::static_pointer_cast<ImageCache>(shared_from_this());
    ioQueue_->async([self, key, completion = std::move(completion)] {
        const bool exists = self->diskImageExistsWithKey(key);
        if (completion) ns::DispatchQueue::main()->async([completion, exists] { completion(exists); });
    });
}

// ---- Removing ----

void ImageCache::removeImageForKey(const std::optional<std::string>& key, bool fromDisk, Completion completion) {
    if (!key) return;
    if (shouldCacheImagesInMemory()) memCache_->removeObjectForKey(*key);
    if (!fromDisk) {
        if (completion) completion();
        return;
    }
    auto self = std::static_pointer_cast<ImageCache>(shared_from_this());
    ioQueue_->async([self, key = *key, completion = std::move(completion)] {
        ns::FileManager::defaultManager().removeItemAtPath(self->defaultCachePathForKey(key));
        if (completion) ns::DispatchQueue::main()->async(completion);
    });
}

void ImageCache::clearMemory() { memCache_->removeAllObjects(); }

void ImageCache::clearDisk(Completion completion) {
    auto self = std::static_pointer_cast<ImageCache>(shared_from_this());
    ioQueue_->async([self, completion = std::move(completion)] {
        const auto& files = ns::FileManager::defaultManager();
        const std::string folder = self->diskCachePath();
        files.removeItemAtPath(folder);
        files.createDirectoryAtPath(folder, true);
        if (completion) ns::DispatchQueue::main()->async(completion);
    });
}

void ImageCache::cleanDisk(Completion completion) {
    auto self = std::static_pointer_cast<ImageCache>(shared_from_this());
    ioQueue_->async([self, completion = std::move(completion)] {
        self->cleanDiskNow();
        if (completion) ns::DispatchQueue::main()->async(completion);
    });
}

void ImageCache::cleanDiskNow() {
    struct Entry {
        std::string path;
        ns::Date modified;
        std::uint64_t size;
    };
    const std::string folder = diskCachePath();
    auto walk = ns::FileManager::defaultManager().enumeratorAtPath(folder, ns::DirectoryEnumerationSkipsHiddenFiles);
    if (!walk) return;
    const ns::Date expiration =
        ns::Date::fromTimeIntervalSince1970(ns::Date::now().timeIntervalSince1970() - static_cast<double>(maxCacheAge()));
    std::vector<std::string> expired;
    std::vector<Entry> kept;
    std::uint64_t total = 0;
    while (auto relative = walk->nextObject()) {
        const ns::FileAttributes& attributes = walk->fileAttributes();
        if (attributes.isDirectory()) continue;
        std::string path = joinPath(folder, *relative);
        if (attributes.modificationDate.timeIntervalSince1970() <= expiration.timeIntervalSince1970()) {
            expired.push_back(std::move(path));
            continue;
        }
        total += attributes.allocatedSize;
        kept.push_back({std::move(path), attributes.modificationDate, attributes.allocatedSize});
    }
    const auto& files = ns::FileManager::defaultManager();
    for (const std::string& path : expired) files.removeItemAtPath(path);

    const std::uint64_t limit = maxCacheSize();
    if (limit == 0 || total <= limit) return;
    const std::uint64_t target = limit / 2;
    std::sort(kept.begin(), kept.end(), [](const Entry& a, const Entry& b) {
        return a.modified.timeIntervalSince1970() < b.modified.timeIntervalSince1970();
    });
    for (const Entry& entry : kept) {
        if (!files.removeItemAtPath(entry.path)) continue;
        total -= entry.size;
        if (total < target) break;
    }
}

void ImageCache::backgroundCleanDisk() {
    auto& application = ui::Application::sharedApplication();
    auto task = std::make_shared<ui::BackgroundTaskIdentifier>(ui::BackgroundTaskInvalid);
    // The task ends once, whichever comes first: the clean's end or the expiry of the allowance.
    auto end = [task] {
        if (*task == ui::BackgroundTaskInvalid) return;
        ui::Application::sharedApplication().endBackgroundTask(*task);
        *task = ui::BackgroundTaskInvalid;
    };
    *task = application.beginBackgroundTask(end);
    cleanDisk(end);
}

// ---- Sizes ----

std::uint64_t ImageCache::getSize() {
    std::uint64_t size = 0;
    ioQueue_->sync([&] { size = diskUsageOf(diskCachePath()).size; });
    return size;
}

std::uint64_t ImageCache::getDiskCount() {
    std::uint64_t count = 0;
    ioQueue_->sync([&] { count = diskUsageOf(diskCachePath()).count; });
    return count;
}

void ImageCache::calculateSize(SizeCompletion completion) {
    auto self = std::static_pointer_cast<ImageCache>(shared_from_this());
    ioQueue_->async([self, completion = std::move(completion)] {
        const DiskUsage usage = diskUsageOf(self->diskCachePath());
        if (completion) ns::DispatchQueue::main()->async([completion, usage] { completion(usage.count, usage.size); });
    });
}

}  // namespace ql
