#pragma once
// WebImagePrefetcher: warms the image cache with a list of URLs ahead of display, counting finished and
// skipped URLs and reporting progress and the end of the batch. One batch runs at a time; a new batch
// cancels the one before it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "images/webimage/WebImageManager.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"

namespace ql {

class WebImagePrefetcher;

// Both calls are optional (nothing by default).
class WebImagePrefetcherDelegate {
public:
    virtual ~WebImagePrefetcherDelegate() = default;
    // Each URL of the batch as it finishes, loaded or not.
    virtual void imagePrefetcherDidPrefetchURL(WebImagePrefetcher&, const ns::URL& /*url*/,
                                               std::uint64_t /*finishedCount*/, std::uint64_t /*totalCount*/) {}
    // The end of the batch: how many URLs gave an image and how many did not.
    virtual void imagePrefetcherDidFinish(WebImagePrefetcher&, std::uint64_t /*totalCount*/,
                                          std::uint64_t /*skippedCount*/) {}
};

class WebImagePrefetcher final : public ns::Object {
    QL_OBJECT(WebImagePrefetcher, ns::Object)
public:
    using Progress = std::function<void(std::uint64_t finishedCount, std::uint64_t totalCount)>;
    using Completion = std::function<void(std::uint64_t finishedCount, std::uint64_t skippedCount)>;

    class Key {
        friend class WebImagePrefetcher;
        Key() = default;
    };
    // Use create() or sharedImagePrefetcher().
    WebImagePrefetcher(Key, std::shared_ptr<WebImageManager> manager);

    static std::shared_ptr<WebImagePrefetcher> sharedImagePrefetcher();
    // With a new manager (on the shared cache and downloader) unless one is given. Sets the downloader's
    // limit to 3 at once.
    static std::shared_ptr<WebImagePrefetcher> create(std::shared_ptr<WebImageManager> manager = nullptr);

    void prefetchURLs(std::vector<ns::URL> urls, Progress progress = {}, Completion completed = {});
    void cancelPrefetching();

    const std::shared_ptr<WebImageManager>& manager() const { return manager_; }
    std::uint64_t options() const { return options_; }
    void setOptions(std::uint64_t options) { options_ = options; }
    void setPrefetcherQueue(std::shared_ptr<ns::DispatchQueue> queue) { prefetcherQueue_ = std::move(queue); }
    void setDelegate(std::weak_ptr<WebImagePrefetcherDelegate> delegate) { delegate_ = std::move(delegate); }
    std::int64_t maxConcurrentDownloads() const { return manager_->imageDownloader()->maxConcurrentDownloads(); }
    void setMaxConcurrentDownloads(std::int64_t count) { manager_->imageDownloader()->setMaxConcurrentDownloads(count); }

    std::uint64_t requestedCount() const { return requestedCount_.load(); }
    std::uint64_t skippedCount() const { return skippedCount_.load(); }
    std::uint64_t finishedCount() const { return finishedCount_.load(); }
    double startedTime() const { return startedTime_; }

private:
    void startPrefetchingAtIndex(std::size_t index);
    void finishedOne(std::size_t index, bool gotImage);
    void reportStatus();

    const std::shared_ptr<WebImageManager> manager_;
    std::uint64_t options_ = WebImageLoadLowPriority;
    std::shared_ptr<ns::DispatchQueue> prefetcherQueue_;
    std::weak_ptr<WebImagePrefetcherDelegate> delegate_;
    std::vector<ns::URL> prefetchURLs_;
    // Requests may start on the prefetcher queue; reports come on the main thread.
    std::atomic<std::uint64_t> requestedCount_{0};
    std::atomic<std::uint64_t> skippedCount_{0};
    std::atomic<std::uint64_t> finishedCount_{0};
    double startedTime_ = 0;
    Progress progressBlock_;
    Completion completionBlock_;
};

}  // namespace ql
