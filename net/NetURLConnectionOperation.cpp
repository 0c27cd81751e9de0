#include "net/NetURLConnectionOperation.h"

#include <atomic>
#include <utility>

#include "net/NetStringEncoding.h"
#include "net/NetURLLoadingCoding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/URLError.h"
#include "platform/net/URLProtectionSpace.h"
#include "platform/ui/Application.h"

namespace ql {

namespace {

std::string_view keyForState(std::int64_t state) {
    switch (state) {
        case NetOperationPausedState: return "isPaused";
        case NetOperationReadyState: return "isReady";
        case NetOperationExecutingState: return "isExecuting";
        case NetOperationFinishedState: return "isFinished";
        default: return "state";
    }
}

bool isLegalMove(std::int64_t from, std::int64_t to, bool cancelled) {
    switch (from) {
        case NetOperationPausedState: return to == NetOperationReadyState;
        case NetOperationReadyState:
            return to == NetOperationPausedState || to == NetOperationExecutingState ||
                   (to == NetOperationFinishedState && cancelled);
        case NetOperationExecutingState: return to == NetOperationPausedState || to == NetOperationFinishedState;
        case NetOperationFinishedState: return false;
        default:
            return to == NetOperationPausedState || to == NetOperationReadyState || to == NetOperationExecutingState ||
                   to == NetOperationFinishedState;
    }
}

const std::shared_ptr<ns::DispatchGroup>& defaultCompletionGroup() {
    static const auto* group = new std::shared_ptr<ns::DispatchGroup>(std::make_shared<ns::DispatchGroup>());
    return *group;
}

void endBackgroundTask(ui::BackgroundTaskIdentifier identifier) {
    // The application's bookkeeping belongs to the main thread; an operation may end on any thread.
    if (ns::DispatchQueue::isMainThread()) return ui::Application::sharedApplication().endBackgroundTask(identifier);
    ns::DispatchQueue::main()->async([identifier] { ui::Application::sharedApplication().endBackgroundTask(identifier); });
}

}  // namespace

NetURLConnectionOperation::NetURLConnectionOperation(ns::URLRequest request)
    : runLoopModes_{std::string(ns::RunLoopCommonModes)},
      request_(std::move(request)),
      securityPolicy_(NetSecurityPolicy::defaultPolicy()) {}

NetURLConnectionOperation::~NetURLConnectionOperation() {
    if (outputStream_) outputStream_->close();
    if (backgroundTaskCleanup_) backgroundTaskCleanup_();
}

// ---- The network thread ----

std::shared_ptr<ns::Thread> NetURLConnectionOperation::networkRequestThread() {
    static const auto* thread = new std::shared_ptr<ns::Thread>([] {
        auto made = std::make_shared<ns::Thread>(&NetURLConnectionOperation::networkRequestThreadEntryPoint);
        made->start();
        return made;
    }());
    return *thread;
}

void NetURLConnectionOperation::networkRequestThreadEntryPoint() {
    ns::Thread::current()->setName("Networking");
    // Its connections' transfers run here too: a reply needs no hand-off from another thread.
    ns::URLConnection::loadOnCurrentThread();
    auto loop = ns::RunLoop::current();
    // A port that never fires keeps the loop, and so the thread, alive between connections.
    loop->addSource(ns::Port::port(), ns::DefaultRunLoopMode);
    loop->run();
}

void NetURLConnectionOperation::performOnNetworkThread(void (NetURLConnectionOperation::*work)()) {
    auto self = std::static_pointer_cast<NetURLConnectionOperation>(shared_from_this());
    networkRequestThread()->runLoop()->performBlock([self, work] { ((*self).*work)(); }, runLoopModeList());
}

void NetURLConnectionOperation::announce(std::string_view name) {
    courier_->hold([self = shared_from_this(), name] { ns::NotificationCenter::defaultCenter().post(name, self.get()); });
}

void NetURLConnectionOperation::dispatchAfterDelivery() {
    if (dispatchAfterDeliveryQueued_.exchange(true)) return;
    auto self = std::static_pointer_cast<NetURLConnectionOperation>(shared_from_this());
    // Performed blocks run once the connection has handed over every report it holds now.
    ns::RunLoop::current()->performBlock(
        [self] {
            self->dispatchAfterDeliveryQueued_ = false;
            self->courier_->dispatch();
        },
        runLoopModeList());
}

// ---- Batches ----

std::vector<std::shared_ptr<ns::Operation>> NetURLConnectionOperation::batchOfRequestOperations(
    const std::vector<std::shared_ptr<NetURLConnectionOperation>>& operations, BatchProgressBlock progressBlock,
    BatchCompletionBlock completionBlock) {
    if (operations.empty()) {
        return {ns::BlockOperation::blockOperation([completionBlock] {
            ns::DispatchQueue::main()->async([completionBlock] {
                if (completionBlock) completionBlock({});
            });
        })};
    }

    auto group = std::make_shared<ns::DispatchGroup>();
    auto batched = ns::BlockOperation::blockOperation([group, operations, completionBlock] {
        group->notify(ns::DispatchQueue::main(), [operations, completionBlock] {
            if (completionBlock) completionBlock(operations);
        });
    });
    for (const auto& operation : operations) {
        operation->setCompletionGroup(group);
        std::function<void()> original = operation->completionBlock();
        std::weak_ptr<NetURLConnectionOperation> weak = operation;
        operation->setCompletionBlock([weak, group, original, operations, progressBlock] {
            auto strong = weak.lock();
            auto queue = strong ? strong->completionQueue() : nullptr;
            group->async(queue ? queue : ns::DispatchQueue::main(), [group, original, operations, progressBlock] {
                if (original) original();
                std::uint64_t finished = 0;
                for (const auto& each : operations) finished += each->isFinished() ? 1 : 0;
                if (progressBlock) progressBlock(finished, operations.size());
                group->leave();
            });
        });
        group->enter();
        batched->addDependency(operation);
    }
    std::vector<std::shared_ptr<ns::Operation>> all(operations.begin(), operations.end());
    all.push_back(batched);
    return all;
}

// ---- Fields ----

bool NetURLConnectionOperation::shouldUseCredentialStorage() const {
    return ns::lockedCopy(lock_, shouldUseCredentialStorage_);
}

void NetURLConnectionOperation::setShouldUseCredentialStorage(bool use) {
    ns::lockedStore(lock_, shouldUseCredentialStorage_, use);
}

std::shared_ptr<ns::OutputStream> NetURLConnectionOperation::outputStream() {
    std::lock_guard guard(lock_);
    if (!outputStream_) {
        outputStream_ = ns::OutputStream::outputStreamToMemory();
        outputStreamIsOwn_ = true;
    }
    return outputStream_;
}

void NetURLConnectionOperation::setOutputStream(std::shared_ptr<ns::OutputStream> stream) {
    std::lock_guard guard(lock_);
    if (stream == outputStream_) return;
    if (outputStream_) outputStream_->close();
    outputStream_ = std::move(stream);
    outputStreamIsOwn_ = false;
}

std::shared_ptr<ns::InputStream> NetURLConnectionOperation::inputStream() const {
    std::lock_guard guard(lock_);
    return request_.HTTPBodyStream();
}

void NetURLConnectionOperation::setInputStream(std::shared_ptr<ns::InputStream> stream) {
    std::lock_guard guard(lock_);
    request_.setHTTPBodyStream(std::move(stream));
}

std::set<std::string> NetURLConnectionOperation::runLoopModes() const { return ns::lockedCopy(lock_, runLoopModes_); }

std::vector<std::string> NetURLConnectionOperation::runLoopModeList() const {
    std::lock_guard guard(lock_);
    return {runLoopModes_.begin(), runLoopModes_.end()};
}

void NetURLConnectionOperation::setRunLoopModes(std::set<std::string> modes) {
    ns::lockedStore(lock_, runLoopModes_, std::move(modes));
}

ns::URLRequest NetURLConnectionOperation::request() const { return ns::lockedCopy(lock_, request_); }

void NetURLConnectionOperation::setRequest(ns::URLRequest request) {
    ns::lockedStore(lock_, request_, std::move(request));
}

std::shared_ptr<ns::URLResponse> NetURLConnectionOperation::response() const {
    return ns::lockedCopy(lock_, response_);
}

void NetURLConnectionOperation::setResponse(std::shared_ptr<ns::URLResponse> response) {
    ns::lockedStore(lock_, response_, std::move(response));
}

std::optional<ns::Error> NetURLConnectionOperation::error() const { return ns::lockedCopy(lock_, error_); }

void NetURLConnectionOperation::setError(std::optional<ns::Error> error) {
    ns::lockedStore(lock_, error_, std::move(error));
}

std::optional<ns::Data> NetURLConnectionOperation::responseData() const { return ns::lockedCopy(lock_, responseData_); }

void NetURLConnectionOperation::setResponseData(std::optional<ns::Data> data) {
    ns::lockedStore(lock_, responseData_, std::move(data));
}

std::optional<std::string> NetURLConnectionOperation::responseString() {
    std::lock_guard guard(lock_);
    if (!responseString_ && response_ && responseData_)
        responseString_ = NetDecodeText(*responseData_, responseStringEncoding());
    return responseString_;
}

std::uint64_t NetURLConnectionOperation::responseStringEncoding() {
    std::lock_guard guard(lock_);
    if (responseStringEncoding_ == 0 && response_) {
        responseStringEncoding_ = NetUTF8StringEncoding;
        if (const auto& name = response_->textEncodingName()) {
            if (auto encoding = NetStringEncodingForIANACharsetName(*name)) responseStringEncoding_ = *encoding;
        }
    }
    return responseStringEncoding_;
}

std::shared_ptr<ns::URLCredential> NetURLConnectionOperation::credential() const {
    return ns::lockedCopy(lock_, credential_);
}

void NetURLConnectionOperation::setCredential(std::shared_ptr<ns::URLCredential> credential) {
    ns::lockedStore(lock_, credential_, std::move(credential));
}

std::shared_ptr<NetSecurityPolicy> NetURLConnectionOperation::securityPolicy() const {
    return ns::lockedCopy(lock_, securityPolicy_);
}

void NetURLConnectionOperation::setSecurityPolicy(std::shared_ptr<NetSecurityPolicy> policy) {
    ns::lockedStore(lock_, securityPolicy_, std::move(policy));
}

std::shared_ptr<ns::DispatchQueue> NetURLConnectionOperation::completionQueue() const {
    return ns::lockedCopy(lock_, completionQueue_);
}

void NetURLConnectionOperation::setCompletionQueue(std::shared_ptr<ns::DispatchQueue> queue) {
    ns::lockedStore(lock_, completionQueue_, std::move(queue));
}

std::shared_ptr<ns::DispatchGroup> NetURLConnectionOperation::completionGroup() const {
    return ns::lockedCopy(lock_, completionGroup_);
}

void NetURLConnectionOperation::setCompletionGroup(std::shared_ptr<ns::DispatchGroup> group) {
    ns::lockedStore(lock_, completionGroup_, std::move(group));
}

ns::Dictionary NetURLConnectionOperation::userInfo() const { return ns::lockedCopy(lock_, userInfo_); }

void NetURLConnectionOperation::setUserInfo(ns::Dictionary userInfo) {
    ns::lockedStore(lock_, userInfo_, std::move(userInfo));
}

std::shared_ptr<ns::URLConnection> NetURLConnectionOperation::connection() const {
    return ns::lockedCopy(lock_, connection_);
}

std::int64_t NetURLConnectionOperation::totalBytesRead() const { return totalBytesRead_.load(); }

void NetURLConnectionOperation::setTotalBytesRead(std::int64_t total) { totalBytesRead_ = total; }

std::function<void()> NetURLConnectionOperation::backgroundTaskCleanup() const {
    return ns::lockedCopy(lock_, backgroundTaskCleanup_);
}

NetURLConnectionOperation::ProgressBlock NetURLConnectionOperation::uploadProgress() const {
    return ns::lockedCopy(lock_, uploadProgress_);
}

NetURLConnectionOperation::ProgressBlock NetURLConnectionOperation::downloadProgress() const {
    return ns::lockedCopy(lock_, downloadProgress_);
}

NetURLConnectionOperation::AuthenticationChallengeBlock NetURLConnectionOperation::authenticationChallenge() const {
    return ns::lockedCopy(lock_, authenticationChallenge_);
}

NetURLConnectionOperation::CacheResponseBlock NetURLConnectionOperation::cacheResponse() const {
    return ns::lockedCopy(lock_, cacheResponse_);
}

NetURLConnectionOperation::RedirectResponseBlock NetURLConnectionOperation::redirectResponse() const {
    return ns::lockedCopy(lock_, redirectResponse_);
}

void NetURLConnectionOperation::setUploadProgressBlock(ProgressBlock block) {
    ns::lockedStore(lock_, uploadProgress_, std::move(block));
}

void NetURLConnectionOperation::setDownloadProgressBlock(ProgressBlock block) {
    ns::lockedStore(lock_, downloadProgress_, std::move(block));
}

void NetURLConnectionOperation::setWillSendRequestForAuthenticationChallengeBlock(AuthenticationChallengeBlock block) {
    ns::lockedStore(lock_, authenticationChallenge_, std::move(block));
}

void NetURLConnectionOperation::setCacheResponseBlock(CacheResponseBlock block) {
    ns::lockedStore(lock_, cacheResponse_, std::move(block));
}

void NetURLConnectionOperation::setRedirectResponseBlock(RedirectResponseBlock block) {
    ns::lockedStore(lock_, redirectResponse_, std::move(block));
}

void NetURLConnectionOperation::setShouldExecuteAsBackgroundTaskWithExpirationHandler(std::function<void()> handler) {
    std::lock_guard guard(lock_);
    if (backgroundTaskCleanup_) return;
    auto identifier = std::make_shared<std::atomic<ui::BackgroundTaskIdentifier>>(ui::BackgroundTaskInvalid);
    std::weak_ptr<NetURLConnectionOperation> weak =
        std::static_pointer_cast<NetURLConnectionOperation>(shared_from_this());
    *identifier = ui::Application::sharedApplication().beginBackgroundTask([weak, handler] {
        if (handler) handler();
        auto strong = weak.lock();
        if (!strong) return;
        strong->cancel();
        if (auto cleanup = strong->backgroundTaskCleanup()) cleanup();
    });
    backgroundTaskCleanup_ = [identifier] {
        const ui::BackgroundTaskIdentifier ending = identifier->exchange(ui::BackgroundTaskInvalid);
        if (ending != ui::BackgroundTaskInvalid) endBackgroundTask(ending);
    };
}

// ---- Life cycle ----

void NetURLConnectionOperation::setState(std::int64_t state) {
    std::lock_guard guard(lock_);
    const std::int64_t current = state_.load();
    if (!isLegalMove(current, state, isCancelled())) return;
    const std::string_view oldKey = keyForState(current);
    const std::string_view newKey = keyForState(state);
    willChangeValueForKey(newKey);
    willChangeValueForKey(oldKey);
    state_ = state;
    didChangeValueForKey(oldKey);
    didChangeValueForKey(newKey);
}

bool NetURLConnectionOperation::isReady() const {
    return state() == NetOperationReadyState && ns::Operation::isReady();
}

void NetURLConnectionOperation::start() {
    std::lock_guard guard(lock_);
    if (isCancelled()) {
        performOnNetworkThread(&NetURLConnectionOperation::startCancelled);
    } else if (isReady()) {
        setState(NetOperationExecutingState);
        performOnNetworkThread(&NetURLConnectionOperation::operationDidStart);
    }
}

void NetURLConnectionOperation::startCancelled() {
    // Announced as started before the cancellation finishes it, so that observers pairing starts with
    // finishes stay balanced.
    announce(NetNetworkingOperationDidStartNotification);
    cancelConnection();
}

void NetURLConnectionOperation::operationDidStart() {
    {
        std::lock_guard guard(lock_);
        if (!isCancelled()) {
            auto self = std::static_pointer_cast<NetURLConnectionOperation>(shared_from_this());
            connection_ = ns::URLConnection::create(
                request_, std::shared_ptr<ns::URLConnectionDelegate>(self, static_cast<ns::URLConnectionDelegate*>(this)),
                false);
            const auto loop = ns::RunLoop::current();
            const auto stream = outputStream();
            for (const std::string& mode : runLoopModes_) {
                connection_->scheduleInRunLoop(loop, mode);
                stream->scheduleInRunLoop(loop, mode);
            }
            stream->open();
            connection_->start();
        }
    }
    announce(NetNetworkingOperationDidStartNotification);
    ns::RunLoop::current()->performAfterDelay(
        kStartAnnouncementDelay, weak_from_this(), [courier = courier_] { courier->dispatch(); }, runLoopModeList());
}

void NetURLConnectionOperation::finish() {
    std::lock_guard guard(lock_);  // no completion block comes or goes until the state has moved
    networkRequestThread()->runLoop()->cancelPerforms(this);
    announce(NetNetworkingOperationDidFinishNotification);
    // The completion block, run because the operation finishes, takes the announcements to the main queue.
    const bool carried = hasCompletionBlock();
    if (carried) courier_->expectCarrier();
    setState(NetOperationFinishedState);
    if (!carried) courier_->dispatch();
    else if (!isFinished()) courier_->releaseCarrier();
}

void NetURLConnectionOperation::cancel() {
    std::lock_guard guard(lock_);
    if (isFinished() || isCancelled()) return;
    ns::Operation::cancel();
    if (isExecuting()) performOnNetworkThread(&NetURLConnectionOperation::cancelConnection);
}

void NetURLConnectionOperation::cancelConnection() {
    ns::Dictionary userInfo;
    if (const auto url = request().URL()) userInfo.set(std::string(ns::URLErrorFailingURLErrorKey), url->boxed());
    const ns::Error error(std::string(ns::URLErrorDomain), ns::URLErrorCancelled, std::move(userInfo));
    if (isFinished()) return;
    if (auto running = connection()) {
        running->cancel();
        connectionDidFailWithError(*running, error);
    } else {
        setError(error);
        finish();
    }
}

void NetURLConnectionOperation::pause() {
    std::lock_guard guard(lock_);
    if (isPaused() || isFinished() || isCancelled()) return;
    if (isExecuting()) {
        // The connection stops being this operation's at once, not when the network thread gets to cancel
        // it: what it still reports meanwhile (the rest of a body already on its way, its end) must reach
        // neither the paused operation nor the one that resuming starts.
        if (connection_) pausedConnections_.push_back(std::exchange(connection_, nullptr));
        performOnNetworkThread(&NetURLConnectionOperation::operationDidPause);
        networkRequestThread()->runLoop()->cancelPerforms(this);
        announce(NetNetworkingOperationDidFinishNotification);
        courier_->dispatch();
    }
    setState(NetOperationPausedState);
}

void NetURLConnectionOperation::operationDidPause() {
    std::vector<std::shared_ptr<ns::URLConnection>> paused;
    {
        std::lock_guard guard(lock_);
        paused.swap(pausedConnections_);
        // One made by a start that was already on its way when the operation paused.
        if (connection_) paused.push_back(std::exchange(connection_, nullptr));
    }
    for (const auto& connection : paused) connection->cancel();
}

void NetURLConnectionOperation::resume() {
    std::lock_guard guard(lock_);
    if (!isPaused()) return;
    setState(NetOperationReadyState);
    start();
}

void NetURLConnectionOperation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard guard(lock_);
    if (!block) return ns::Operation::setCompletionBlock(nullptr);
    std::weak_ptr<NetURLConnectionOperation> weak =
        std::static_pointer_cast<NetURLConnectionOperation>(shared_from_this());
    ns::Operation::setCompletionBlock([weak, block = std::move(block)] {
        auto strong = weak.lock();
        auto group = strong ? strong->completionGroup() : nullptr;
        auto queue = strong ? strong->completionQueue() : nullptr;
        if (!group) group = defaultCompletionGroup();
        if (!queue) queue = ns::DispatchQueue::main();
        // On the main queue the block carries the operation's announcements, which come first; elsewhere
        // they go on their own.
        const bool carries = queue->kind() == ns::DispatchQueue::Kind::Main;
        if (strong && !carries) strong->courier_->releaseCarrier();
        // Let go once it has run, on its own queue: a hop to another queue for that would wake a thread
        // for nothing.
        group->async(queue, [strong, block, carries] {
            if (strong && carries) strong->courier_->deliver();
            block();
            if (strong) strong->setCompletionBlock(nullptr);
        });
    });
}

