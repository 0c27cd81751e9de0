#include "platform/net/URLLoad.h"

#include <atomic>
#include <charconv>
#include <cmath>

#include "platform/foundation/Base64.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Stream.h"
#include "platform/net/FileURLProtocol.h"
#include "platform/net/HTTPCaching.h"

namespace ql::ns {

namespace {

// Redirects followed for one load before it fails.
constexpr int kMaximumRedirects = 16;

std::string hostAndPort(const URL& url) {
    const bool secure = url.scheme() == "https";
    return url.host().value_or("") + ":" + std::to_string(url.port().value_or(secure ? 443 : 80));
}

bool isHTTP(const URL& url) { return url.scheme() == "http" || url.scheme() == "https"; }

// Scheme, host and port (the scheme's own when none is written): credentials given for one origin are not
// carried to another, not even to another port of the same host.
bool sameOrigin(const URL& a, const URL& b) {
    auto port = [](const URL& url) { return url.port().value_or(url.scheme() == "https" ? 443 : 80); };
    return a.scheme() == b.scheme() && a.host() == b.host() && port(a) == port(b);
}

std::optional<std::string> realmOf(const HTTPURLResponse& response) {
    auto challenge = response.valueForHTTPHeaderField("WWW-Authenticate");
    if (!challenge) return std::nullopt;
    const auto at = challenge->find("realm=");
    if (at == std::string::npos) return std::nullopt;
    std::string_view rest = std::string_view(*challenge).substr(at + 6);
    if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        return std::string(rest.substr(0, rest.find('"')));
    }
    return std::string(rest.substr(0, rest.find_first_of(", ")));
}

// On the app's clock, as every time-out of a load.
std::optional<double> deadlineAfter(double seconds) {
    if (!std::isfinite(seconds) || seconds > 365.0 * 24 * 3600) return std::nullopt;
    return Clock::now() + seconds;
}

}  // namespace

// ---- Approvals ----

std::optional<Data> ServerTrustApprovals::acceptedLeaf(const std::string& hostAndPort) const {
    std::lock_guard lock(mutex_);
    auto found = accepted_.find(hostAndPort);
    if (found == accepted_.end()) return std::nullopt;
    return found->second;
}

void ServerTrustApprovals::accept(const std::string& hostAndPort, Data leaf) {
    std::lock_guard lock(mutex_);
    accepted_[hostAndPort] = std::move(leaf);
}

// ---- Challenges ----

// Answers a challenge the load asked. The first answer counts.
class URLLoad::ChallengeSender final : public URLAuthenticationChallengeSender {
public:
    enum class Kind { ServerTrust, Password };

    ChallengeSender(std::weak_ptr<URLLoad> load, std::uint64_t leg, Kind kind, std::shared_ptr<sec::Trust> trust,
                    std::shared_ptr<HTTPURLResponse> response)
        : load_(std::move(load)), leg_(leg), kind_(kind), trust_(std::move(trust)), response_(std::move(response)) {}

    void useCredential(const std::shared_ptr<URLCredential>& credential, const URLAuthenticationChallenge&) override {
        auto load = claim();
        if (!load) return;
        if (kind_ == Kind::ServerTrust) {
            if (credential && credential->serverTrust()) return load->acceptServer(credential->serverTrust());
            return load->judgeServerByDefault(trust_);
        }
        if (!credential || !credential->user()) return load->deliverHeld(response_);
        const std::string pair = *credential->user() + ":" + credential->password().value_or("");
        URLRequest request;
        {
            std::lock_guard lock(load->mutex_);
            ++load->passwordAttempts_;
            load->authorization_ = "Basic " + base64EncodedString(Data(pair));
            request = load->request_;
        }
        load->startLeg(std::move(request));
    }
    void continueWithoutCredentialForAuthenticationChallenge(const URLAuthenticationChallenge&) override {
        if (auto load = claim()) proceedByDefault(*load);
    }
    void performDefaultHandlingForAuthenticationChallenge(const URLAuthenticationChallenge&) override {
        if (auto load = claim()) proceedByDefault(*load);
    }
    void rejectProtectionSpaceAndContinueWithChallenge(const URLAuthenticationChallenge&) override {
        if (auto load = claim()) proceedByDefault(*load);
    }
    void cancelAuthenticationChallenge(const URLAuthenticationChallenge&) override {
        if (auto load = claim()) load->fail(load->options_.cancelledChallengeErrorCode);
    }

private:
    std::shared_ptr<URLLoad> claim() {
        if (answered_.exchange(true)) return nullptr;
        auto load = load_.lock();
        return load && load->isCurrent(leg_) ? load : nullptr;
    }
    void proceedByDefault(URLLoad& load) {
        if (kind_ == Kind::ServerTrust) return load.judgeServerByDefault(trust_);
        load.deliverHeld(response_);
    }

