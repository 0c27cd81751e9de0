#include "images/webimage/WebImageDownloaderOperation.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "images/webimage/ImageDecoding.h"
#include "images/webimage/WebImageManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/ImageSource.h"
#include "platform/net/URLAuthenticationChallenge.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLError.h"
#include "platform/net/URLProtectionSpace.h"

namespace ql {

ns::Error webImageError(std::int64_t code, std::string_view description) {
    return ns::Error(std::string(WebImageErrorDomain), code,
                     ns::Dictionary{{std::string(ns::LocalizedDescriptionKey), std::string(description)}});
}

namespace {

// The decoded rows of a partial image at the top of a bitmap of the full size; the rows still to come stay
// transparent.
std::shared_ptr<const cg::Image> placeOnFullSize(const cg::Image& partial, std::int64_t width, std::int64_t height) {
    if (partial.width() != width || partial.height() > height) return nullptr;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height), 0);
    std::copy(partial.pixels(), partial.pixels() + static_cast<std::size_t>(partial.width()) * partial.height(),
              pixels.begin());
    cg::ImageLayout layout;
    layout.alphaInfo = cg::ImageAlphaInfo::PremultipliedFirst;
    return cg::Image::create(static_cast<int>(width), static_cast<int>(height), std::move(pixels), layout);
}

void endTaskOnMain(ui::BackgroundTaskIdentifier identifier) {
    if (ns::DispatchQueue::isMainThread()) return ui::Application::sharedApplication().endBackgroundTask(identifier);
    ns::DispatchQueue::main()->async([identifier] { ui::Application::sharedApplication().endBackgroundTask(identifier); });
}

}  // namespace

WebImageDownloaderOperation::WebImageDownloaderOperation(ns::URLRequest request, std::uint64_t options,
                                                         WebImageFetchProgress progress,
                                                         WebImageFetchCompletion completed, CancelBlock cancelled)
    : request_(std::move(request)),
      options_(options),
      progressBlock_(std::move(progress)),
      completedBlock_(std::move(completed)),
      cancelBlock_(std::move(cancelled)) {}

WebImageDownloaderOperation::~WebImageDownloaderOperation() = default;

std::shared_ptr<ns::URLCredential> WebImageDownloaderOperation::credential() const {
    std::lock_guard guard(lock_);
    return credential_;
}

void WebImageDownloaderOperation::setCredential(std::shared_ptr<ns::URLCredential> credential) {
    std::lock_guard guard(lock_);
    credential_ = std::move(credential);
}

std::shared_ptr<ns::URLResponse> WebImageDownloaderOperation::response() const {
    std::lock_guard guard(lock_);
    return response_;
}

void WebImageDownloaderOperation::setExecuting(bool executing) {
    if (executing_.load() == executing) return;
    willChangeValueForKey("isExecuting");
    executing_ = executing;
    didChangeValueForKey("isExecuting");
}

void WebImageDownloaderOperation::setFinished(bool finished) {
    if (finished_.load() == finished) return;
    willChangeValueForKey("isFinished");
    finished_ = finished;
    didChangeValueForKey("isFinished");
}

void WebImageDownloaderOperation::post(std::string_view name) {
    ns::DispatchQueue::main()->async([self = shared_from_this(), name = std::string(name)] {
        ns::NotificationCenter::defaultCenter().post(name, self.get());
    });
}

WebImageFetchCompletion WebImageDownloaderOperation::currentCompletion() const {
    std::lock_guard guard(lock_);
    return completedBlock_;
}

WebImageFetchProgress WebImageDownloaderOperation::currentProgress() const {
    std::lock_guard guard(lock_);
    return progressBlock_;
}

std::string WebImageDownloaderOperation::cacheKey() const {
    return WebImageManager::sharedManager()->cacheKeyForURL(request_.URL());
}

// ---- Life cycle ----

