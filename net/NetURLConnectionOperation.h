#pragma once
// NetURLConnectionOperation: one URL request run as a concurrent operation. Its connection reports on the
// process-wide "Networking" thread; the operation keeps its own observable life cycle (ready, executing,
// paused, finished), streams the reply body into an output stream, answers authentication challenges
// (server trust through its security policy), reports progress on the main queue and can be paused and
// resumed. Operations announce their start and finish with notifications on the main queue.

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

#include "net/NetMainQueueCourier.h"
#include "net/NetSecurityPolicy.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Operation.h"
#include "platform/foundation/Stream.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLAuthenticationChallenge.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLCredential.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql {

// Posted on the main queue with the operation as object.
inline constexpr std::string_view NetNetworkingOperationDidStartNotification = "com.varnholt.networking.operation.start";
inline constexpr std::string_view NetNetworkingOperationDidFinishNotification =
    "com.varnholt.networking.operation.finish";

enum NetOperationState : std::int64_t {
    NetOperationPausedState = -1,
    NetOperationReadyState = 1,
    NetOperationExecutingState = 2,
    NetOperationFinishedState = 3,
};

class NetURLConnectionOperation : public ns::Operation, public ns::URLConnectionDelegate, public ns::Coding {
    QL_OBJECT(NetURLConnectionOperation, ns::Operation)
public:
    static constexpr std::string_view kLockName = "com.varnholt.networking.operation.lock";

    using ProgressBlock = std::function<void(std::uint64_t bytes, std::int64_t totalBytes, std::int64_t totalBytesExpected)>;
    using AuthenticationChallengeBlock = std::function<void(
        ns::URLConnection& connection, const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge)>;
    using CacheResponseBlock = std::function<std::shared_ptr<ns::CachedURLResponse>(
        ns::URLConnection& connection, const std::shared_ptr<ns::CachedURLResponse>& cachedResponse)>;
    using RedirectResponseBlock = std::function<std::optional<ns::URLRequest>(
        ns::URLConnection& connection, const ns::URLRequest& request,
        const std::shared_ptr<ns::URLResponse>& redirectResponse)>;
    using BatchProgressBlock = std::function<void(std::uint64_t numberOfFinishedOperations, std::uint64_t totalNumberOfOperations)>;
    using BatchCompletionBlock = std::function<void(const std::vector<std::shared_ptr<NetURLConnectionOperation>>& operations)>;

    // Ready, with the default security policy, the common run-loop modes and credential storage on.
    explicit NetURLConnectionOperation(ns::URLRequest request);
    // An operation for no request, which an unarchiver then fills in.
    NetURLConnectionOperation() : NetURLConnectionOperation(ns::URLRequest()) {}
    ~NetURLConnectionOperation() override;

    // The thread every connection reports on: named "Networking", its run loop kept alive for ever.
    static std::shared_ptr<ns::Thread> networkRequestThread();
    static void networkRequestThreadEntryPoint();

    // The operations, each reporting to `progressBlock` as it completes, followed by one operation that
    // depends on them all and hands them to `completionBlock` on the main queue. The caller enqueues them.
    static std::vector<std::shared_ptr<ns::Operation>> batchOfRequestOperations(
        const std::vector<std::shared_ptr<NetURLConnectionOperation>>& operations, BatchProgressBlock progressBlock,
        BatchCompletionBlock completionBlock);