    const std::weak_ptr<URLLoad> load_;
    const std::uint64_t leg_;
    const Kind kind_;
    const std::shared_ptr<sec::Trust> trust_;
    const std::shared_ptr<HTTPURLResponse> response_;
    std::atomic<bool> answered_{false};
};

// ---- The load ----

std::shared_ptr<URLLoad> URLLoad::create(URLRequest request, std::shared_ptr<URLLoadClient> client,
                                         URLLoadOptions options) {
    return std::make_shared<URLLoad>(std::move(request), std::move(client), std::move(options));
}

URLLoad::URLLoad(URLRequest request, std::shared_ptr<URLLoadClient> client, URLLoadOptions options)
    : options_(std::move(options)),
      deadline_(deadlineAfter(options_.resourceTimeout)),
      client_(std::move(client)),
      request_(std::move(request)) {
    if (std::holds_alternative<Data>(options_.uploadBody)) body_ = BodySource::UploadData;
    else if (std::holds_alternative<std::string>(options_.uploadBody)) body_ = BodySource::UploadFile;
    else if (request_.HTTPBody() || request_.HTTPBodyStream()) body_ = BodySource::Request;
}

URLLoad::~URLLoad() = default;

URLRequest URLLoad::currentRequest() const { return ns::lockedCopy(mutex_, request_); }

bool URLLoad::isCurrent(std::uint64_t leg) const {
    std::lock_guard lock(mutex_);
    return !ended_ && leg == leg_;
}

bool URLLoad::isCurrent(const HTTPExchange& exchange) const {
    std::lock_guard lock(mutex_);
    return !ended_ && exchange_.get() == &exchange;
}

bool URLLoad::isCurrent(const URLProtocol& protocol) const {
    std::lock_guard lock(mutex_);
    return !ended_ && protocol_.get() == &protocol;
}

void URLLoad::report(const std::function<void(URLLoadClient&)>& call, bool last) {
    std::shared_ptr<URLLoadClient> client;
    std::shared_ptr<HTTPExchange> exchange;
    {
        std::lock_guard lock(mutex_);
        if (ended_) return;
        client = client_;
        if (last) {
            ended_ = true;
            client_.reset();
            exchange = std::move(exchange_);
        }
    }
    // An exchange still reading (a held reply the load gave up on) must not go on for nobody.
    if (exchange) exchange->cancel();
    call(*client);
}

void URLLoad::fail(std::int64_t code) {
    const auto url = currentRequest().URL();
    stopProtocol();
    report([&](URLLoadClient& client) { client.loadDidFail(urlError(code, url)); }, true);
}

void URLLoad::finish() {
    stopProtocol();
    report([](URLLoadClient& client) { client.loadDidFinish(); }, true);
}

void URLLoad::start() {
    URLRequest request;
    {
        std::lock_guard lock(mutex_);
        if (started_ || ended_) return;
        started_ = true;
        request = request_;
    }
    if (!options_.asksForFirstRequest) return startLeg(std::move(request), false);
    std::weak_ptr<URLLoad> weak = weak_from_this();
    report([&](URLLoadClient& client) {
        client.loadWillSendRequest(request, nullptr, [weak](std::optional<URLRequest> answer) {
            auto self = weak.lock();
            if (!self) return;
            if (answer) return self->startLeg(std::move(*answer));
            self->report([](URLLoadClient&) {}, true);  // declined: the load ends without a word
        });
    });
}

void URLLoad::cancel() {
    std::shared_ptr<HTTPExchange> exchange;
    {
        std::lock_guard lock(mutex_);
        if (ended_) return;
        ended_ = true;
        client_.reset();
        exchange = std::move(exchange_);
    }
    if (exchange) exchange->cancel();
    stopProtocol();
}

void URLLoad::setSuspended(bool suspended) {
    std::shared_ptr<HTTPExchange> exchange;
    {
        std::lock_guard lock(mutex_);
        suspended_ = suspended;
        exchange = exchange_;
    }
    if (exchange) exchange->setPaused(HTTPExchange::PausedByOwner, suspended);
}