std::string NetURLConnectionOperation::description() const {
    std::lock_guard guard(lock_);
    return "<" + std::string(className()) + ": " + ns::addressText(this) +
           ", state: " + std::string(keyForState(state())) + ", cancelled: " + (isCancelled() ? "YES" : "NO") +
           " request: " + request_.description() + ", response: " + (response_ ? response_->description() : "(null)") +
           ">";
}

ns::Value NetURLConnectionOperation::valueForKey(std::string_view key) const {
    if (key == "isPaused") return ns::Value(isPaused());
    if (key == "state") return ns::Value(state());
    return ns::Operation::valueForKey(key);
}

// ---- Connection delegate ----

void NetURLConnectionOperation::connectionWillSendRequestForAuthenticationChallenge(
    ns::URLConnection& connection, const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge) {
    if (auto block = authenticationChallenge()) return block(connection, challenge);
    ns::URLAuthenticationChallengeSender& sender = *challenge->sender();
    const ns::URLProtectionSpace& space = challenge->protectionSpace();
    if (space.authenticationMethod() == ns::URLAuthenticationMethodServerTrust) {
        auto policy = securityPolicy();
        if (policy && policy->evaluateServerTrust(space.serverTrust(), space.host())) {
            sender.useCredential(ns::URLCredential::credentialForTrust(space.serverTrust()), *challenge);
        } else {
            sender.cancelAuthenticationChallenge(*challenge);
        }
    } else if (challenge->previousFailureCount() != 0) {
        sender.continueWithoutCredentialForAuthenticationChallenge(*challenge);
    } else if (auto given = credential()) {
        sender.useCredential(given, *challenge);
    } else {
        sender.continueWithoutCredentialForAuthenticationChallenge(*challenge);
    }
}

