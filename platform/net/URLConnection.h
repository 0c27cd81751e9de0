#pragma once
// ns::URLConnection: loads a request and tells its delegate, after the platform's URL connection. The
// delegate is called on the run loops and in the modes the connection is scheduled for (the current run
// loop in the default mode unless scheduled otherwise), in the platform's order. While it loads, a
// connection is a source of each run loop it is scheduled on, so a thread can run its loop until the
// load ends; the connection keeps its delegate until then. After cancel() the delegate hears nothing more.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/net/LoadEventQueue.h"
#include "platform/net/URLAuthenticationChallenge.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLLoad.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql::ns {

class InputStream;
class RunLoop;
class RunLoopSource;
class URLConnection;

// The connection's delegate (the platform's connection and connection-data delegate protocols). Each call
// has the platform's default behaviour unless overridden.
class URLConnectionDelegate {
public:
    virtual ~URLConnectionDelegate() = default;

    virtual void connectionDidFailWithError(URLConnection& connection, const Error& error);
    // There is no credential storage here; kept for delegates that answer it.
    virtual bool connectionShouldUseCredentialStorage(URLConnection& connection);
    // By default passes the challenge to connectionDidReceiveAuthenticationChallenge, whose default is the
    // sender's default handling (server trust judged by the system's roots; a password request answered
    // with the reply as it is).
    virtual void connectionWillSendRequestForAuthenticationChallenge(
        URLConnection& connection, const std::shared_ptr<URLAuthenticationChallenge>& challenge);
    virtual void connectionDidReceiveAuthenticationChallenge(
        URLConnection& connection, const std::shared_ptr<URLAuthenticationChallenge>& challenge);
    virtual void connectionDidCancelAuthenticationChallenge(
        URLConnection& connection, const std::shared_ptr<URLAuthenticationChallenge>& challenge);

    // Before the first request (no redirect response) and before each redirect: the request to send, or
    // nothing to stop (before the first request) or to take the redirect reply as the reply.
    virtual std::optional<URLRequest> connectionWillSendRequest(URLConnection& connection, const URLRequest& request,
                                                                const std::shared_ptr<URLResponse>& redirectResponse);
    virtual void connectionDidReceiveResponse(URLConnection& connection, const std::shared_ptr<URLResponse>& response);
    virtual void connectionDidReceiveData(URLConnection& connection, const Data& data);
    // A fresh copy of the request's body stream, when it must be sent again; null fails the load.
    virtual std::shared_ptr<InputStream> connectionNeedNewBodyStream(URLConnection& connection,
                                                                     const URLRequest& request);
    virtual void connectionDidSendBodyData(URLConnection& connection, std::int64_t bytesWritten,
                                           std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite);
    // What to keep in the URL cache (null: nothing); the proposed response by default.
    virtual std::shared_ptr<CachedURLResponse> connectionWillCacheResponse(
        URLConnection& connection, const std::shared_ptr<CachedURLResponse>& cachedResponse);
    virtual void connectionDidFinishLoading(URLConnection& connection);
};

class URLConnection final : public Object, private QueuedLoadClient {
    QL_OBJECT_NAMED(URLConnection, Object, "NSURLConnection")
public:
    class Key {
        friend class URLConnection;
        Key() = default;
    };
    // Use create() or connectionWithRequest().
    URLConnection(Key, URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate);
    ~URLConnection() override;

    // The platform's initWithRequest:delegate:startImmediately:.
    static std::shared_ptr<URLConnection> create(const URLRequest& request,
                                                 std::shared_ptr<URLConnectionDelegate> delegate,
                                                 bool startImmediately = true);
    static std::shared_ptr<URLConnection> connectionWithRequest(const URLRequest& request,
                                                                std::shared_ptr<URLConnectionDelegate> delegate);

    // Loads the request, on the current run loop in the default mode unless scheduled before. Starting
    // twice, or after cancel(), does nothing.
    void start();
    void cancel();
    void scheduleInRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view mode);
    void unscheduleFromRunLoop(const std::shared_ptr<RunLoop>& runLoop, std::string_view mode);

    const URLRequest& originalRequest() const { return originalRequest_; }
    URLRequest currentRequest() const;

    // From now on, connections started on the calling thread that report only to its run loop load on this
    // thread: its run loop waits on their sockets as well as on its own work, so that their reports need no
    // other thread. For a thread that keeps running its loop (a networking thread); loads started there
    // share their kept-alive connections with each other only.
    static void loadOnCurrentThread();

    // Loads the request on the calling thread, which waits; redirects are followed and challenges get the
    // default handling. The body (also of an HTTP error reply), or nothing when the load failed.
    static std::optional<Data> sendSynchronousRequest(const URLRequest& request, std::shared_ptr<URLResponse>* response,
                                                      Error* error);

private:
    struct Schedule {
        std::weak_ptr<RunLoop> loop;
        std::string mode;
    };

    void deliver();
    void dispatch(LoadEvent& event, const std::shared_ptr<URLConnectionDelegate>& delegate);
    // Ends the connection: no more deliveries, the delegate released, the run loops freed.
    void end();
    void enqueue(LoadEvent event) override;

    const URLRequest originalRequest_;
    std::shared_ptr<RunLoopSource> source_;
    LoadEventQueue queue_;
    // Set once before the load starts; the queue asks it to hold back.
    std::weak_ptr<URLLoad> backpressureTarget_;
    // Held while the delegate is called, so that a cancel from another thread waits for the call in progress
    // and the delegate hears nothing after the cancel returns. Recursive: the delegate may cancel.
    std::recursive_mutex deliveryMutex_;

    mutable std::mutex mutex_;
    URLRequest currentRequest_;
    std::shared_ptr<URLConnectionDelegate> delegate_;
    std::vector<Schedule> schedules_;
    std::shared_ptr<URLLoad> load_;
    bool started_ = false;
    bool ended_ = false;
};

}  // namespace ql::ns