void WebImageDownloaderOperation::start() {
    auto self = std::static_pointer_cast<WebImageDownloaderOperation>(shared_from_this());
    std::shared_ptr<ns::URLConnection> connection;
    {
        std::lock_guard guard(lock_);
        if (isCancelled()) {
            setFinished(true);
            reset();
            return;
        }
        if (shouldContinueWhenAppEntersBackground()) {
            std::weak_ptr<WebImageDownloaderOperation> weak = self;
            backgroundTaskId_ = ui::Application::sharedApplication().beginBackgroundTask([weak] {
                auto strong = weak.lock();
                if (!strong) return;
                strong->cancel();
                strong->endBackgroundTask();
            });
        }
        setExecuting(true);
        connection_ = ns::URLConnection::create(request_, self, false);
        connection = connection_;
        thread_ = ns::Thread::current();
    }
    connection->start();

    if (auto progress = currentProgress()) progress(0, -1);
    post(WebImageDownloadStartNotification);
    ns::RunLoop::current()->run();
    if (!isFinished()) {
        connection->cancel();
        connectionDidFailWithError(*connection, ns::urlError(ns::URLErrorTimedOut, request_.URL()));
    }
    endBackgroundTask();
}

void WebImageDownloaderOperation::endBackgroundTask() {
    ui::BackgroundTaskIdentifier ending;
    {
        std::lock_guard guard(lock_);
        ending = std::exchange(backgroundTaskId_, ui::BackgroundTaskInvalid);
    }
    if (ending != ui::BackgroundTaskInvalid) endTaskOnMain(ending);
}

void WebImageDownloaderOperation::cancel() {
    std::lock_guard guard(lock_);
    if (isFinished()) return;
    if (thread_) {
        // The connection belongs to its thread: it is cancelled there, between two of its callbacks.
        auto self = std::static_pointer_cast<WebImageDownloaderOperation>(shared_from_this());
        thread_->runLoop()->performBlock([self] { self->cancelInternalAndStop(); });
    } else {
        // No thread, no connection: they come and go together, under this lock.
        cancelInternal();
    }
}

void WebImageDownloaderOperation::cancelInternalAndStop() {
    if (isFinished()) return;
    cancelInternal();
    stopRunLoop();
}

void WebImageDownloaderOperation::cancelInternal() {
    std::shared_ptr<ns::URLConnection> connection;
    {
        std::lock_guard guard(lock_);
        if (isFinished()) return;
        ns::Operation::cancel();
        if (cancelBlock_) cancelBlock_();
        connection = connection_;
        if (connection) {
            post(WebImageDownloadStopNotification);
            setExecuting(false);
            setFinished(true);
        }
        reset();
    }
    // A connection's cancel takes the lock it holds around each delegate call, and those calls take ours:
    // it is cancelled outside ours, so the two are only ever taken in that order. There is a connection
    // only on the operation's own thread, whose callbacks cannot come between the two.
    if (connection) connection->cancel();
}

void WebImageDownloaderOperation::done() {
    std::lock_guard guard(lock_);
    setFinished(true);
    setExecuting(false);
    reset();
}

void WebImageDownloaderOperation::reset() {
    std::lock_guard guard(lock_);
    cancelBlock_ = nullptr;
    completedBlock_ = nullptr;
    progressBlock_ = nullptr;
    connection_ = nullptr;
    thread_ = nullptr;
    imageData_ = ns::Data();
    progressiveSource_ = nullptr;
}

void WebImageDownloaderOperation::stopRunLoop() { ns::RunLoop::current()->stop(); }

// ---- Connection ----