bool NetURLConnectionOperation::connectionShouldUseCredentialStorage(ns::URLConnection&) {
    return shouldUseCredentialStorage();
}

std::optional<ns::URLRequest> NetURLConnectionOperation::connectionWillSendRequest(
    ns::URLConnection& connection, const ns::URLRequest& request,
    const std::shared_ptr<ns::URLResponse>& redirectResponse) {
    if (auto block = this->redirectResponse()) return block(connection, request, redirectResponse);
    return request;
}

void NetURLConnectionOperation::connectionDidSendBodyData(ns::URLConnection&, std::int64_t bytesWritten,
                                                          std::int64_t totalBytesWritten,
                                                          std::int64_t totalBytesExpectedToWrite) {
    if (!uploadProgress()) return;  // nobody listens: the main thread is not woken for it
    auto self = std::static_pointer_cast<NetURLConnectionOperation>(shared_from_this());
    courier_->hold([self, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite] {
        if (auto block = self->uploadProgress())
            block(static_cast<std::uint64_t>(bytesWritten), totalBytesWritten, totalBytesExpectedToWrite);
    });
    dispatchAfterDelivery();
}

bool NetURLConnectionOperation::isCurrentConnection(const ns::URLConnection& connection) const {
    std::lock_guard guard(lock_);
    return connection_.get() == &connection;
}

