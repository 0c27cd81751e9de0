#include "images/webimage/WebImageDownloader.h"

#include <utility>

#include "platform/net/URLRequest.h"

namespace ql {

namespace {

constexpr std::string_view kBarrierQueueLabel = "com.Pimbrook.WebImageDownloaderBarrierQueue";

}  // namespace

void WebImageDownloadToken::cancel() {
    if (auto downloader = downloader_.lock()) downloader->cancel(*this);
}

WebImageDownloader::WebImageDownloader()
    : downloadQueue_(std::make_shared<ns::OperationQueue>()),
      barrierQueue_(ns::DispatchQueue::concurrent(std::string(kBarrierQueueLabel))),
      HTTPHeaders_{{"Accept", "image/*;q=0.8"}} {
    downloadQueue_->setMaxConcurrentOperationCount(WebImageDownloaderDefaultMaxConcurrentDownloads);
}

WebImageDownloader::~WebImageDownloader() { downloadQueue_->cancelAllOperations(); }

std::shared_ptr<WebImageDownloader> WebImageDownloader::sharedDownloader() {
    static const auto* shared = new std::shared_ptr<WebImageDownloader>(std::make_shared<WebImageDownloader>());
    return *shared;
}

// ---- Settings ----

void WebImageDownloader::setValue(std::optional<std::string> value, std::string_view field) {
    std::lock_guard lock(mutex_);
    if (value) HTTPHeaders_.set(std::string(field), std::move(*value));
    else HTTPHeaders_.erase(field);
}

std::optional<std::string> WebImageDownloader::valueForHTTPHeaderField(std::string_view field) const {
    std::lock_guard lock(mutex_);
    const ns::Value* value = HTTPHeaders_.find(field);
    if (!value || !value->isString()) return std::nullopt;
    return std::string(value->asString());
}

void WebImageDownloader::setOperationClass(OperationFactory factory) {
    std::lock_guard lock(mutex_);
    operationFactory_ = std::move(factory);
}

double WebImageDownloader::downloadTimeout() const {
    std::lock_guard lock(mutex_);
    return downloadTimeout_;
}

void WebImageDownloader::setDownloadTimeout(double seconds) {
    std::lock_guard lock(mutex_);
    downloadTimeout_ = seconds;
}

WebImageFetchOrder WebImageDownloader::executionOrder() const {
    std::lock_guard lock(mutex_);
    return executionOrder_;
}

void WebImageDownloader::setExecutionOrder(WebImageFetchOrder order) {
    std::lock_guard lock(mutex_);
    executionOrder_ = order;
}

std::shared_ptr<ns::URLCredential> WebImageDownloader::urlCredential() const {
    std::lock_guard lock(mutex_);
    return urlCredential_;
}

void WebImageDownloader::setUrlCredential(std::shared_ptr<ns::URLCredential> credential) {
    std::lock_guard lock(mutex_);
    urlCredential_ = std::move(credential);
}

void WebImageDownloader::setUsername(std::optional<std::string> username) {
    std::lock_guard lock(mutex_);
    username_ = std::move(username);
}

void WebImageDownloader::setPassword(std::optional<std::string> password) {
    std::lock_guard lock(mutex_);
    password_ = std::move(password);
}

void WebImageDownloader::setHeadersFilter(HeadersFilter filter) {
    std::lock_guard lock(mutex_);
    headersFilter_ = std::move(filter);
}

// ---- Downloads ----

std::shared_ptr<WebImageDownloadToken> WebImageDownloader::downloadImageWithURL(const std::optional<ns::URL>& url,
                                                                                std::uint64_t options,
                                                                                WebImageFetchProgress progress,
                                                                                WebImageFetchCompletion completed) {
    if (!url) {
        if (completed) completed(nullptr, std::nullopt, std::nullopt, false);
        return nullptr;
    }
    const std::string key = url->absoluteString();
    auto self = std::static_pointer_cast<WebImageDownloader>(shared_from_this());
    std::shared_ptr<WebImageDownloadToken> token;
    barrierQueue_->syncBarrier([&] {
        auto found = URLCallbacks_.find(key);
        const bool first = found == URLCallbacks_.end();
        Entry& entry = URLCallbacks_[key];
        const std::uint64_t id = nextCallbackId_++;
        entry.callbacks.push_back({id, std::move(progress), std::move(completed)});
        if (first) {
            entry.generation = nextGeneration_++;
            entry.operation = makeOperation(*url, key, options, entry.generation);
        }
        token = std::make_shared<WebImageDownloadToken>(self, key, id, entry.operation);
    });
    return token;
}

ns::URLRequest WebImageDownloader::makeRequest(const ns::URL& url, std::uint64_t options) const {
    std::lock_guard lock(mutex_);
    const double timeout = downloadTimeout_ == 0 ? WebImageDownloaderDefaultTimeout : downloadTimeout_;
    // Without the URL cache every request goes to the server; with it, a cached reply is revalidated.
    const auto policy = (options & WebImageFetchUseURLCache) ? ns::URLRequestCachePolicy::UseProtocolCachePolicy
                                                              : ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData;
    ns::URLRequest request(url, policy, timeout);
    request.setHTTPShouldHandleCookies(options & WebImageFetchHandleCookies);
    request.setHTTPShouldUsePipelining(true);
    request.setAllHTTPHeaderFields(headersFilter_ ? headersFilter_(url, HTTPHeaders_) : HTTPHeaders_);
    return request;
}

std::shared_ptr<WebImageDownloaderOperation> WebImageDownloader::makeOperation(const ns::URL& url,
                                                                               const std::string& key,
                                                                               std::uint64_t options,
                                                                               std::uint64_t generation) {
    std::weak_ptr<WebImageDownloader> weak = std::static_pointer_cast<WebImageDownloader>(shared_from_this());
    WebImageFetchProgress progress = [weak, key, generation](std::int64_t received, std::int64_t expected) {
        auto self = weak.lock();
        if (!self) return;
        std::vector<Callbacks> callbacks;
        self->barrierQueue_->sync([&] {
            auto found = self->URLCallbacks_.find(key);
            if (found != self->URLCallbacks_.end() && found->second.generation == generation) {
                callbacks = found->second.callbacks;
            }
        });
        for (const Callbacks& each : callbacks) {
            if (!each.progress) continue;
            ns::DispatchQueue::main()->async([block = each.progress, received, expected] { block(received, expected); });
        }
    };
    WebImageFetchCompletion completed = [weak, key, generation](std::shared_ptr<ui::Image> image,
                                                                std::optional<ns::Data> data,
                                                                std::optional<ns::Error> error, bool finished) {
        auto self = weak.lock();
        if (!self) return;
        for (const Callbacks& each : self->callbacksFor(key, generation, finished)) {
            if (each.completed) each.completed(image, data, error, finished);
        }
    };
    auto cancelled = [weak, key, generation] {
        auto self = weak.lock();
        if (!self) return;
        self->barrierQueue_->asyncBarrier([self, key, generation] {
            auto found = self->URLCallbacks_.find(key);
            if (found != self->URLCallbacks_.end() && found->second.generation == generation) {
                self->URLCallbacks_.erase(found);
            }
        });
    };

    OperationFactory factory;
    std::shared_ptr<ns::URLCredential> credential;
    {
        std::lock_guard lock(mutex_);
        factory = operationFactory_;
        credential = urlCredential_;
        if (!credential && username_ && password_) {
            credential = ns::URLCredential::credentialWithUser(*username_, *password_,
                                                               ns::URLCredentialPersistence::ForSession);
        }
    }
    ns::URLRequest request = makeRequest(url, options);
    auto operation = factory ? factory(std::move(request), options, std::move(progress), std::move(completed),
                                       std::move(cancelled))
                             : std::make_shared<WebImageDownloaderOperation>(std::move(request), options,
                                                                             std::move(progress),
                                                                             std::move(completed), std::move(cancelled));
    operation->setShouldDecompressImages(shouldDecompressImages());
    operation->setCredential(std::move(credential));
    if (options & WebImageFetchHighPriority) operation->setQueuePriority(ns::OperationQueuePriority::High);
    else if (options & WebImageFetchLowPriority) operation->setQueuePriority(ns::OperationQueuePriority::Low);

    std::shared_ptr<WebImageDownloaderOperation> previous;
    {
        std::lock_guard lock(mutex_);
        if (executionOrder_ == WebImageFetchOrder::LIFO) {
            previous = lastAddedOperation_.lock();
            lastAddedOperation_ = operation;
        }
    }
    downloadQueue_->addOperation(operation);
    if (previous) previous->addDependency(operation);
    return operation;
}

std::vector<WebImageDownloader::Callbacks> WebImageDownloader::callbacksFor(const std::string& key,
                                                                            std::uint64_t generation, bool remove) {
    std::vector<Callbacks> callbacks;
    barrierQueue_->syncBarrier([&] {
        auto found = URLCallbacks_.find(key);
        if (found == URLCallbacks_.end() || found->second.generation != generation) return;
        callbacks = found->second.callbacks;
        if (remove) URLCallbacks_.erase(found);
    });
    return callbacks;
}

void WebImageDownloader::cancel(const WebImageDownloadToken& token) {
    std::shared_ptr<WebImageDownloaderOperation> orphaned;
    barrierQueue_->syncBarrier([&] {
        auto found = URLCallbacks_.find(token.url());
        if (found == URLCallbacks_.end()) return;
        auto& callbacks = found->second.callbacks;
        std::erase_if(callbacks, [&](const Callbacks& each) { return each.id == token.callbackId(); });
        if (!callbacks.empty()) return;
        orphaned = found->second.operation.lock();
        URLCallbacks_.erase(found);
    });
    // Nobody waits for the download any more.
    if (orphaned) orphaned->cancel();
}

}  // namespace ql