void URLLoad::setBackpressure(bool held) {
    std::shared_ptr<HTTPExchange> exchange;
    {
        std::lock_guard lock(mutex_);
        backpressure_ = held;
        exchange = exchange_;
    }
    if (exchange) exchange->setPaused(HTTPExchange::PausedForBackpressure, held);
}

void URLLoad::startLeg(URLRequest request, bool replacesCurrent) {
    std::uint64_t leg;
    std::shared_ptr<HTTPExchange> previous;
    {
        std::lock_guard lock(mutex_);
        if (ended_) return;
        leg = ++leg_;
        if (replacesCurrent) request_ = request;
        previous = std::move(exchange_);
        revalidating_.reset();
        servedFromRevalidation_ = false;
        cacheCandidate_.reset();
        cacheBody_ = Data();
    }
    if (previous) previous->cancel();
    stopProtocol();
    const auto& url = request.URL();
    if (!url || !url->scheme() || url->absoluteString().empty()) return fail(URLErrorBadURL);
    if (auto registration = URLProtocol::registrationForRequest(request))
        return startProtocol(*registration, request, leg);
    if (FileURLProtocol::canInitWithRequest(request)) return startProtocol(FileURLProtocol::registration(), request, leg);
    if (!isHTTP(*url)) return fail(URLErrorUnsupportedURL);
    if (!url->host() || url->host()->empty()) return fail(URLErrorBadURL);
    startExchange(std::move(request), leg);
}

bool URLLoad::bodyStreamUnread(const std::shared_ptr<InputStream>& stream) const {
    {
        std::lock_guard lock(mutex_);
        if (stream == streamHandedOut_) return false;
    }
    return stream->streamStatus() == StreamStatus::NotOpen;
}

void URLLoad::startExchange(URLRequest request, std::uint64_t leg) {
    // What is sent is the request with the fields the load adds; the load keeps the request as it was.
    URLRequest& sent = request;
    const URLRequestCachePolicy policy = request.cachePolicy() == URLRequestCachePolicy::UseProtocolCachePolicy
                                             ? options_.defaultCachePolicy
                                             : request.cachePolicy();
    std::shared_ptr<CachedURLResponse> revalidating;
    if (options_.cache) {
        auto cached = options_.cache->cachedResponseForRequest(request);
        switch (http::decideCacheUse(request, policy, cached, Clock::now())) {
            case http::CacheUse::UseCached: return deliverCached(cached);
            case http::CacheUse::Fail: return fail(URLErrorResourceUnavailable);
            case http::CacheUse::Revalidate:
                http::addValidators(sent, *cached);
                revalidating = cached;
                break;
            case http::CacheUse::Load: break;
        }
    }
    if (options_.cookies && request.HTTPShouldHandleCookies() && !request.headerFields().contains("Cookie")) {
        const Dictionary fields = HTTPCookie::requestHeaderFieldsWithCookies(options_.cookies->cookiesForURL(*request.URL()));
        if (const Value* cookie = fields.find("Cookie")) sent.setValue(std::string(cookie->asString()), "Cookie");
    }
    for (const auto& [name, value] : options_.additionalHeaders.fields()) {
        if (!sent.headerFields().contains(name)) sent.setValue(value, name);
    }

    HTTPExchangeSetup setup;
    setup.engine = options_.engine;
    setup.idleTimeout = request.hasExplicitTimeoutInterval() ? request.timeoutInterval() : options_.defaultTimeoutInterval;
    setup.deadline = deadline_;
    setup.ownerJudgesServerTrust = options_.ownerJudgesServerTrust;
    BodySource source;
    {
        std::lock_guard lock(mutex_);
        if (authorization_ && !sent.headerFields().contains("Authorization")) sent.setValue(*authorization_, "Authorization");
        setup.acceptedLeafCertificate = acceptedLeaf_;
        source = body_;
    }
    if (!setup.acceptedLeafCertificate && options_.approvals && request.URL()->scheme() == "https")
        setup.acceptedLeafCertificate = options_.approvals->acceptedLeaf(hostAndPort(*request.URL()));
    switch (source) {
        case BodySource::None: break;
        case BodySource::UploadData: setup.body = RequestBody::fromData(std::get<Data>(options_.uploadBody)); break;
        case BodySource::UploadFile:
            setup.body = RequestBody::fromFile(std::get<std::string>(options_.uploadBody));
            if (!setup.body) return fail(URLErrorFileDoesNotExist);
            break;
        case BodySource::Request:
            if (request.HTTPBody()) {
                setup.body = RequestBody::fromData(*request.HTTPBody());
            } else if (const auto& stream = request.HTTPBodyStream()) {
                if (!bodyStreamUnread(stream)) {
                    // Read by an earlier leg: the owner must give the body again.
                    std::weak_ptr<URLLoad> weak = weak_from_this();
                    return report([&](URLLoadClient& client) {
                        client.loadNeedsNewBodyStream([weak, leg](std::shared_ptr<InputStream> fresh) {
                            auto self = weak.lock();
                            if (!self || !self->isCurrent(leg)) return;
                            if (!fresh || !self->bodyStreamUnread(fresh)) return self->fail(URLErrorRequestBodyStreamExhausted);
                            URLRequest again = self->currentRequest();
                            again.setHTTPBodyStream(std::move(fresh));
                            self->startLeg(std::move(again));
                        });
                    });
                }
                std::int64_t declared = -1;
                if (auto length = request.valueForHTTPHeaderField("Content-Length")) {
                    auto [end, error] = std::from_chars(length->data(), length->data() + length->size(), declared);
                    if (error != std::errc() || end != length->data() + length->size() || declared < 0) declared = -1;
                }
                {
                    std::lock_guard lock(mutex_);
                    streamHandedOut_ = stream;
                }
                setup.body = RequestBody::fromStream(stream, declared);
            }
            break;
    }
    setup.request = std::move(sent);

    auto observer = std::shared_ptr<HTTPExchangeObserver>(shared_from_this(), static_cast<HTTPExchangeObserver*>(this));
    auto exchange = std::make_shared<HTTPExchange>(std::move(setup), std::move(observer));
    bool suspended, backpressure;
    {
        std::lock_guard lock(mutex_);
        if (ended_ || leg != leg_) return;
        exchange_ = exchange;
        revalidating_ = std::move(revalidating);
        suspended = suspended_;
        backpressure = backpressure_;
    }
    exchange->start();
    if (suspended) exchange->setPaused(HTTPExchange::PausedByOwner, true);
    if (backpressure) exchange->setPaused(HTTPExchange::PausedForBackpressure, true);
}