// The reports below hold the lock while they look whether their connection is still the operation's and
// act, so that a pause on another thread comes before or after one of them, never in the middle.

void NetURLConnectionOperation::connectionDidReceiveResponse(ns::URLConnection& connection,
                                                             const std::shared_ptr<ns::URLResponse>& response) {
    std::lock_guard guard(lock_);
    if (isCurrentConnection(connection)) setResponse(response);
}

void NetURLConnectionOperation::connectionDidReceiveData(ns::URLConnection& connection, const ns::Data& data) {
    std::lock_guard guard(lock_);
    if (!isCurrentConnection(connection)) return;
    const auto stream = outputStream();
    // A stream that takes no more bytes ends the load with its error, or with the platform's "cannot
    // write" error when it gives none, rather than leaving the operation executing or the body short.
    const auto failWriting = [&] {
        failLoad(connection, stream->streamError().value_or(ns::urlError(ns::URLErrorCannotWriteToFile, request().URL())));
    };
    if (!stream->hasSpaceAvailable()) return failWriting();
    std::size_t written = 0;
    while (written < data.length()) {
        const std::int64_t count = stream->write(data.bytes() + written, data.length() - written);
        if (count <= 0) return failWriting();
        written += static_cast<std::size_t>(count);
    }
    auto self = std::static_pointer_cast<NetURLConnectionOperation>(shared_from_this());
    const auto length = static_cast<std::int64_t>(data.length());
    const auto reply = response();
    const std::int64_t expected = reply ? reply->expectedContentLength() : ns::URLResponseUnknownLength;
    courier_->hold([self, length, expected] {
        const std::int64_t total = self->totalBytesRead_ += length;
        if (auto block = self->downloadProgress()) block(static_cast<std::uint64_t>(length), total, expected);
    });
    dispatchAfterDelivery();
}

