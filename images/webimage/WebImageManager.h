#pragma once
// WebImageManager: turns a request for the image at a URL into a memory lookup, a disk lookup and, when
// needed, a download; decides what is cached and which URLs are not tried again; and delivers every result
// on the main thread. The view categories and the prefetcher call it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "images/webimage/ImageCache.h"
#include "images/webimage/ImageCacheTypes.h"
#include "images/webimage/WebImageDownloader.h"
#include "images/webimage/WebImageOperation.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Operation.h"
#include "platform/foundation/URL.h"
#include "platform/ui/Image.h"

namespace ql {

enum WebImageLoadOptions : std::uint64_t {
    // Load a URL even when it failed before; a success takes it off the failed list.
    WebImageLoadRetryFailed = 1u << 0,
    WebImageLoadLowPriority = 1u << 1,
    // Downloaded images are kept in memory only.
    WebImageLoadMemoryCacheOnly = 1u << 2,
    WebImageLoadProgressive = 1u << 3,
    // Deliver the cached image, then ask the server again through the URL cache and deliver a changed image.
    WebImageLoadRefreshCached = 1u << 4,
    WebImageLoadContinueInBackground = 1u << 5,
    WebImageLoadHandleCookies = 1u << 6,
    WebImageLoadAllowInvalidCertificates = 1u << 7,
    WebImageLoadHighPriority = 1u << 8,
    // The view categories: show the placeholder only once the load failed.
    WebImageLoadDelayPlaceholder = 1u << 9,
    // Animated images go through the delegate's transform too.
    WebImageLoadTransformAnimatedImage = 1u << 10,
    // The view categories: hand the image to the completion instead of setting it.
    WebImageLoadAvoidAutoSetImage = 1u << 11,
};

using WebImageLoadCompletion =
    std::function<void(std::shared_ptr<ui::Image> image, std::optional<ns::Error> error, ImageCacheSource source,
                       bool finished, std::optional<ns::URL> imageURL)>;

class WebImageManager;

// Both calls are optional: nullopt means "not implemented".
class WebImageManagerDelegate {
public:
    virtual ~WebImageManagerDelegate() = default;
    // False forbids the download of a URL that is not cached (or is to be refreshed).
    virtual std::optional<bool> imageManagerShouldDownloadImageForURL(WebImageManager&, const ns::URL&) {
        return std::nullopt;
    }
    // The image to cache and deliver in place of a downloaded one (null: nothing). Runs on a global queue.
    virtual std::optional<std::shared_ptr<ui::Image>> imageManagerTransformDownloadedImage(
        WebImageManager&, const std::shared_ptr<ui::Image>&, const ns::URL&) {
        return std::nullopt;
    }
};

// The handle of one load.
class WebImageCombinedOperation final : public ns::Object, public WebImageOperation {
    QL_OBJECT(WebImageCombinedOperation, ns::Object)
public:
    void cancel() override;
    bool isCancelled() const { return cancelled_.load(); }
    // Runs the block at once, keeping nothing, when the load was cancelled already.
    void setCancelBlock(std::function<void()> block);
    void setCacheOperation(std::shared_ptr<ns::Operation> operation);
    std::shared_ptr<ns::Operation> cacheOperation() const;

private:
    std::atomic<bool> cancelled_{false};
    mutable std::mutex mutex_;
    std::function<void()> cancelBlock_;
    std::shared_ptr<ns::Operation> cacheOperation_;
};

class WebImageManager final : public ns::Object {
    QL_OBJECT(WebImageManager, ns::Object)
public:
    using CacheKeyFilter = std::function<std::string(const ns::URL& url)>;
    using ExistsCompletion = std::function<void(bool exists)>;

    // With the shared cache and the shared downloader.
    WebImageManager();
    WebImageManager(std::shared_ptr<ImageCache> cache, std::shared_ptr<WebImageDownloader> downloader);

    static std::shared_ptr<WebImageManager> sharedManager();