void URLLoad::startProtocol(const URLProtocol::Registration& registration, const URLRequest& request,
                            std::uint64_t leg) {
    URLRequest canonical = registration.canonicalRequestForRequest(request);
    std::shared_ptr<CachedURLResponse> cached;
    if (options_.cache && request.cachePolicy() != URLRequestCachePolicy::ReloadIgnoringLocalCacheData &&
        request.cachePolicy() != URLRequestCachePolicy::ReloadIgnoringLocalAndRemoteCacheData)
        cached = options_.cache->cachedResponseForRequest(canonical);
    auto client = std::shared_ptr<URLProtocolClient>(shared_from_this(), static_cast<URLProtocolClient*>(this));
    auto protocol = registration.make(std::move(canonical), std::move(cached), std::move(client));
    {
        std::lock_guard lock(mutex_);
        if (ended_ || leg != leg_) return;
        protocol_ = protocol;
    }
    URLProtocol::performOnProtocolThread([protocol] { protocol->startLoading(); });
}

void URLLoad::stopProtocol() {
    std::shared_ptr<URLProtocol> protocol;
    {
        std::lock_guard lock(mutex_);
        // The instance holds this load as its client: letting it go breaks the cycle.
        protocol = std::move(protocol_);
    }
    if (protocol) URLProtocol::performOnProtocolThread([protocol] { protocol->stopLoading(); });
}

void URLLoad::storeCookies(const URLResponse& response) {
    auto* http = dynamic_cast<const HTTPURLResponse*>(&response);
    if (!http || !http->URL() || !options_.cookies || !http->headerFields().contains("Set-Cookie")) return;
    std::optional<URL> mainDocument;
    {
        std::lock_guard lock(mutex_);
        if (!request_.HTTPShouldHandleCookies()) return;
        mainDocument = request_.mainDocumentURL();
    }
    auto cookies = HTTPCookie::cookiesWithResponseHeaderFields(http->allHeaderFields(), *http->URL());
    if (!cookies.empty()) options_.cookies->setCookies(cookies, *http->URL(), mainDocument);
}