void NetURLConnectionOperation::connectionDidFinishLoading(ns::URLConnection& connection) {
    std::lock_guard guard(lock_);
    if (!isCurrentConnection(connection)) return;
    const auto stream = outputStream();
    const ns::Value written = stream->propertyForKey(ns::StreamDataWrittenToMemoryStreamKey);
    if (const ns::Data* data = written.asData()) responseData_ = *data;
    else responseData_.reset();
    stream->close();
    if (responseData_) outputStream_.reset();
    connection_.reset();
    finish();
}

void NetURLConnectionOperation::connectionDidFailWithError(ns::URLConnection& connection, const ns::Error& error) {
    std::lock_guard guard(lock_);
    if (!isCurrentConnection(connection)) return;
    error_ = error;
    outputStream()->close();
    if (responseData_) outputStream_.reset();
    connection_.reset();
    finish();
}

void NetURLConnectionOperation::failLoad(ns::URLConnection& connection, const ns::Error& error) {
    connection.cancel();
    connectionDidFailWithError(connection, error);
}

std::shared_ptr<ns::CachedURLResponse> NetURLConnectionOperation::connectionWillCacheResponse(
    ns::URLConnection& connection, const std::shared_ptr<ns::CachedURLResponse>& cachedResponse) {
    if (auto block = cacheResponse()) return block(connection, cachedResponse);
    return isCancelled() ? nullptr : cachedResponse;
}