    // Memory, then disk, then network. The completion runs on the main thread: at once for a memory hit
    // on the main thread, and for no URL or a URL that failed before (error -1100).
    std::shared_ptr<WebImageCombinedOperation> downloadImageWithURL(const std::optional<ns::URL>& url,
                                                                    std::uint64_t options,
                                                                    WebImageFetchProgress progress,
                                                                    WebImageLoadCompletion completed);
    // A text is taken as a URL; a text that is none counts as no URL.
    std::shared_ptr<WebImageCombinedOperation> downloadImageWithURL(std::string_view url, std::uint64_t options,
                                                                    WebImageFetchProgress progress,
                                                                    WebImageLoadCompletion completed);

    // The older form, whose completion has no image URL; an empty completion hears nothing.
    using LegacyCompletion = std::function<void(std::shared_ptr<ui::Image> image, std::optional<ns::Error> error,
                                                ImageCacheSource source, bool finished)>;
    std::shared_ptr<WebImageCombinedOperation> downloadWithURL(const std::optional<ns::URL>& url, std::uint64_t options,
                                                               WebImageFetchProgress progress,
                                                               LegacyCompletion completed);

    // The filter's key when one is set, else the URL's absolute text ("" without a URL).
    std::string cacheKeyForURL(const std::optional<ns::URL>& url) const;
    // Stores in memory and on disk (encoded again).
    void saveImageToCache(const std::shared_ptr<ui::Image>& image, const std::optional<ns::URL>& url);

    bool cachedImageExistsForURL(const ns::URL& url);
    bool diskImageExistsForURL(const ns::URL& url);
    void cachedImageExistsForURL(const ns::URL& url, ExistsCompletion completion);
    void diskImageExistsForURL(const ns::URL& url, ExistsCompletion completion);

    void cancelAll();
    // Whether a load has yet to finish: a load counts until its final report has run on the main thread.
    bool isRunning() const;
    bool isFailedURL(const ns::URL& url) const;

    const std::shared_ptr<ImageCache>& imageCache() const { return imageCache_; }
    const std::shared_ptr<WebImageDownloader>& imageDownloader() const { return imageDownloader_; }
    void setDelegate(std::weak_ptr<WebImageManagerDelegate> delegate);
    void setCacheKeyFilter(CacheKeyFilter filter);

private:
    // The cache's answer (step 5 of a load) and the download's (step 6).
    void cacheAnswered(const std::shared_ptr<WebImageCombinedOperation>& operation, const ns::URL& url,
                       const std::string& key, std::uint64_t options, const WebImageFetchProgress& progress,
                       const WebImageLoadCompletion& completed, std::shared_ptr<ui::Image> cachedImage,
                       ImageCacheSource source);
    void downloadAnswered(const std::weak_ptr<WebImageCombinedOperation>& weakOperation, const ns::URL& url,
                          const std::string& key, std::uint64_t options, bool hadCachedImage,
                          const WebImageLoadCompletion& completed, std::shared_ptr<ui::Image> image,
                          const std::optional<ns::Data>& data, const std::optional<ns::Error>& error, bool finished);
    void storeAndReport(const std::weak_ptr<WebImageCombinedOperation>& weakOperation, const ns::URL& url,
                        const std::string& key, std::uint64_t options, const WebImageLoadCompletion& completed,
                        std::shared_ptr<ui::Image> image, bool recalculate, const std::optional<ns::Data>& data,
                        bool finished);
    // Runs the report unless the load was cancelled; a finished load counts as running until it has run.
    void reportOnMain(const std::weak_ptr<WebImageCombinedOperation>& weakOperation, bool finished,
                      const std::function<void()>& report);
    void removeRunning(const std::shared_ptr<WebImageCombinedOperation>& operation);
    std::shared_ptr<WebImageManagerDelegate> delegate() const;

    const std::shared_ptr<ImageCache> imageCache_;
    const std::shared_ptr<WebImageDownloader> imageDownloader_;
    mutable std::mutex settingsMutex_;
    std::weak_ptr<WebImageManagerDelegate> delegate_;
    CacheKeyFilter cacheKeyFilter_;
    mutable std::mutex failedMutex_;
    std::set<std::string> failedURLs_;
    mutable std::mutex runningMutex_;
    std::vector<std::shared_ptr<WebImageCombinedOperation>> runningOperations_;
};

// The load's downloader options: the load options that have one, adjusted for a refresh of a cached image.
std::uint64_t WebImageFetchOptionsForLoad(std::uint64_t loadOptions, bool refreshingCachedImage);

}  // namespace ql