void URLLoad::deliverCached(const std::shared_ptr<CachedURLResponse>& cached) {
    report([&](URLLoadClient& client) { client.loadDidReceiveResponse(cached->response()); });
    if (!cached->data().empty()) report([&](URLLoadClient& client) { client.loadDidReceiveData(cached->data()); });
    finish();
}

void URLLoad::deliverHeld(const std::shared_ptr<URLResponse>& response) {
    std::shared_ptr<HTTPExchange> exchange;
    {
        std::lock_guard lock(mutex_);
        exchange = exchange_;
    }
    report([&](URLLoadClient& client) { client.loadDidReceiveResponse(response); });
    if (exchange) exchange->releaseHeldResponse();
}

void URLLoad::considerForCache(const std::shared_ptr<URLResponse>& response, URLCacheStoragePolicy policy) {
    auto* http = dynamic_cast<const HTTPURLResponse*>(response.get());
    if (!options_.cache || !http || policy == URLCacheStoragePolicy::NotAllowed) return;
    // A body the cache would refuse is not collected at all.
    const std::uint64_t largest = options_.cache->largestStorableSize();
    const std::int64_t expected = http->expectedContentLength();
    if (expected > static_cast<std::int64_t>(largest)) return;
    std::lock_guard lock(mutex_);
    if (http::isStorable(request_, *http)) {
        largestCachedBody_ = largest;
        cacheCandidate_ = response;
        cachePolicy_ = policy;
        cacheBody_ = Data();
    }
}

void URLLoad::collectForCache(const Data& data) {
    std::lock_guard lock(mutex_);
    if (!cacheCandidate_) return;
    if (cacheBody_.length() + data.length() > largestCachedBody_) {
        cacheCandidate_.reset();
        cacheBody_ = Data();
        return;
    }
    // Copied, not shared: a large piece lives in a buffer larger than itself (see ReceivedPiecePool), which
    // the cache would keep but not count.
    cacheBody_.append(data);
}

void URLLoad::offerToCacheAndFinish() {
    std::shared_ptr<CachedURLResponse> proposed;
    {
        std::lock_guard lock(mutex_);
        if (cacheCandidate_) proposed = std::make_shared<CachedURLResponse>(cacheCandidate_, cacheBody_, Dictionary(), cachePolicy_);
        cacheCandidate_.reset();
        cacheBody_ = Data();
    }
    if (proposed) {
        report([&](URLLoadClient& client) {
            // The answer may come after the load ended: it keeps the load (and its request) until then.
            client.loadWillCacheResponse(proposed, [self = shared_from_this()](std::shared_ptr<CachedURLResponse> kept) {
                if (!kept) return;
                std::lock_guard lock(self->mutex_);
                self->options_.cache->storeCachedResponse(kept, self->request_);
            });
        });
    }
    finish();
}

// ---- Redirects and challenges ----

void URLLoad::handleRedirect(const std::shared_ptr<HTTPURLResponse>& response) {
    URLRequest next;
    std::uint64_t leg;
    {
        std::lock_guard lock(mutex_);
        if (++redirects_ > kMaximumRedirects) {
            leg = 0;
        } else {
            leg = leg_;
        }
        next = request_;
    }
    if (leg == 0) return fail(URLErrorHTTPTooManyRedirects);
    auto target = URL::fromString(response->valueForHTTPHeaderField("Location").value_or(""), *next.URL());
    if (!target || !isHTTP(*target)) return deliverHeld(response);
    if (!sameOrigin(*target, *next.URL())) next.setValue(std::nullopt, "Authorization");
    next.setURL(target->absoluteURL());
    const std::int64_t status = response->statusCode();
    if ((status == 303 && next.HTTPMethod() != "HEAD") || ((status == 301 || status == 302) && next.HTTPMethod() == "POST")) {
        next.setHTTPMethod("GET");
        next.setHTTPBody(std::nullopt);
        next.setHTTPBodyStream(nullptr);
        next.setValue(std::nullopt, "Content-Type");
        next.setValue(std::nullopt, "Content-Length");
        std::lock_guard lock(mutex_);
        body_ = BodySource::None;
    }
    std::weak_ptr<URLLoad> weak = weak_from_this();
    report([&](URLLoadClient& client) {
        client.loadWillSendRequest(next, response, [weak, leg, response](std::optional<URLRequest> answer) {
            auto self = weak.lock();
            if (!self || !self->isCurrent(leg)) return;
            if (!answer) return self->deliverHeld(response);
            self->startLeg(std::move(*answer));
        });
    });
}

