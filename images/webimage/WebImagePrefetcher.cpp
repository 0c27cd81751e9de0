#include "images/webimage/WebImagePrefetcher.h"

#include <utility>

#include "platform/foundation/Clock.h"

namespace ql {

namespace {

constexpr std::int64_t kPrefetchConcurrentDownloads = 3;

}  // namespace

WebImagePrefetcher::WebImagePrefetcher(Key, std::shared_ptr<WebImageManager> manager)
    : manager_(std::move(manager)), prefetcherQueue_(ns::DispatchQueue::main()) {
    setMaxConcurrentDownloads(kPrefetchConcurrentDownloads);
}

std::shared_ptr<WebImagePrefetcher> WebImagePrefetcher::create(std::shared_ptr<WebImageManager> manager) {
    return std::make_shared<WebImagePrefetcher>(Key(), manager ? std::move(manager) : std::make_shared<WebImageManager>());
}

std::shared_ptr<WebImagePrefetcher> WebImagePrefetcher::sharedImagePrefetcher() {
    static const auto* shared = new std::shared_ptr<WebImagePrefetcher>(create());
    return *shared;
}

void WebImagePrefetcher::prefetchURLs(std::vector<ns::URL> urls, Progress progress, Completion completed) {
    cancelPrefetching();
    startedTime_ = ns::Clock::now();
    prefetchURLs_ = std::move(urls);
    progressBlock_ = std::move(progress);
    completionBlock_ = std::move(completed);
    if (prefetchURLs_.empty()) {
        if (completionBlock_) completionBlock_(0, 0);
        return;
    }

    const std::size_t count = prefetchURLs_.size();
    const std::int64_t limit = maxConcurrentDownloads();
    const std::size_t groupSize = limit > 0 ? static_cast<std::size_t>(limit) : 0;
    const std::size_t groups = groupSize ? count / groupSize : 0;
    auto queue = prefetcherQueue_ ? prefetcherQueue_ : ns::DispatchQueue::main();
    // Waiting for the queue the caller runs on would never end, and the main thread must not wait for any
    // queue here: a load that answers at once (a memory hit) reports on the main thread before it returns.
    // In both cases the groups start right here, in the same order.
    const bool startHere = queue->isCurrent() || ns::DispatchQueue::isMainThread();
    for (std::size_t group = 0; group < groups; ++group) {
        auto start = [this, group, groupSize] {
            for (std::size_t i = group * groupSize; i < group * groupSize + groupSize; ++i) startPrefetchingAtIndex(i);
        };
        if (startHere) start();
        else queue->sync(start);
    }
    for (std::size_t i = groups * groupSize; i < count; ++i) startPrefetchingAtIndex(i);
}

void WebImagePrefetcher::startPrefetchingAtIndex(std::size_t index) {
    if (index >= prefetchURLs_.size()) return;
    ++requestedCount_;
    std::weak_ptr<WebImagePrefetcher> weak = std::static_pointer_cast<WebImagePrefetcher>(shared_from_this());
    manager_->downloadImageWithURL(prefetchURLs_[index], options_, {},
                                   [weak, index](std::shared_ptr<ui::Image> image, std::optional<ns::Error>,
                                                 ImageCacheSource, bool finished, std::optional<ns::URL>) {
                                       auto self = weak.lock();
                                       if (self && finished) self->finishedOne(index, image != nullptr);
                                   });
}

void WebImagePrefetcher::finishedOne(std::size_t index, bool gotImage) {
    const std::uint64_t total = prefetchURLs_.size();
    // A report of a batch that was cancelled meanwhile (the list is gone or shorter).
    if (index >= total) return;
    const std::uint64_t finished = ++finishedCount_;
    if (progressBlock_) progressBlock_(finished, total);
    if (!gotImage) ++skippedCount_;
    if (auto delegate = delegate_.lock()) delegate->imagePrefetcherDidPrefetchURL(*this, prefetchURLs_[index], finished, total);
    if (finished != requestedCount_.load()) return;
    reportStatus();
    if (auto completion = std::exchange(completionBlock_, nullptr)) completion(finished, skippedCount_.load());
    progressBlock_ = nullptr;
}

void WebImagePrefetcher::reportStatus() {
    const std::uint64_t total = prefetchURLs_.size();
    const std::uint64_t skipped = skippedCount_.load();
    if (auto delegate = delegate_.lock()) delegate->imagePrefetcherDidFinish(*this, total - skipped, skipped);
}

void WebImagePrefetcher::cancelPrefetching() {
    prefetchURLs_.clear();
    skippedCount_ = 0;
    requestedCount_ = 0;
    finishedCount_ = 0;
    manager_->cancelAll();
}

}  // namespace ql