    // ---- Fields ----
    bool shouldUseCredentialStorage() const;
    void setShouldUseCredentialStorage(bool use);
    // An in-memory stream unless one was set.
    std::shared_ptr<ns::OutputStream> outputStream();
    // Closes the stream it replaces.
    void setOutputStream(std::shared_ptr<ns::OutputStream> stream);
    std::shared_ptr<ns::InputStream> inputStream() const;
    void setInputStream(std::shared_ptr<ns::InputStream> stream);
    std::set<std::string> runLoopModes() const;
    void setRunLoopModes(std::set<std::string> modes);
    ns::URLRequest request() const;
    void setRequest(ns::URLRequest request);
    std::shared_ptr<ns::URLResponse> response() const;
    void setResponse(std::shared_ptr<ns::URLResponse> response);
    // The transport error or the cancellation error.
    virtual std::optional<ns::Error> error() const;
    void setError(std::optional<ns::Error> error);
    std::optional<ns::Data> responseData() const;
    void setResponseData(std::optional<ns::Data> data);
    // The body in the reply's text encoding; nothing while there is no reply or when it does not decode.
    std::optional<std::string> responseString();
    // UTF-8 unless the reply names an encoding known here; 0 while there is no reply.
    std::uint64_t responseStringEncoding();
    std::shared_ptr<ns::URLCredential> credential() const;
    void setCredential(std::shared_ptr<ns::URLCredential> credential);
    std::shared_ptr<NetSecurityPolicy> securityPolicy() const;
    void setSecurityPolicy(std::shared_ptr<NetSecurityPolicy> policy);
    // Null: the main queue and the process-wide completion group.
    std::shared_ptr<ns::DispatchQueue> completionQueue() const;
    void setCompletionQueue(std::shared_ptr<ns::DispatchQueue> queue);
    std::shared_ptr<ns::DispatchGroup> completionGroup() const;
    void setCompletionGroup(std::shared_ptr<ns::DispatchGroup> group);
    ns::Dictionary userInfo() const;
    void setUserInfo(ns::Dictionary userInfo);
    std::shared_ptr<ns::URLConnection> connection() const;
    // Changed on the main queue only.
    std::int64_t totalBytesRead() const;
    void setTotalBytesRead(std::int64_t total);
    std::function<void()> backgroundTaskCleanup() const;

    ProgressBlock uploadProgress() const;
    ProgressBlock downloadProgress() const;
    AuthenticationChallengeBlock authenticationChallenge() const;
    CacheResponseBlock cacheResponse() const;
    RedirectResponseBlock redirectResponse() const;
    void setUploadProgressBlock(ProgressBlock block);
    void setDownloadProgressBlock(ProgressBlock block);
    // Replaces the built-in challenge handling; the block must answer the challenge.
    void setWillSendRequestForAuthenticationChallengeBlock(AuthenticationChallengeBlock block);
    void setCacheResponseBlock(CacheResponseBlock block);
    void setRedirectResponseBlock(RedirectResponseBlock block);

    // Keeps the application running in the background until the operation ends; once the allowance
    // runs out, `handler` runs and the operation is cancelled.
    void setShouldExecuteAsBackgroundTaskWithExpirationHandler(std::function<void()> handler);

    // ---- Life cycle ----
    std::int64_t state() const { return state_.load(); }
    // Moves to `state` when the move is legal (checked under the lock); otherwise nothing happens.
    void setState(std::int64_t state);
    virtual void pause();
    bool isPaused() const { return state() == NetOperationPausedState; }
    void resume();

    void start() override;
    void cancel() override;
    bool isReady() const override;
    bool isExecuting() const override { return state() == NetOperationExecutingState; }
    bool isFinished() const override { return state() == NetOperationFinishedState; }
    bool isConcurrent() const override { return true; }

    // Runs once on the completion queue (main unless set), in the completion group, after the operation
    // finished; cleared once the group has emptied.
    void setCompletionBlock(std::function<void()> block) override;

    std::string description() const override;
    ns::Value valueForKey(std::string_view key) const override;