void WebImageDownloaderOperation::connectionDidReceiveResponse(ns::URLConnection& connection,
                                                               const std::shared_ptr<ns::URLResponse>& response) {
    auto http = std::dynamic_pointer_cast<ns::HTTPURLResponse>(response);
    const std::int64_t status = http ? http->statusCode() : 0;
    if (!http || (status < 400 && status != 304)) {
        const std::int64_t expected = response->expectedContentLength() > 0 ? response->expectedContentLength() : 0;
        expectedSize_ = expected;
        if (auto progress = currentProgress()) progress(0, expected);
        imageData_ = ns::Data();
        progressiveSource_ = nullptr;
        nextPartialImageAt_ = 0;
        {
            std::lock_guard guard(lock_);
            response_ = response;
        }
        post(WebImageDownloadReceiveResponseNotification);
        return;
    }

    connection.cancel();
    post(WebImageDownloadStopNotification);
    stopRunLoop();
    if (status == 304) {
        // The requester asked whether its copy still holds and the server says it does: the load ends with
        // what the URL cache keeps for the request, or with nothing new when it keeps nothing.
        auto cached = ns::URLCache::sharedURLCache()->cachedResponseForRequest(request_);
        if (cached && !cached->data().empty()) {
            completeWithData(cached->data());
        } else if (auto completion = currentCompletion()) {
            completion(nullptr, std::nullopt, std::nullopt, true);
        }
    } else if (auto completion = currentCompletion()) {
        completion(nullptr, std::nullopt, ns::urlError(status, request_.URL()), true);
    }
    done();
}

void WebImageDownloaderOperation::connectionDidReceiveData(ns::URLConnection&, const ns::Data& data) {
    imageData_.append(data);
    const std::int64_t expected = expectedSize_.load();
    if ((options_ & WebImageFetchProgressive) && expected > 0 && currentCompletion()) updatePartialImage();
    if (auto progress = currentProgress()) progress(static_cast<std::int64_t>(imageData_.length()), expected);
}

void WebImageDownloaderOperation::updatePartialImage() {
    // The source reads only the bytes that are new; nothing is decoded twice.
    if (!progressiveSource_) progressiveSource_ = std::make_unique<cg::ImageSource>();
    progressiveSource_->updateData(imageData_, false);
    // A partial image costs in proportion to the picture however little data came, so one per chunk would
    // make the load quadratic: after each, the next waits until the load has gone on for several times as
    // long as that one took, which keeps partial images within a fraction of the whole load.
    constexpr double spacing = 4;
    const double began = ns::Clock::now();
    if (began < nextPartialImageAt_) return;
    reportPartialImage();
    const double ended = ns::Clock::now();
    nextPartialImageAt_ = ended + spacing * (ended - began);
}

void WebImageDownloaderOperation::reportPartialImage() {
    cg::ImageSource& source = *progressiveSource_;
    if (width_ + height_ == 0) {
        if (auto properties = source.properties(0)) {
            height_ = properties->pixelHeight;
            width_ = properties->pixelWidth;
            orientation_ = wi_exifOrientationToiOSOrientation(properties->orientation.value_or(1));
        }
    }
    if (width_ + height_ == 0 || static_cast<std::int64_t>(imageData_.length()) >= expectedSize_.load()) return;
    auto partial = source.createImage(0);
    if (!partial) return;
    // A progressive picture is whole at every stage; rows from the top go onto a bitmap of the full size.
    auto bitmap = partial->height() == height_ && partial->width() == width_ ? partial
                                                                             : placeOnFullSize(*partial, width_, height_);
    if (!bitmap) return;
    auto image = ScaledImageForCacheKey(cacheKey(), ui::Image::imageWithCGImage(bitmap, 1, orientation_));
    if (shouldDecompressImages()) image = decodedImageWithImage(image);
    auto self = std::static_pointer_cast<WebImageDownloaderOperation>(shared_from_this());
    ns::DispatchQueue::main()->sync([self, image] {
        if (auto completion = self->currentCompletion()) completion(image, std::nullopt, std::nullopt, false);
    });
}

