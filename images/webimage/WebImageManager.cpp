#include "images/webimage/WebImageManager.h"

#include <algorithm>
#include <utility>

#include "images/webimage/MainThread.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/net/URLError.h"

namespace ql {

namespace {

// Failures that say nothing about the URL itself: the same request may well succeed later.
bool isTransientFailure(std::int64_t code) {
    switch (code) {
        case ns::URLErrorNotConnectedToInternet:
        case ns::URLErrorCancelled:
        case ns::URLErrorTimedOut:
        case -1018:  // international roaming off
        case -1020:  // data not allowed
        case ns::URLErrorCannotFindHost:
        case ns::URLErrorCannotConnectToHost: return true;
        default: return false;
    }
}

}  // namespace

std::uint64_t WebImageFetchOptionsForLoad(std::uint64_t load, bool refreshingCachedImage) {
    std::uint64_t fetch = 0;
    if (load & WebImageLoadLowPriority) fetch |= WebImageFetchLowPriority;
    if (load & WebImageLoadProgressive) fetch |= WebImageFetchProgressive;
    if (load & WebImageLoadRefreshCached) fetch |= WebImageFetchUseURLCache;
    if (load & WebImageLoadContinueInBackground) fetch |= WebImageFetchContinueInBackground;
    if (load & WebImageLoadHandleCookies) fetch |= WebImageFetchHandleCookies;
    if (load & WebImageLoadAllowInvalidCertificates) fetch |= WebImageFetchAllowInvalidCertificates;
    if (load & WebImageLoadHighPriority) fetch |= WebImageFetchHighPriority;
    if (refreshingCachedImage) {
        // The cached image is on screen already: no partial images over it, and an unchanged reply is no news.
        fetch &= ~static_cast<std::uint64_t>(WebImageFetchProgressive);
        fetch |= WebImageFetchIgnoreCachedResponse;
    }
    return fetch;
}

// ---- Combined operation ----

void WebImageCombinedOperation::cancel() {
    std::function<void()> block;
    std::shared_ptr<ns::Operation> cacheOperation;
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        cacheOperation = std::exchange(cacheOperation_, nullptr);
        block = std::exchange(cancelBlock_, nullptr);
    }
    if (cacheOperation) cacheOperation->cancel();
    if (block) block();
}

void WebImageCombinedOperation::setCancelBlock(std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        if (!cancelled_) {
            cancelBlock_ = std::move(block);
            return;
        }
    }
    if (block) block();
}

void WebImageCombinedOperation::setCacheOperation(std::shared_ptr<ns::Operation> operation) {
    std::lock_guard lock(mutex_);
    cacheOperation_ = std::move(operation);
}

std::shared_ptr<ns::Operation> WebImageCombinedOperation::cacheOperation() const {
    std::lock_guard lock(mutex_);
    return cacheOperation_;
}

// ---- Manager ----

WebImageManager::WebImageManager()
    : WebImageManager(ImageCache::sharedImageCache(), WebImageDownloader::sharedDownloader()) {}

WebImageManager::WebImageManager(std::shared_ptr<ImageCache> cache, std::shared_ptr<WebImageDownloader> downloader)
    : imageCache_(std::move(cache)), imageDownloader_(std::move(downloader)) {}

std::shared_ptr<WebImageManager> WebImageManager::sharedManager() {
    static const auto* shared = new std::shared_ptr<WebImageManager>(std::make_shared<WebImageManager>());
    return *shared;
}

