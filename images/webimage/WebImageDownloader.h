#pragma once
// WebImageDownloader: turns an image URL into a GET run by a download operation on a bounded queue. Requests
// for a URL that is already downloading join that download, whose progress and result reach every requester;
// each requester gets its own token, so that cancelling one leaves the others' callbacks alone and the
// download stops only once nobody waits for it any more.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "images/webimage/WebImageDownloaderOperation.h"
#include "images/webimage/WebImageFetchOptions.h"
#include "images/webimage/WebImageOperation.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLCredential.h"

namespace ql {

class WebImageDownloader;

inline constexpr double WebImageDownloaderDefaultTimeout = 15.0;
inline constexpr std::int64_t WebImageDownloaderDefaultMaxConcurrentDownloads = 6;

// One requester's share of a download.
class WebImageDownloadToken final : public WebImageOperation {
public:
    WebImageDownloadToken(std::weak_ptr<WebImageDownloader> downloader, std::string url, std::uint64_t callbackId,
                          std::weak_ptr<WebImageDownloaderOperation> operation)
        : downloader_(std::move(downloader)),
          url_(std::move(url)),
          callbackId_(callbackId),
          operation_(std::move(operation)) {}

    // Drops this requester's blocks; the download itself is cancelled when no other requester remains.
    void cancel() override;
    const std::string& url() const { return url_; }
    std::uint64_t callbackId() const { return callbackId_; }
    // The shared download (null once it has ended).
    std::shared_ptr<WebImageDownloaderOperation> operation() const { return operation_.lock(); }

private:
    std::weak_ptr<WebImageDownloader> downloader_;
    std::string url_;
    std::uint64_t callbackId_;
    std::weak_ptr<WebImageDownloaderOperation> operation_;
};

class WebImageDownloader final : public ns::Object {
    QL_OBJECT(WebImageDownloader, ns::Object)
public:
    // Makes the download operation of one URL; the default makes a WebImageDownloaderOperation.
    using OperationFactory = std::function<std::shared_ptr<WebImageDownloaderOperation>(
        ns::URLRequest request, std::uint64_t options, WebImageFetchProgress progress,
        WebImageFetchCompletion completed, WebImageDownloaderOperation::CancelBlock cancelled)>;
    using HeadersFilter = std::function<ns::Dictionary(const ns::URL& url, const ns::Dictionary& headers)>;

    WebImageDownloader();
    ~WebImageDownloader() override;

    static std::shared_ptr<WebImageDownloader> sharedDownloader();

    // A token for this requester; null only for no URL, whose completion is then called at once with
    // (null, nothing, no error, not finished).
    std::shared_ptr<WebImageDownloadToken> downloadImageWithURL(const std::optional<ns::URL>& url,
                                                                std::uint64_t options, WebImageFetchProgress progress,
                                                                WebImageFetchCompletion completed);

    // Request headers; "Accept: image/*;q=0.8" to start with. Nothing removes the header.
    void setValue(std::optional<std::string> value, std::string_view field);
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;

    std::int64_t maxConcurrentDownloads() const { return downloadQueue_->maxConcurrentOperationCount(); }
    void setMaxConcurrentDownloads(std::int64_t count) { downloadQueue_->setMaxConcurrentOperationCount(count); }
    std::uint64_t currentDownloadCount() const { return downloadQueue_->operationCount(); }
    void setSuspended(bool suspended) { downloadQueue_->setSuspended(suspended); }

    // Null restores the default.
    void setOperationClass(OperationFactory factory);
    bool shouldDecompressImages() const { return shouldDecompressImages_.load(); }
    void setShouldDecompressImages(bool decompress) { shouldDecompressImages_ = decompress; }
    // Seconds; 0 means the default of 15.
    double downloadTimeout() const;
    void setDownloadTimeout(double seconds);
    WebImageFetchOrder executionOrder() const;
    void setExecutionOrder(WebImageFetchOrder order);
    std::shared_ptr<ns::URLCredential> urlCredential() const;
    void setUrlCredential(std::shared_ptr<ns::URLCredential> credential);
    // Used when no credential is set and both are given.
    void setUsername(std::optional<std::string> username);
    void setPassword(std::optional<std::string> password);
    void setHeadersFilter(HeadersFilter filter);

    // Called by a token.
    void cancel(const WebImageDownloadToken& token);

private:
    struct Callbacks {
        std::uint64_t id = 0;
        WebImageFetchProgress progress;
        WebImageFetchCompletion completed;
    };
    // The requesters of one URL's download. A generation tells a download's own entry from a later one
    // for the same URL, once the first was cancelled.
    struct Entry {
        std::uint64_t generation = 0;
        std::vector<Callbacks> callbacks;
        std::weak_ptr<WebImageDownloaderOperation> operation;
    };

    // The download of `url`, added to the queue; called inside the registration barrier.
    std::shared_ptr<WebImageDownloaderOperation> makeOperation(const ns::URL& url, const std::string& key,
                                                               std::uint64_t options, std::uint64_t generation);
    ns::URLRequest makeRequest(const ns::URL& url, std::uint64_t options) const;
    // A copy of the callbacks of the URL's entry of that generation; removes the entry when `remove`.
    std::vector<Callbacks> callbacksFor(const std::string& key, std::uint64_t generation, bool remove);

    const std::shared_ptr<ns::OperationQueue> downloadQueue_;
    const std::shared_ptr<ns::DispatchQueue> barrierQueue_;
    std::atomic<bool> shouldDecompressImages_{true};

    mutable std::mutex mutex_;  // the settings below
    ns::Dictionary HTTPHeaders_;
    OperationFactory operationFactory_;
    double downloadTimeout_ = WebImageDownloaderDefaultTimeout;
    WebImageFetchOrder executionOrder_ = WebImageFetchOrder::FIFO;
    std::weak_ptr<WebImageDownloaderOperation> lastAddedOperation_;
    std::shared_ptr<ns::URLCredential> urlCredential_;
    std::optional<std::string> username_;
    std::optional<std::string> password_;
    HeadersFilter headersFilter_;

    // Touched only on the barrier queue.
    std::map<std::string, Entry> URLCallbacks_;
    std::uint64_t nextCallbackId_ = 1;
    std::uint64_t nextGeneration_ = 1;
};

}  // namespace ql
