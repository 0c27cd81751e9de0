#pragma once
// The loading of one request on behalf of a connection, a session task or a synchronous request: it asks
// the registered protocols, consults the URL cache and the cookie storage, runs HTTP exchanges on the
// loading engine, and turns redirects, password requests and server certificates into questions for its
// owner. Nothing here waits for an answer: a question carries a function to call with it, from any
// thread, and the load goes on from there. Internal to the loading system.

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/net/HTTPCookieStorage.h"
#include "platform/net/HTTPExchange.h"
#include "platform/net/URLAuthenticationChallenge.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLError.h"
#include "platform/net/URLProtocol.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql::ns {

class InputStream;
class LoadingEngine;

// What a load tells its owner, from any thread, in the order things happen. Each load ends with
// loadDidFinish or loadDidFail, unless it was cancelled or the owner declined its first request.
class URLLoadClient {
public:
    virtual ~URLLoadClient() = default;
    // Before the first request (redirectResponse null; only for owners that ask for it) and before each
    // redirect. Answering nothing declines: the load ends silently for the first request, and with the
    // redirect reply as the final reply otherwise.
    virtual void loadWillSendRequest(const URLRequest& request, const std::shared_ptr<URLResponse>& redirectResponse,
                                     std::function<void(std::optional<URLRequest>)> answer) = 0;
    // Answered through the challenge's sender.
    virtual void loadDidReceiveChallenge(const std::shared_ptr<URLAuthenticationChallenge>& challenge) = 0;
    virtual void loadDidCancelChallenge(const std::shared_ptr<URLAuthenticationChallenge>& challenge) = 0;
    // The request's body stream was read already and must be sent again; no stream fails the load.
    virtual void loadNeedsNewBodyStream(std::function<void(std::shared_ptr<InputStream>)> answer) = 0;
    virtual void loadDidSendBodyData(std::int64_t bytesSent, std::int64_t totalBytesSent,
                                     std::int64_t totalBytesExpectedToSend) = 0;
    virtual void loadDidReceiveResponse(const std::shared_ptr<URLResponse>& response) = 0;
    virtual void loadDidReceiveData(const Data& data) = 0;
    // The reply may be kept in the URL cache; the answer is what to keep (null: nothing).
    virtual void loadWillCacheResponse(const std::shared_ptr<CachedURLResponse>& proposed,
                                       std::function<void(std::shared_ptr<CachedURLResponse>)> answer) = 0;
    virtual void loadDidFinish() = 0;
    virtual void loadDidFail(const Error& error) = 0;
};

// The server certificates accepted for hosts by the owners of a set of loads (one session), so that later
// loads reuse connections to those servers without asking again.
class ServerTrustApprovals {
public:
    std::optional<Data> acceptedLeaf(const std::string& hostAndPort) const;
    void accept(const std::string& hostAndPort, Data leaf);

private:
    mutable std::mutex mutex_;
    std::map<std::string, Data> accepted_;
};

struct URLLoadOptions {
    // The engine the load's exchanges run on; the process's I/O thread unless given.
    std::shared_ptr<LoadingEngine> engine;
    std::shared_ptr<URLCache> cache;            // none: no caching
    std::shared_ptr<HTTPCookieStorage> cookies;  // none: no cookies
    // For requests that keep the default cache policy and timeout.
    URLRequestCachePolicy defaultCachePolicy = URLRequestCachePolicy::UseProtocolCachePolicy;
    double defaultTimeoutInterval = URLRequest::kDefaultTimeoutInterval;
    // The whole load must end within this many seconds.
    double resourceTimeout = std::numeric_limits<double>::infinity();
    HTTPHeaderFields additionalHeaders;
    // The owner presents server trust challenges; otherwise the system's roots judge the server.
    bool ownerJudgesServerTrust = true;
    bool asksForFirstRequest = false;
    // The error code of a load whose owner cancelled a challenge.
    std::int64_t cancelledChallengeErrorCode = URLErrorUserCancelledAuthentication;
    std::shared_ptr<ServerTrustApprovals> approvals;
    // A body sent instead of the request's own (session upload tasks).
    std::variant<std::monostate, Data, std::string /* file path */> uploadBody;
};