void WebImageManager::setDelegate(std::weak_ptr<WebImageManagerDelegate> delegate) {
    std::lock_guard lock(settingsMutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<WebImageManagerDelegate> WebImageManager::delegate() const {
    std::lock_guard lock(settingsMutex_);
    return delegate_.lock();
}

void WebImageManager::setCacheKeyFilter(CacheKeyFilter filter) {
    std::lock_guard lock(settingsMutex_);
    cacheKeyFilter_ = std::move(filter);
}

std::string WebImageManager::cacheKeyForURL(const std::optional<ns::URL>& url) const {
    if (!url) return {};
    CacheKeyFilter filter;
    {
        std::lock_guard lock(settingsMutex_);
        filter = cacheKeyFilter_;
    }
    return filter ? filter(*url) : url->absoluteString();
}

bool WebImageManager::isFailedURL(const ns::URL& url) const {
    std::lock_guard lock(failedMutex_);
    return failedURLs_.contains(url.absoluteString());
}

void WebImageManager::saveImageToCache(const std::shared_ptr<ui::Image>& image, const std::optional<ns::URL>& url) {
    if (!image || !url) return;
    imageCache_->storeImage(image, true, std::nullopt, cacheKeyForURL(url), true);
}

bool WebImageManager::cachedImageExistsForURL(const ns::URL& url) {
    const std::string key = cacheKeyForURL(url);
    if (imageCache_->imageFromMemoryCacheForKey(key)) return true;
    return imageCache_->diskImageExistsWithKey(key);
}

bool WebImageManager::diskImageExistsForURL(const ns::URL& url) {
    return imageCache_->diskImageExistsWithKey(cacheKeyForURL(url));
}

void WebImageManager::cachedImageExistsForURL(const ns::URL& url, ExistsCompletion completion) {
    const std::string key = cacheKeyForURL(url);
    if (imageCache_->imageFromMemoryCacheForKey(key)) {
        if (completion) ns::DispatchQueue::main()->async([completion] { completion(true); });
        return;
    }
    imageCache_->diskImageExistsWithKey(key, std::move(completion));
}

void WebImageManager::diskImageExistsForURL(const ns::URL& url, ExistsCompletion completion) {
    imageCache_->diskImageExistsWithKey(cacheKeyForURL(url), std::move(completion));
}

void WebImageManager::cancelAll() {
    std::vector<std::shared_ptr<WebImageCombinedOperation>> running;
    {
        std::lock_guard lock(runningMutex_);
        running.swap(runningOperations_);
    }
    for (const auto& operation : running) operation->cancel();
}

bool WebImageManager::isRunning() const {
    std::lock_guard lock(runningMutex_);
    return !runningOperations_.empty();
}

void WebImageManager::removeRunning(const std::shared_ptr<WebImageCombinedOperation>& operation) {
    std::lock_guard lock(runningMutex_);
    std::erase(runningOperations_, operation);
}

// ---- Loading ----

std::shared_ptr<WebImageCombinedOperation> WebImageManager::downloadImageWithURL(std::string_view url,
                                                                                 std::uint64_t options,
                                                                                 WebImageFetchProgress progress,
                                                                                 WebImageLoadCompletion completed) {
    return downloadImageWithURL(ns::URL::fromString(url), options, std::move(progress), std::move(completed));
}

std::shared_ptr<WebImageCombinedOperation> WebImageManager::downloadImageWithURL(const std::optional<ns::URL>& url,
                                                                                 std::uint64_t options,
                                                                                 WebImageFetchProgress progress,
                                                                                 WebImageLoadCompletion completed) {
    auto operation = std::make_shared<WebImageCombinedOperation>();
    const bool failedBefore = url && isFailedURL(*url);
    if (!url || url->absoluteString().empty() || (failedBefore && !(options & WebImageLoadRetryFailed))) {
        runOnMainAndWait([&] {
            if (completed) completed(nullptr, ns::urlError(ns::URLErrorFileDoesNotExist, url), ImageCacheSourceNone, true, url);
        });
        return operation;
    }
    {
        std::lock_guard lock(runningMutex_);
        runningOperations_.push_back(operation);
    }
    auto self = std::static_pointer_cast<WebImageManager>(shared_from_this());
    // A load cancelled while the cache looks never hears the cache's answer, so it leaves the running list
    // on its own; the download replaces this block once there is one to cancel.
    std::weak_ptr<WebImageManager> weakSelf = self;
    std::weak_ptr<WebImageCombinedOperation> weakOperation = operation;
    operation->setCancelBlock([weakSelf, weakOperation] {
        auto manager = weakSelf.lock();
        auto strong = weakOperation.lock();
        if (manager && strong) manager->removeRunning(strong);
    });
    const std::string key = cacheKeyForURL(url);
    auto cacheOperation = imageCache_->queryDiskCacheForKey(
        key, [self, operation, url = *url, key, options, progress, completed](std::shared_ptr<ui::Image> image,
                                                                               ImageCacheSource source) {
            self->cacheAnswered(operation, url, key, options, progress, completed, std::move(image), source);
        });
    if (cacheOperation) operation->setCacheOperation(std::move(cacheOperation));
    return operation;
}

std::shared_ptr<WebImageCombinedOperation> WebImageManager::downloadWithURL(const std::optional<ns::URL>& url,
                                                                            std::uint64_t options,
                                                                            WebImageFetchProgress progress,
                                                                            LegacyCompletion completed) {
    return downloadImageWithURL(url, options, std::move(progress),
                                [completed = std::move(completed)](std::shared_ptr<ui::Image> image,
                                                                   std::optional<ns::Error> error,
                                                                   ImageCacheSource source, bool finished,
                                                                   std::optional<ns::URL>) {
                                    if (completed) completed(std::move(image), std::move(error), source, finished);
                                });
}

void WebImageManager::cacheAnswered(const std::shared_ptr<WebImageCombinedOperation>& operation, const ns::URL& url,
                                    const std::string& key, std::uint64_t options,
                                    const WebImageFetchProgress& progress, const WebImageLoadCompletion& completed,
                                    std::shared_ptr<ui::Image> cachedImage, ImageCacheSource source) {
    if (operation->isCancelled()) {
        removeRunning(operation);
        return;
    }
    std::weak_ptr<WebImageCombinedOperation> weakOperation = operation;
    const auto reportUnlessCancelled = [&](std::shared_ptr<ui::Image> image, ImageCacheSource from) {
        reportOnMain(weakOperation, true, [&] { completed(image, std::nullopt, from, true, url); });
    };
    const bool refresh = options & WebImageLoadRefreshCached;
    if (cachedImage && !refresh) {
        reportUnlessCancelled(cachedImage, source);
        return;
    }
    if (auto delegate = this->delegate()) {
        const std::optional<bool> allowed = delegate->imageManagerShouldDownloadImageForURL(*this, url);
        if (allowed && !*allowed) {
            if (cachedImage) reportUnlessCancelled(cachedImage, source);
            else reportUnlessCancelled(nullptr, ImageCacheSourceNone);
            return;
        }
    }
    const bool hadCachedImage = cachedImage != nullptr;
    if (hadCachedImage) runOnMainAndWait([&] { completed(cachedImage, std::nullopt, source, true, url); });

    auto self = std::static_pointer_cast<WebImageManager>(shared_from_this());
    auto token = imageDownloader_->downloadImageWithURL(
        url, WebImageFetchOptionsForLoad(options, hadCachedImage), progress,
        [self, weakOperation, url, key, options, hadCachedImage, completed](
            std::shared_ptr<ui::Image> image, std::optional<ns::Data> data, std::optional<ns::Error> error,
            bool finished) {
            self->downloadAnswered(weakOperation, url, key, options, hadCachedImage, completed, std::move(image), data,
                                   error, finished);
        });
    std::weak_ptr<WebImageManager> weakSelf = self;
    operation->setCancelBlock([token, weakSelf, weakOperation] {
        if (token) token->cancel();
        auto manager = weakSelf.lock();
        auto strong = weakOperation.lock();
        if (manager && strong) manager->removeRunning(strong);
    });
}

void WebImageManager::downloadAnswered(const std::weak_ptr<WebImageCombinedOperation>& weakOperation,
                                       const ns::URL& url, const std::string& key, std::uint64_t options,
                                       bool hadCachedImage, const WebImageLoadCompletion& completed,
                                       std::shared_ptr<ui::Image> image, const std::optional<ns::Data>& data,
                                       const std::optional<ns::Error>& error, bool finished) {
    auto operation = weakOperation.lock();
    if (!operation || operation->isCancelled()) {
        if (operation && finished) removeRunning(operation);
        return;
    }
    if (error) {
        if (!isTransientFailure(error->code())) {
            std::lock_guard lock(failedMutex_);
            failedURLs_.insert(url.absoluteString());
        }
        reportOnMain(weakOperation, finished,
                     [&] { completed(nullptr, error, ImageCacheSourceNone, finished, url); });
    } else {
        if (options & WebImageLoadRetryFailed) {
            std::lock_guard lock(failedMutex_);
            failedURLs_.erase(url.absoluteString());
        }
        const bool unchanged = (options & WebImageLoadRefreshCached) && hadCachedImage && !image;
        const bool transformable = image && (image->images().empty() || (options & WebImageLoadTransformAnimatedImage));
        auto delegate = transformable ? this->delegate() : nullptr;
        if (unchanged) {
            // The server confirmed the cached image, which was reported already.
            if (finished) removeRunning(operation);
        } else if (delegate) {
            auto self = std::static_pointer_cast<WebImageManager>(shared_from_this());
            // The block keeps the load alive: its caller may have let go of the handle, and a cancelled load
            // has left the running list.
            ns::DispatchQueue::global(ns::DispatchQueue::Priority::High)->async(
                [self, delegate, operation, url, key, options, completed, image, data, finished] {
                    auto transformed = delegate->imageManagerTransformDownloadedImage(*self, image, url);
                    if (!transformed) {
                        self->storeAndReport(operation, url, key, options, completed, image, false, data, finished);
                        return;
                    }
                    const bool recalculate = *transformed != image;
                    self->storeAndReport(operation, url, key, options, completed, *transformed, recalculate,
                                         recalculate ? std::nullopt : data, finished);
                });
        } else {
            storeAndReport(weakOperation, url, key, options, completed, image, false, data, finished);
        }
    }
}

void WebImageManager::storeAndReport(const std::weak_ptr<WebImageCombinedOperation>& weakOperation,
                                     const ns::URL& url, const std::string& key, std::uint64_t options,
                                     const WebImageLoadCompletion& completed, std::shared_ptr<ui::Image> image,
                                     bool recalculate, const std::optional<ns::Data>& data, bool finished) {
    if (image && finished) {
        imageCache_->storeImage(image, recalculate, data, key, !(options & WebImageLoadMemoryCacheOnly));
    }
    reportOnMain(weakOperation, finished, [&] { completed(image, std::nullopt, ImageCacheSourceNone, finished, url); });
}

void WebImageManager::reportOnMain(const std::weak_ptr<WebImageCombinedOperation>& weakOperation, bool finished,
                                   const std::function<void()>& report) {
    // A finished load leaves the running list on the main thread right after its report, so whoever waits
    // there for the manager to go idle also sees what the report did.
    runOnMainAndWait([&] {
        auto strong = weakOperation.lock();
        if (strong && !strong->isCancelled()) report();
        if (strong && finished) removeRunning(strong);
    });
}

}  // namespace ql