bool NetURLConnectionOperation::restartResponseBody() {
    std::lock_guard guard(lock_);
    if (!outputStream_) return true;  // nothing was collected yet
    if (!outputStreamIsOwn_) return false;
    auto fresh = ns::OutputStream::outputStreamToMemory();
    const auto loop = ns::RunLoop::current();
    for (const std::string& mode : runLoopModes_) fresh->scheduleInRunLoop(loop, mode);
    fresh->open();
    outputStream_->close();
    outputStream_ = std::move(fresh);
    courier_->hold([self = std::static_pointer_cast<NetURLConnectionOperation>(shared_from_this())] {
        self->totalBytesRead_ = 0;
    });
    dispatchAfterDelivery();
    return true;
}

// ---- Archiving and copying ----

void NetURLConnectionOperation::encodeWithCoder(ns::KeyedArchiver& coder) const {
    // The coding protocol hands out a const receiver, but archiving an operation pauses it by design.
    const_cast<NetURLConnectionOperation*>(this)->pause();
    std::lock_guard guard(lock_);
    NetEncodeRequest(coder, request_, "request");
    std::int64_t archivedState = state();
    if (archivedState == NetOperationPausedState || archivedState == NetOperationExecutingState)
        archivedState = NetOperationReadyState;
    coder.encodeInteger(archivedState, "state");
    NetEncodeResponse(coder, response_, "response");
    NetEncodeError(coder, error(), "error");
    if (responseData_) coder.encodeObject(ns::Value(*responseData_), "responseData");
    coder.encodeInt64(totalBytesRead_.load(), "totalBytesRead");
}

bool NetURLConnectionOperation::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (auto request = NetDecodeRequest(coder, "request")) setRequest(std::move(*request));
    setState(coder.decodeIntegerForKey("state"));
    setResponse(NetDecodeResponse(coder, "response"));
    setError(NetDecodeError(coder, "error"));
    const ns::Value data = coder.decodeObjectOfClass(*ns::Class::named("NSData"), "responseData");
    if (const ns::Data* bytes = data.asData()) setResponseData(*bytes);
    totalBytesRead_ = coder.decodeInt64ForKey("totalBytesRead");
    return true;
}

std::shared_ptr<ns::Object> NetURLConnectionOperation::copy() const {
    auto made = std::dynamic_pointer_cast<NetURLConnectionOperation>(objectClass().createInstance());
    if (!made) return nullptr;
    std::lock_guard guard(lock_);
    made->request_ = request_;
    made->uploadProgress_ = uploadProgress_;
    made->downloadProgress_ = downloadProgress_;
    made->authenticationChallenge_ = authenticationChallenge_;
    made->cacheResponse_ = cacheResponse_;
    made->redirectResponse_ = redirectResponse_;
    made->completionQueue_ = completionQueue_;
    made->completionGroup_ = completionGroup_;
    return made;
}

}  // namespace ql