void WebImageDownloaderOperation::connectionDidFinishLoading(ns::URLConnection&) {
    ns::Data data;
    std::unique_ptr<cg::ImageSource> source;
    {
        std::lock_guard guard(lock_);
        stopRunLoop();
        // Without a thread, a cancel resets the operation on the thread that asks for it, at any moment from
        // here on: the bytes and the source leave the operation with the thread, so the decode below owns them.
        thread_ = nullptr;
        connection_ = nullptr;
        data = std::exchange(imageData_, ns::Data());
        source = std::move(progressiveSource_);
        ns::DispatchQueue::main()->async([self = shared_from_this()] {
            ns::NotificationCenter::defaultCenter().post(WebImageDownloadStopNotification, self.get());
            ns::NotificationCenter::defaultCenter().post(WebImageDownloadFinishNotification, self.get());
        });
    }
    if (!ns::URLCache::sharedURLCache()->cachedResponseForRequest(request_)) responseFromCached_ = false;
    // A still picture loaded progressively is finished by the source that has read it so far; an animation
    // is decoded whole from the data.
    if (source && source->type() != cg::ImageType::PNG && source->type() != cg::ImageType::JPEG) source = nullptr;
    if (source) source->updateData(data, true);
    completeWithData(data, source.get());
    done();
}

void WebImageDownloaderOperation::completeWithData(const std::optional<ns::Data>& data, cg::ImageSource* source) {
    auto completion = currentCompletion();
    if (!completion) return;
    if ((options_ & WebImageFetchIgnoreCachedResponse) && responseFromCached_.load()) {
        completion(nullptr, std::nullopt, std::nullopt, true);
        return;
    }
    if (!data) {
        completion(nullptr, std::nullopt, webImageError(0, "Image data is nil"), true);
        return;
    }
    auto image = ScaledImageForCacheKey(cacheKey(), source ? wi_imageWithSource(*source) : wi_imageWithData(data));
    if (image && image->images().empty() && shouldDecompressImages()) image = decodedImageWithImage(image);
    if (!image || image->size().width == 0 || image->size().height == 0) {
        completion(nullptr, std::nullopt, webImageError(0, "Downloaded image has 0 pixels"), true);
        return;
    }
    completion(std::move(image), data, std::nullopt, true);
}

void WebImageDownloaderOperation::connectionDidFailWithError(ns::URLConnection&, const ns::Error& error) {
    {
        std::lock_guard guard(lock_);
        stopRunLoop();
        thread_ = nullptr;
        connection_ = nullptr;
        post(WebImageDownloadStopNotification);
    }
    if (auto completion = currentCompletion()) completion(nullptr, std::nullopt, error, true);
    done();
}

std::shared_ptr<ns::CachedURLResponse> WebImageDownloaderOperation::connectionWillCacheResponse(
    ns::URLConnection&, const std::shared_ptr<ns::CachedURLResponse>& cachedResponse) {
    responseFromCached_ = false;
    if (request_.cachePolicy() == ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData) return nullptr;
    return cachedResponse;
}

bool WebImageDownloaderOperation::connectionShouldUseCredentialStorage(ns::URLConnection&) {
    return shouldUseCredentialStorage();
}

void WebImageDownloaderOperation::connectionWillSendRequestForAuthenticationChallenge(
    ns::URLConnection&, const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge) {
    ns::URLAuthenticationChallengeSender& sender = *challenge->sender();
    const ns::URLProtectionSpace& space = challenge->protectionSpace();
    if (space.authenticationMethod() == ns::URLAuthenticationMethodServerTrust) {
        if (!(options_ & WebImageFetchAllowInvalidCertificates)) {
            sender.performDefaultHandlingForAuthenticationChallenge(*challenge);
        } else {
            sender.useCredential(ns::URLCredential::credentialForTrust(space.serverTrust()), *challenge);
        }
        return;
    }
    auto given = credential();
    if (challenge->previousFailureCount() == 0 && given) sender.useCredential(given, *challenge);
    else sender.continueWithoutCredentialForAuthenticationChallenge(*challenge);
}

}  // namespace ql