class URLLoad : public std::enable_shared_from_this<URLLoad>,
                private HTTPExchangeObserver,
                private URLProtocolClient {
public:
    static std::shared_ptr<URLLoad> create(URLRequest request, std::shared_ptr<URLLoadClient> client,
                                           URLLoadOptions options);

    void start();
    // Stops the load from any thread; the client hears nothing more.
    void cancel();
    // A suspended load neither sends nor receives.
    void setSuspended(bool suspended);
    // Holds back reading while the owner has many bytes it has not delivered yet.
    void setBackpressure(bool held);

    URLRequest currentRequest() const;

    URLLoad(URLRequest request, std::shared_ptr<URLLoadClient> client, URLLoadOptions options);
    ~URLLoad() override;

private:
    class ChallengeSender;
    friend class ChallengeSender;

    enum class BodySource { None, Request, UploadData, UploadFile };

    // Legs: each request the load sends (the first, then one per redirect or retry) is a leg; reports of
    // an earlier leg are ignored.
    // `request` becomes the current request unless it is that already (the first leg).
    void startLeg(URLRequest request, bool replacesCurrent = true);
    void startExchange(URLRequest request, std::uint64_t leg);
    void startProtocol(const URLProtocol::Registration& registration, const URLRequest& request, std::uint64_t leg);
    bool isCurrent(std::uint64_t leg) const;
    bool isCurrent(const HTTPExchange& exchange) const;
    bool isCurrent(const URLProtocol& protocol) const;
    // Whether a leg can send `stream` from its start: it was given to no earlier leg and nobody opened it.
    bool bodyStreamUnread(const std::shared_ptr<InputStream>& stream) const;

    void storeCookies(const URLResponse& response);
    void deliverCached(const std::shared_ptr<CachedURLResponse>& cached);
    // The held reply of the current exchange is the reply: its body follows from the exchange.
    void deliverHeld(const std::shared_ptr<URLResponse>& response);
    void handleRedirect(const std::shared_ptr<HTTPURLResponse>& response);
    void askForPassword(const std::shared_ptr<HTTPURLResponse>& response);
    void askAboutServerTrust(const std::shared_ptr<sec::Trust>& trust);
    void acceptServer(const std::shared_ptr<sec::Trust>& trust);
    void judgeServerByDefault(const std::shared_ptr<sec::Trust>& trust);
    void stopProtocol();

    // Reports to the client unless the load ended; `last` ends it.
    void report(const std::function<void(URLLoadClient&)>& call, bool last = false);
    void fail(std::int64_t code);
    void finish();

    // A response the load may offer to the cache, with its body collected.
    void considerForCache(const std::shared_ptr<URLResponse>& response, URLCacheStoragePolicy policy);
    void collectForCache(const Data& data);
    void offerToCacheAndFinish();

    // HTTPExchangeObserver
    void exchangeDidSendBodyData(HTTPExchange& exchange, std::int64_t bytesSent, std::int64_t totalBytesSent,
                                 std::int64_t totalBytesExpectedToSend) override;
    void exchangeDidReceiveResponse(HTTPExchange& exchange, std::shared_ptr<HTTPURLResponse> response) override;
    void exchangeDidReceiveData(HTTPExchange& exchange, Data data) override;
    void exchangeDidFinish(HTTPExchange& exchange) override;
    void exchangeDidFail(HTTPExchange& exchange, Error error) override;
    void exchangeDidHoldResponse(HTTPExchange& exchange, std::shared_ptr<HTTPURLResponse> response) override;
    void exchangeNeedsServerTrustDecision(HTTPExchange& exchange, std::shared_ptr<sec::Trust> trust) override;

    // URLProtocolClient, for the protocol instance of the current leg.
    void URLProtocolWasRedirectedToRequest(URLProtocol& protocol, const URLRequest& request,
                                           const std::shared_ptr<URLResponse>& redirectResponse) override;
    void URLProtocolCachedResponseIsValid(URLProtocol& protocol,
                                          const std::shared_ptr<CachedURLResponse>& cachedResponse) override;
    void URLProtocolDidReceiveResponse(URLProtocol& protocol, const std::shared_ptr<URLResponse>& response,
                                       URLCacheStoragePolicy policy) override;
    void URLProtocolDidLoadData(URLProtocol& protocol, const Data& data) override;
    void URLProtocolDidFinishLoading(URLProtocol& protocol) override;
    void URLProtocolDidFailWithError(URLProtocol& protocol, const Error& error) override;
    void URLProtocolDidReceiveAuthenticationChallenge(
        URLProtocol& protocol, const std::shared_ptr<URLAuthenticationChallenge>& challenge) override;
    void URLProtocolDidCancelAuthenticationChallenge(
        URLProtocol& protocol, const std::shared_ptr<URLAuthenticationChallenge>& challenge) override;

    const URLLoadOptions options_;
    const std::optional<double> deadline_;  // of ns::Clock

    mutable std::mutex mutex_;
    std::shared_ptr<URLLoadClient> client_;  // dropped when the load ends
    bool ended_ = false;
    bool started_ = false;
    URLRequest request_;  // the current request
    std::uint64_t leg_ = 0;
    BodySource body_ = BodySource::None;
    std::shared_ptr<HTTPExchange> exchange_;
    std::shared_ptr<URLProtocol> protocol_;  // until it is stopped
    int redirects_ = 0;
    int passwordAttempts_ = 0;
    std::optional<std::string> authorization_;  // sent with every leg once a password was given
    // The body stream last given to a leg. That leg's body reads it on a thread of its own, and may still
    // open or close it after the leg has ended, so its state is never asked again here.
    std::shared_ptr<InputStream> streamHandedOut_;
    std::optional<Data> acceptedLeaf_;
    bool suspended_ = false;
    bool backpressure_ = false;
    // Cache state of the current leg.
    std::shared_ptr<CachedURLResponse> revalidating_;
    bool servedFromRevalidation_ = false;
    std::shared_ptr<URLResponse> cacheCandidate_;
    URLCacheStoragePolicy cachePolicy_ = URLCacheStoragePolicy::Allowed;
    std::uint64_t largestCachedBody_ = 0;
    Data cacheBody_;
};

}  // namespace ql::ns
