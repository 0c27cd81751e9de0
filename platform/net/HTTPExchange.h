#pragma once
// One HTTP request and its reply, carried out by a loading engine on its driving thread. An exchange does
// not follow redirects or answer challenges itself: a redirect or a password request is reported as soon
// as its head arrived, with the reply held back, and a server certificate that must be judged by the owner
// ends it before any byte of the request was sent. Its owner decides and starts the next exchange (and
// cancels this one, dropping the held body), or takes the held reply as the reply. Internal to the loading
// system.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/net/RequestBody.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "platform/security/Trust.h"

namespace ql::ns {

class HTTPExchange;
class LoadingEngine;
struct ExchangeCallbacks;

// Told, on the engine's driving thread and in order, what an exchange does. Implementations must not block: they queue
// work for their own threads. Each exchange ends with exchangeDidFinish, exchangeDidFail or
// exchangeNeedsServerTrustDecision, unless it was cancelled, after which it reports nothing; a held reply
// ends only once its owner took it (releaseHeldResponse) or cancelled the exchange.
class HTTPExchangeObserver {
public:
    virtual ~HTTPExchangeObserver() = default;
    virtual void exchangeDidSendBodyData(HTTPExchange& exchange, std::int64_t bytesSent, std::int64_t totalBytesSent,
                                         std::int64_t totalBytesExpectedToSend) = 0;
    virtual void exchangeDidReceiveResponse(HTTPExchange& exchange, std::shared_ptr<HTTPURLResponse> response) = 0;
    virtual void exchangeDidReceiveData(HTTPExchange& exchange, Data data) = 0;
    virtual void exchangeDidFinish(HTTPExchange& exchange) = 0;
    virtual void exchangeDidFail(HTTPExchange& exchange, Error error) = 0;
    // A redirect (3xx with a Location) or a request for a password (401 with a Basic challenge), as soon as
    // its head arrived. Its body is held back (at most a small part of it; reading waits beyond that) until
    // the owner takes the reply, which then goes on as any other.
    virtual void exchangeDidHoldResponse(HTTPExchange& exchange, std::shared_ptr<HTTPURLResponse> response) = 0;
    // The server presented this chain and the owner asked to judge it: nothing of the request was sent.
    virtual void exchangeNeedsServerTrustDecision(HTTPExchange& exchange, std::shared_ptr<sec::Trust> trust) = 0;
};

struct HTTPExchangeSetup {
    // The engine that runs the exchange; the process's I/O thread unless given.
    std::shared_ptr<LoadingEngine> engine;
    URLRequest request;  // sent as it is: URL, method, header fields; its body comes from `body`
    std::shared_ptr<RequestBody> body;
    // Both on the app's clock (ns::Clock), as the rest of the app's time: a manual clock stands still for
    // them however long the process waits in real time.
    double idleTimeout = URLRequest::kDefaultTimeoutInterval;
    // When the whole load must be over, whatever its progress.
    std::optional<double> deadline;
    // Without an owner that judges server trust, a chain is judged by the system's roots and the host name.
    bool ownerJudgesServerTrust = false;
    // The leaf certificate (DER) the owner accepted for this server; connections that presented it are
    // reused, others must present it again.
    std::optional<Data> acceptedLeafCertificate;
    // Ask for a password challenge (401 with a Basic challenge) instead of reporting the 401 as the reply.
    bool holdsAuthenticationRequests = true;
};

class HTTPExchange : public std::enable_shared_from_this<HTTPExchange> {
public:
    enum PauseReason : unsigned {
        PausedByOwner = 1u << 0,       // a suspended task
        PausedForBackpressure = 1u << 1,  // the owner has too many bytes not yet delivered
        PausedWhileHeld = 1u << 2,        // the body of a held reply reached its limit before the owner decided
    };

    // Made first and started after, so that its owner knows it before its first report can come.
    HTTPExchange(HTTPExchangeSetup setup, std::shared_ptr<HTTPExchangeObserver> observer);
    ~HTTPExchange();
    HTTPExchange(const HTTPExchange&) = delete;
    HTTPExchange& operator=(const HTTPExchange&) = delete;

    // Starts the exchange on the engine's thread.
    void start();

    // Stops the exchange from any thread; a report already under way on the engine's thread may still arrive.
    void cancel();
    // Stops or resumes the transfer's reading (and sending, for the owner's pauses) from any thread.
    void setPaused(PauseReason reason, bool paused);
    // From any thread: the held reply is the reply after all. Its body is reported from the first byte on,
    // then the exchange ends as any other.
    void releaseHeldResponse();

    const URLRequest& request() const { return setup_.request; }

private:
    friend class LoadingEngine;
    friend struct ExchangeCallbacks;
    struct Transfer;

    // On the engine's thread, called by the engine.
    void begin();
    void complete(int curlCode);
    // Reports the end of a transfer that stopped with `curlCode`.
    void reportEnd(const std::shared_ptr<HTTPExchangeObserver>& observer, int curlCode, long osError);
    void releaseHeld();
    // Body bytes curl read: kept with those of the same round, which reach the observer as one piece when
    // the round ends (or the exchange does), so that a fast transfer's bytes are copied once and queued
    // in few pieces.
    void gather(const char* data, std::size_t length);
    void reportPiece();
    // Takes the transfer off the engine; the observer stays.
    void stopTransfer();
    void abort();
    void timeOut();
    std::optional<double> nextDeadline() const;
    int verifyServerChain(void* storeContext);
    void configureTLS(void* sslContext);

    const HTTPExchangeSetup setup_;
    const std::shared_ptr<LoadingEngine> engine_;
    std::shared_ptr<HTTPExchangeObserver> observer_;  // engine's thread; dropped at the end
    std::unique_ptr<Transfer> transfer_;              // engine's thread
    // Set once the exchange has stopped for good, so that a cancel after its end queues no command.
    std::atomic<bool> aborted_{false};
};

}  // namespace ql::ns
