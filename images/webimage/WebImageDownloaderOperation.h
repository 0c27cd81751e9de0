#pragma once
// WebImageDownloaderOperation: one image download for the downloader. It runs a URL connection on the
// thread its operation queue starts it on, keeping that thread's run loop going until the transfer ends;
// checks the HTTP status, gathers the bytes, decodes partial images while data arrives when asked to,
// decodes the final image and reports through its blocks. Notifications mark the start, response, stop and
// finish of every download.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "images/webimage/WebImageFetchOptions.h"
#include "images/webimage/WebImageOperation.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Operation.h"
#include "platform/foundation/Thread.h"
#include "platform/graphics/ImageSource.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLCredential.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"

namespace ql {

// Posted asynchronously on the main queue with the operation as object.
inline constexpr std::string_view WebImageDownloadStartNotification = "WebImageDownloadStartNotification";
inline constexpr std::string_view WebImageDownloadReceiveResponseNotification =
    "WebImageDownloadReceiveResponseNotification";
inline constexpr std::string_view WebImageDownloadStopNotification = "WebImageDownloadStopNotification";
inline constexpr std::string_view WebImageDownloadFinishNotification = "WebImageDownloadFinishNotification";

class WebImageDownloaderOperation : public ns::Operation,
                                    public ns::URLConnectionDelegate,
                                    public WebImageOperation {
    QL_OBJECT(WebImageDownloaderOperation, ns::Operation)
public:
    using CancelBlock = std::function<void()>;

    WebImageDownloaderOperation(ns::URLRequest request, std::uint64_t options, WebImageFetchProgress progress,
                                WebImageFetchCompletion completed, CancelBlock cancelled);
    ~WebImageDownloaderOperation() override;

    const ns::URLRequest& request() const { return request_; }
    std::uint64_t options() const { return options_; }
    bool shouldDecompressImages() const { return shouldDecompressImages_.load(); }
    void setShouldDecompressImages(bool decompress) { shouldDecompressImages_ = decompress; }
    bool shouldUseCredentialStorage() const { return shouldUseCredentialStorage_.load(); }
    void setShouldUseCredentialStorage(bool use) { shouldUseCredentialStorage_ = use; }
    std::shared_ptr<ns::URLCredential> credential() const;
    void setCredential(std::shared_ptr<ns::URLCredential> credential);
    std::shared_ptr<ns::URLResponse> response() const;
    std::int64_t expectedSize() const { return expectedSize_.load(); }
    bool shouldContinueWhenAppEntersBackground() const { return options_ & WebImageFetchContinueInBackground; }

    // ---- Operation ----
    void start() override;
    void cancel() override;
    bool isExecuting() const override { return executing_.load(); }
    bool isFinished() const override { return finished_.load(); }
    bool isConcurrent() const override { return true; }

    // ---- Connection delegate (the operation's thread) ----
    void connectionDidReceiveResponse(ns::URLConnection& connection,
                                      const std::shared_ptr<ns::URLResponse>& response) override;
    void connectionDidReceiveData(ns::URLConnection& connection, const ns::Data& data) override;
    void connectionDidFinishLoading(ns::URLConnection& connection) override;
    void connectionDidFailWithError(ns::URLConnection& connection, const ns::Error& error) override;
    std::shared_ptr<ns::CachedURLResponse> connectionWillCacheResponse(
        ns::URLConnection& connection, const std::shared_ptr<ns::CachedURLResponse>& cachedResponse) override;
    bool connectionShouldUseCredentialStorage(ns::URLConnection& connection) override;
    void connectionWillSendRequestForAuthenticationChallenge(
        ns::URLConnection& connection, const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge) override;

private:
    void setExecuting(bool executing);
    void setFinished(bool finished);
    void post(std::string_view name);
    void cancelInternal();
    void cancelInternalAndStop();
    // Finished, no longer executing, and every block and buffer let go.
    void done();
    void reset();
    void stopRunLoop();
    void endBackgroundTask();
    // The final image (or error) for the bytes gathered, handed to the completion block; read from the
    // progressive load's source when it has one for these bytes.
    void completeWithData(const std::optional<ns::Data>& data, cg::ImageSource* source = nullptr);
    void updatePartialImage();
    void reportPartialImage();
    WebImageFetchCompletion takeCompletion();
    WebImageFetchCompletion currentCompletion() const;
    WebImageFetchProgress currentProgress() const;
    std::string cacheKey() const;

    const ns::URLRequest request_;
    const std::uint64_t options_;
    std::atomic<bool> shouldDecompressImages_{true};
    std::atomic<bool> shouldUseCredentialStorage_{true};
    std::atomic<bool> executing_{false};
    std::atomic<bool> finished_{false};
    std::atomic<std::int64_t> expectedSize_{0};
    std::atomic<bool> responseFromCached_{true};

    // Guards the blocks, the connection and its thread: start, finish, failure and cancel meet here.
    mutable std::recursive_mutex lock_;
    WebImageFetchProgress progressBlock_;
    WebImageFetchCompletion completedBlock_;
    CancelBlock cancelBlock_;
    std::shared_ptr<ns::URLCredential> credential_;
    std::shared_ptr<ns::URLResponse> response_;
    std::shared_ptr<ns::URLConnection> connection_;
    std::shared_ptr<ns::Thread> thread_;
    ui::BackgroundTaskIdentifier backgroundTaskId_ = ui::BackgroundTaskInvalid;

    // Touched on the operation's thread while it has one: a finish takes them under the lock as it lets go
    // of the thread (a failure reads them no more), so a reset from another thread never meets a reader.
    ns::Data imageData_;
    // A progressive load reads the data once, as it comes, and makes partial images no more often than
    // their cost allows (see updatePartialImage).
    std::unique_ptr<cg::ImageSource> progressiveSource_;
    double nextPartialImageAt_ = 0;
    std::int64_t width_ = 0;
    std::int64_t height_ = 0;
    ui::ImageOrientation orientation_ = ui::ImageOrientation::Up;
};

}  // namespace ql