void URLLoad::askForPassword(const std::shared_ptr<HTTPURLResponse>& response) {
    std::uint64_t leg;
    int attempts;
    {
        std::lock_guard lock(mutex_);
        leg = leg_;
        attempts = passwordAttempts_;
    }
    const URL& url = *response->URL();
    URLProtectionSpace space(url.host().value_or(""), url.port().value_or(url.scheme() == "https" ? 443 : 80),
                             url.scheme(), realmOf(*response), std::string(URLAuthenticationMethodHTTPBasic));
    auto sender =
        std::make_shared<ChallengeSender>(weak_from_this(), leg, ChallengeSender::Kind::Password, nullptr, response);
    auto challenge = std::make_shared<URLAuthenticationChallenge>(std::move(space), nullptr, attempts, response,
                                                                  std::nullopt, std::move(sender));
    report([&](URLLoadClient& client) { client.loadDidReceiveChallenge(challenge); });
}

void URLLoad::askAboutServerTrust(const std::shared_ptr<sec::Trust>& trust) {
    const URLRequest request = currentRequest();
    std::uint64_t leg;
    {
        std::lock_guard lock(mutex_);
        leg = leg_;
    }
    const URL& url = *request.URL();
    URLProtectionSpace space(url.host().value_or(""), url.port().value_or(443), url.scheme(), std::nullopt,
                             std::string(URLAuthenticationMethodServerTrust), trust);
    auto sender =
        std::make_shared<ChallengeSender>(weak_from_this(), leg, ChallengeSender::Kind::ServerTrust, trust, nullptr);
    auto challenge = std::make_shared<URLAuthenticationChallenge>(std::move(space), nullptr, 0, nullptr, std::nullopt,
                                                                  std::move(sender));
    report([&](URLLoadClient& client) { client.loadDidReceiveChallenge(challenge); });
}

void URLLoad::acceptServer(const std::shared_ptr<sec::Trust>& trust) {
    auto leaf = trust && trust->certificateCount() > 0 ? trust->certificateAtIndex(0) : nullptr;
    if (!leaf) return fail(URLErrorServerCertificateUntrusted);
    URLRequest request;
    {
        std::lock_guard lock(mutex_);
        acceptedLeaf_ = leaf->data();
        request = request_;
    }
    if (options_.approvals && request.URL()) options_.approvals->accept(hostAndPort(*request.URL()), leaf->data());
    startLeg(std::move(request));
}

void URLLoad::judgeServerByDefault(const std::shared_ptr<sec::Trust>& trust) {
    // The system's roots may have to be read: not on the caller's thread, which may be the main thread.
    std::weak_ptr<URLLoad> weak = weak_from_this();
    DispatchQueue::global()->async([weak, trust] {
        auto self = weak.lock();
        if (!self) return;
        const auto result = trust ? trust->evaluate() : sec::TrustResultType::Invalid;
        if (result == sec::TrustResultType::Unspecified || result == sec::TrustResultType::Proceed)
            return self->acceptServer(trust);
        self->fail(URLErrorServerCertificateUntrusted);
    });
}

// ---- Exchange reports (the engine's thread) ----

void URLLoad::exchangeDidSendBodyData(HTTPExchange& exchange, std::int64_t bytesSent, std::int64_t totalBytesSent,
                                      std::int64_t totalBytesExpectedToSend) {
    if (!isCurrent(exchange)) return;
    report([&](URLLoadClient& client) { client.loadDidSendBodyData(bytesSent, totalBytesSent, totalBytesExpectedToSend); });
}

void URLLoad::exchangeDidReceiveResponse(HTTPExchange& exchange, std::shared_ptr<HTTPURLResponse> response) {
    if (!isCurrent(exchange)) return;
    storeCookies(*response);
    std::shared_ptr<CachedURLResponse> revalidating;
    {
        std::lock_guard lock(mutex_);
        revalidating = std::move(revalidating_);
    }
    if (revalidating && response->statusCode() == 304) {
        auto refreshed = http::refreshedCachedResponse(*revalidating, *response);
        options_.cache->storeCachedResponse(refreshed, currentRequest());
        {
            std::lock_guard lock(mutex_);
            servedFromRevalidation_ = true;
        }
        report([&](URLLoadClient& client) { client.loadDidReceiveResponse(refreshed->response()); });
        if (!refreshed->data().empty())
            report([&](URLLoadClient& client) { client.loadDidReceiveData(refreshed->data()); });
        return;
    }
    considerForCache(response, URLCacheStoragePolicy::Allowed);
    report([&](URLLoadClient& client) { client.loadDidReceiveResponse(response); });
}