    // ---- Connection delegate (network thread) ----
    void connectionWillSendRequestForAuthenticationChallenge(
        ns::URLConnection& connection, const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge) override;
    bool connectionShouldUseCredentialStorage(ns::URLConnection& connection) override;
    std::optional<ns::URLRequest> connectionWillSendRequest(ns::URLConnection& connection, const ns::URLRequest& request,
                                                            const std::shared_ptr<ns::URLResponse>& redirectResponse) override;
    void connectionDidSendBodyData(ns::URLConnection& connection, std::int64_t bytesWritten,
                                   std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override;
    void connectionDidReceiveResponse(ns::URLConnection& connection,
                                      const std::shared_ptr<ns::URLResponse>& response) override;
    void connectionDidReceiveData(ns::URLConnection& connection, const ns::Data& data) override;
    void connectionDidFinishLoading(ns::URLConnection& connection) override;
    void connectionDidFailWithError(ns::URLConnection& connection, const ns::Error& error) override;
    std::shared_ptr<ns::CachedURLResponse> connectionWillCacheResponse(
        ns::URLConnection& connection, const std::shared_ptr<ns::CachedURLResponse>& cachedResponse) override;

    // ---- Archiving and copying ----
    // Archiving pauses the operation first, so that a decoded copy can ask for the rest of the body.
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }
    // A ready operation for the same request with the same callbacks and completion queue and group.
    std::shared_ptr<ns::Object> copy() const override;

protected:
    // Network-thread work.
    void operationDidStart();
    void startCancelled();
    void operationDidPause();
    void cancelConnection();
    void finish();

    // Performs `work` on the network thread in the operation's run-loop modes, holding the operation.
    void performOnNetworkThread(void (NetURLConnectionOperation::*work)());
    // Replaces the body collected so far by an empty one, for a reply that starts the body over. False
    // when the output stream cannot start over (it is not the operation's own in-memory stream).
    bool restartResponseBody();
    // Ends the load with `error` (network thread): the connection is cancelled and the failure path runs.
    void failLoad(ns::URLConnection& connection, const ns::Error& error);
    // Whether the connection reporting is the one the operation runs now (not one a pause let go).
    bool isCurrentConnection(const ns::URLConnection& connection) const;

    std::recursive_mutex& lock() const { return lock_; }

private:
    // A start is announced with the next work for the main queue (its finish and completion block, for a
    // short load), or after this many seconds when nothing goes there sooner.
    static constexpr double kStartAnnouncementDelay = 0.1;

    // Announcements and reports for the main queue, in order; see NetMainQueueCourier.
    void announce(std::string_view name);
    // Network thread: sends what the courier holds once the reports of this delivery have been handled, so
    // that a reply's body and end travel together.
    void dispatchAfterDelivery();
    // Whether the output stream is the in-memory stream the operation made itself.
    bool ownsOutputStream() const;
    // The run loop modes as a run loop's performs take them.
    std::vector<std::string> runLoopModeList() const;

    mutable std::recursive_mutex lock_;
    std::atomic<std::int64_t> state_{NetOperationReadyState};
    bool shouldUseCredentialStorage_ = true;
    std::shared_ptr<ns::OutputStream> outputStream_;
    bool outputStreamIsOwn_ = false;
    std::set<std::string> runLoopModes_;
    ns::URLRequest request_;
    std::shared_ptr<ns::URLResponse> response_;
    std::optional<ns::Error> error_;
    std::optional<ns::Data> responseData_;
    std::optional<std::string> responseString_;
    std::uint64_t responseStringEncoding_ = 0;
    std::shared_ptr<ns::URLCredential> credential_;
    std::shared_ptr<NetSecurityPolicy> securityPolicy_;
    std::shared_ptr<ns::DispatchQueue> completionQueue_;
    std::shared_ptr<ns::DispatchGroup> completionGroup_;
    ns::Dictionary userInfo_;
    std::shared_ptr<ns::URLConnection> connection_;
    // Let go by a pause; the network thread cancels them.
    std::vector<std::shared_ptr<ns::URLConnection>> pausedConnections_;
    std::atomic<std::int64_t> totalBytesRead_{0};
    const std::shared_ptr<NetMainQueueCourier> courier_ = NetMainQueueCourier::make();
    std::atomic<bool> dispatchAfterDeliveryQueued_{false};
    std::function<void()> backgroundTaskCleanup_;
    ProgressBlock uploadProgress_;
    ProgressBlock downloadProgress_;
    AuthenticationChallengeBlock authenticationChallenge_;
    CacheResponseBlock cacheResponse_;
    RedirectResponseBlock redirectResponse_;
};

}  // namespace ql