void URLLoad::exchangeDidReceiveData(HTTPExchange& exchange, Data data) {
    {
        std::lock_guard lock(mutex_);
        if (ended_ || exchange_.get() != &exchange) return;
        if (servedFromRevalidation_) return;  // the body of "not modified" is not the resource
    }
    collectForCache(data);
    report([&](URLLoadClient& client) { client.loadDidReceiveData(data); });
}

void URLLoad::exchangeDidFinish(HTTPExchange& exchange) {
    if (!isCurrent(exchange)) return;
    offerToCacheAndFinish();
}

void URLLoad::exchangeDidFail(HTTPExchange& exchange, Error error) {
    if (!isCurrent(exchange)) return;
    report([&](URLLoadClient& client) { client.loadDidFail(error); }, true);
}

void URLLoad::exchangeDidHoldResponse(HTTPExchange& exchange, std::shared_ptr<HTTPURLResponse> response) {
    if (!isCurrent(exchange)) return;
    storeCookies(*response);
    if (response->statusCode() == 401) return askForPassword(response);
    handleRedirect(response);
}

void URLLoad::exchangeNeedsServerTrustDecision(HTTPExchange& exchange, std::shared_ptr<sec::Trust> trust) {
    if (!isCurrent(exchange)) return;
    askAboutServerTrust(trust);
}

// ---- Protocol reports (any thread) ----

void URLLoad::URLProtocolWasRedirectedToRequest(URLProtocol& protocol, const URLRequest& request,
                                                const std::shared_ptr<URLResponse>& redirectResponse) {
    if (!isCurrent(protocol)) return;
    std::uint64_t leg;
    {
        std::lock_guard lock(mutex_);
        if (++redirects_ > kMaximumRedirects) leg = 0;
        else leg = leg_;
    }
    if (leg == 0) return fail(URLErrorHTTPTooManyRedirects);
    std::weak_ptr<URLLoad> weak = weak_from_this();
    report([&](URLLoadClient& client) {
        client.loadWillSendRequest(request, redirectResponse, [weak, leg](std::optional<URLRequest> answer) {
            auto self = weak.lock();
            if (!self || !self->isCurrent(leg) || !answer) return;  // declined: the protocol goes on
            self->startLeg(std::move(*answer));
        });
    });
}

void URLLoad::URLProtocolCachedResponseIsValid(URLProtocol& protocol,
                                               const std::shared_ptr<CachedURLResponse>& cachedResponse) {
    if (!isCurrent(protocol) || !cachedResponse) return;
    deliverCached(cachedResponse);
}

void URLLoad::URLProtocolDidReceiveResponse(URLProtocol& protocol, const std::shared_ptr<URLResponse>& response,
                                            URLCacheStoragePolicy policy) {
    if (!isCurrent(protocol)) return;
    storeCookies(*response);
    considerForCache(response, policy);
    report([&](URLLoadClient& client) { client.loadDidReceiveResponse(response); });
}

void URLLoad::URLProtocolDidLoadData(URLProtocol& protocol, const Data& data) {
    if (!isCurrent(protocol)) return;
    collectForCache(data);
    report([&](URLLoadClient& client) { client.loadDidReceiveData(data); });
}

void URLLoad::URLProtocolDidFinishLoading(URLProtocol& protocol) {
    if (!isCurrent(protocol)) return;
    offerToCacheAndFinish();
}

void URLLoad::URLProtocolDidFailWithError(URLProtocol& protocol, const Error& error) {
    if (!isCurrent(protocol)) return;
    stopProtocol();
    report([&](URLLoadClient& client) { client.loadDidFail(error); }, true);
}

void URLLoad::URLProtocolDidReceiveAuthenticationChallenge(
    URLProtocol& protocol, const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
    if (!isCurrent(protocol)) return;
    report([&](URLLoadClient& client) { client.loadDidReceiveChallenge(challenge); });
}

void URLLoad::URLProtocolDidCancelAuthenticationChallenge(
    URLProtocol& protocol, const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
    if (!isCurrent(protocol)) return;
    report([&](URLLoadClient& client) { client.loadDidCancelChallenge(challenge); });
}

}  // namespace ql::ns
