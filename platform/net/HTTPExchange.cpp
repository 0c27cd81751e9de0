#include "platform/net/HTTPExchange.h"

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <unordered_map>
#include <utility>

#include "platform/foundation/Base64.h"
#include "platform/foundation/Clock.h"
#include "platform/net/LoadingEngine.h"
#include "platform/net/ReceivedPiecePool.h"
#include "platform/net/URLError.h"

namespace ql::ns {

namespace {

// Reads of a reply are this large: few large reads cost the loading thread least (parallel downloads ran
// slower with 128 and 256 KB reads), and a round's reads of a transfer are handed on as one piece (see
// gather), of at most this size too. Only the touched part of a handle's buffer takes memory.
constexpr long kReceiveBufferSize = 512 * 1024;
// The most of a held reply's body kept while its owner decides; reading waits beyond it. Such bodies are
// small pages ("moved", "who are you?"), and the reply is usually replaced anyway.
constexpr std::size_t kHeldBodyLimit = 64 * 1024;

// Spare piece buffers kept for later pieces (8 MB at most, given back on memory warnings): six parallel
// downloads at full speed lend 10 to 30 of them at once, and every buffer beyond those kept is memory
// a later piece may have to fault in afresh.
constexpr std::size_t kKeptPieceBuffers = 16;

ReceivedPiecePool& piecePool() {
    static auto* pool = [] {
        auto made = std::make_shared<ReceivedPiecePool>(static_cast<std::size_t>(kReceiveBufferSize), kKeptPieceBuffers);
        made->giveBackSpareBuffersOnMemoryWarnings();
        return new std::shared_ptr<ReceivedPiecePool>(std::move(made));
    }();
    return **pool;
}
// Bodies in memory up to this size leave with the head, in one send (curl joins no larger ones): a server
// that has read the head finds the body there, instead of waiting for a second packet.
constexpr std::size_t kLargestBodySentWithHead = 64 * 1024;

std::string_view withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool isRedirect(std::int64_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Whether a 401 reply offers Basic authentication, the only scheme the loading system answers.
bool offersBasicAuthentication(const HTTPHeaderFields& fields) {
    auto challenge = fields.value("WWW-Authenticate");
    if (!challenge) return false;
    std::string_view text = trimmed(*challenge);
    return text.size() >= 5 && equalsIgnoringASCIICase(text.substr(0, 5), "basic") &&
           (text.size() == 5 || text[5] == ' ');
}

Data derOf(X509* certificate) {
    const int length = i2d_X509(certificate, nullptr);
    if (length <= 0) return Data();
    Data der;
    der.setLength(static_cast<std::size_t>(length));
    unsigned char* out = der.mutableBytes();
    i2d_X509(certificate, &out);
    return der;
}

// curl's pin text for the certificate's public key. curl reuses a connection only for exchanges with the
// same pin, which keeps connections whose server an owner accepted apart from all others.
std::optional<std::string> pinFor(const Data& leafDER) {
    const unsigned char* in = leafDER.bytes();
    X509* certificate = d2i_X509(nullptr, &in, static_cast<long>(leafDER.length()));
    if (!certificate) return std::nullopt;
    unsigned char* spki = nullptr;
    const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &spki);
    X509_free(certificate);
    if (length <= 0) return std::nullopt;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    const bool ok = EVP_Digest(spki, static_cast<std::size_t>(length), digest, &digestLength, EVP_sha256(), nullptr);
    OPENSSL_free(spki);
    if (!ok) return std::nullopt;
    return "sha256//" + base64EncodedString(Data(digest, digestLength));
}

Error errorWithUnderlying(std::int64_t code, const std::optional<URL>& url, const std::optional<Error>& underlying) {
    Error error = urlError(code, url);
    if (!underlying) return error;
    Dictionary userInfo = error.userInfo();
    userInfo.set(std::string(UnderlyingErrorKey), underlying->boxed());
    return Error(error.domain(), error.code(), std::move(userInfo));
}

}  // namespace

namespace {

// The fields of a reply head as its lines arrive. A repeated field joins the first one (which keeps its
// spelling) and a folded line continues the last one. A usual head's few fields are searched in turn; past
// a few dozen they are found through an index by lower-cased name, so that a head of tens of thousands of
// fields, which a server may send, is still read in time linear in its size.
class ReplyHead {
public:
    void clear() {
        fields_.clear();
        index_.clear();
        last_ = kNone;
    }

    void addField(std::string_view name, std::string_view value) {
        const std::size_t found = find(name);
        if (found == kNone) {
            if (fields_.empty()) fields_.reserve(8);
            fields_.emplace_back(std::string(name), std::string(value));
            if (!index_.empty() || fields_.size() == kIndexedFrom) indexFrom(index_.size());
        } else {
            fields_[found].second.append(", ").append(value);
        }
        last_ = name.empty() ? kNone : found == kNone ? fields_.size() - 1 : found;
    }

    // False when there is no field to continue.
    bool continueLastField(std::string_view more) {
        if (last_ == kNone) return false;
        fields_[last_].second.append(" ").append(more);
        return true;
    }

    HTTPHeaderFields take() {
        HTTPHeaderFields taken = HTTPHeaderFields::fromDistinctFields(std::move(fields_));
        clear();
        return taken;
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    static constexpr std::size_t kIndexedFrom = 32;

    std::size_t find(std::string_view name) {
        if (index_.empty()) {
            for (std::size_t i = 0; i < fields_.size(); ++i)
                if (equalsIgnoringASCIICase(fields_[i].first, name)) return i;
            return kNone;
        }
        const auto found = index_.find(lowercasedASCII(name));
        return found == index_.end() ? kNone : found->second;
    }

    void indexFrom(std::size_t first) {
        for (std::size_t i = first; i < fields_.size(); ++i) index_.emplace(lowercasedASCII(fields_[i].first), i);
    }

    std::vector<HTTPHeaderFields::Field> fields_;
    std::unordered_map<std::string, std::size_t> index_;  // lower-cased name to position, once indexed
    std::size_t last_ = kNone;
};

}  // namespace

struct HTTPExchange::Transfer {
    CURL* handle = nullptr;
    std::uint64_t id = 0;
    curl_slist* headers = nullptr;
    bool finished = false;
    double lastActivity = Clock::now();

    // The reply head being read.
    std::int64_t status = 0;
    std::string version;
    ReplyHead head;
    std::shared_ptr<HTTPURLResponse> response;
    // A held reply: its body so far, and how its transfer ended if it did before the owner decided.
    bool held = false;
    bool released = false;
    Data heldBody;
    struct End {
        int curlCode;
        long osError;
    };
    std::optional<End> heldEnd;

    // Body bytes read in this round of the engine, reported as one piece at its end.
    std::unique_ptr<ReceivedPiecePool::Buffer> piece;
    bool pieceReportScheduled = false;

    // The body being sent.
    std::int64_t bodyPosition = 0;
    std::int64_t bodyReported = 0;
    bool bodyFailed = false;
    bool bodySentWithHead = false;

    unsigned pauseReasons = 0;
    bool sendWaitsForBody = false;

    // The server's certificates, when they await the owner's judgement.
    std::vector<Data> presentedChain;
    bool awaitsTrustDecision = false;
    bool trustRefused = false;
};

namespace {

HTTPExchange* exchangeOf(void* user) { return static_cast<HTTPExchange*>(user); }

}  // namespace

// The curl callbacks, which reach into the exchange.
struct ExchangeCallbacks {
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t onWrite(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t onRead(char* buffer, std::size_t size, std::size_t count, void* user);
    static int onSeek(void* user, curl_off_t offset, int origin);
    static CURLcode onSSLContext(CURL* handle, void* sslContext, void* user);
    static int onVerify(X509_STORE_CTX* context, void* argument);
    // Tells curl which directions of the transfer are held.
    static void applyPause(HTTPExchange& exchange);
};

HTTPExchange::HTTPExchange(HTTPExchangeSetup setup, std::shared_ptr<HTTPExchangeObserver> observer)
    : setup_(std::move(setup)),
      engine_(setup_.engine ? setup_.engine : LoadingEngine::shared()),
      observer_(std::move(observer)) {}

HTTPExchange::~HTTPExchange() {
    if (setup_.body) setup_.body->abandon();
}

void HTTPExchange::start() {
    engine_->perform([self = shared_from_this()] { self->begin(); });
}

void HTTPExchange::cancel() {
    if (aborted_.load()) return;  // a finished load lets go of its exchange this way every time
    engine_->perform([self = shared_from_this()] { self->abort(); });
}

void HTTPExchange::setPaused(PauseReason reason, bool paused) {
    // Held back from the engine's own thread (by an owner that falls behind, told within the round that
    // reads for it), the transfer takes no more bytes from its next write on, since that round may go on
    // reading for as long as the socket stays readable; curl is told at the round's start as usual.
    if (paused && engine_->isDriving()) {
        if (Transfer* t = transfer_.get(); t && !t->finished) t->pauseReasons |= reason;
    }
    engine_->perform([self = shared_from_this(), reason, paused] {
        Transfer* t = self->transfer_.get();
        if (!t || t->finished) return;
        const unsigned before = t->pauseReasons;
        t->pauseReasons = paused ? (before | reason) : (before & ~reason);
        if (t->pauseReasons == before) return;
        if (t->pauseReasons == 0) t->lastActivity = Clock::now();
        ExchangeCallbacks::applyPause(*self);
    });
}

void HTTPExchange::releaseHeldResponse() {
    engine_->perform([self = shared_from_this()] { self->releaseHeld(); });
}

void HTTPExchange::begin() {
    if (transfer_ || !observer_) return;  // cancelled before it began
    transfer_ = std::make_unique<Transfer>();
    Transfer& t = *transfer_;
    CURL* h = t.handle = engine_->takeHandle();
    const URLRequest& request = setup_.request;

    curl_easy_setopt(h, CURLOPT_URL, request.URL()->absoluteString().c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    // Compressed replies are asked for and handed on decoded, as the platform does; a request that names
    // its own Accept-Encoding sends that instead.
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &ExchangeCallbacks::onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &ExchangeCallbacks::onWrite);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);

    // Certificates are judged by the exchange's own verification (ExchangeCallbacks::onVerify), during the
    // handshake; curl's checks are off, and TLS sessions are not resumed, since a resumed session shows no
    // certificate to judge.
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_CTX_FUNCTION, &ExchangeCallbacks::onSSLContext);
    curl_easy_setopt(h, CURLOPT_SSL_CTX_DATA, this);
    const bool secure = request.URL()->scheme() == "https";
    if (secure && setup_.acceptedLeafCertificate) {
        if (auto pin = pinFor(*setup_.acceptedLeafCertificate)) curl_easy_setopt(h, CURLOPT_PINNEDPUBLICKEY, pin->c_str());
    } else if (secure && setup_.ownerJudgesServerTrust) {
        // This connection only shows the certificates to the owner; it never carries a request.
        curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
    }

    const std::string& method = request.HTTPMethod();
    const bool bodyless = method == "GET" || method == "HEAD" || method == "DELETE" || method == "OPTIONS" ||
                          method == "TRACE";
    const Data* bodyBytes = setup_.body ? setup_.body->bytesInMemory() : nullptr;
    if (bodyBytes && bodyBytes->length() <= kLargestBodySentWithHead) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodyBytes->length()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, bodyBytes->bytes());
        if (method != "POST") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.c_str());
        t.bodySentWithHead = true;
    } else if (setup_.body) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_READFUNCTION, &ExchangeCallbacks::onRead);
        curl_easy_setopt(h, CURLOPT_READDATA, this);
        curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, &ExchangeCallbacks::onSeek);
        curl_easy_setopt(h, CURLOPT_SEEKDATA, this);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(setup_.body->length()));
        if (method != "POST") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.c_str());
        std::weak_ptr<HTTPExchange> weak = weak_from_this();
        setup_.body->setWakeHandler([weak] {
            auto self = weak.lock();
            if (!self) return;
            self->engine_->perform([self] {
                Transfer* t = self->transfer_.get();
                if (!t || t->finished || !t->sendWaitsForBody) return;
                t->sendWaitsForBody = false;
                ExchangeCallbacks::applyPause(*self);
            });
        });
    } else if (method == "HEAD") {
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    } else if (method == "GET") {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    } else if (bodyless) {
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else {
        // A method that carries a body sends an empty one, with its length.
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, "");
        if (method != "POST") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    bool hasExpect = false;
    bool hasContentType = false;
    for (const auto& [name, value] : request.headerFields().fields()) {
        // The framing of the body is the engine's business.
        if (equalsIgnoringASCIICase(name, "Content-Length") || equalsIgnoringASCIICase(name, "Transfer-Encoding"))
            continue;
        hasExpect |= equalsIgnoringASCIICase(name, "Expect");
        hasContentType |= equalsIgnoringASCIICase(name, "Content-Type");
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        t.headers = curl_slist_append(t.headers, line.c_str());
    }
    // No waiting for "100 Continue": bodies go out at once, as the platform sends them.
    if (!hasExpect) t.headers = curl_slist_append(t.headers, "Expect:");
    // A form type is assumed only for a POST body, as the platform does.
    if (!hasContentType && method != "POST") t.headers = curl_slist_append(t.headers, "Content-Type:");
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, t.headers);

    t.id = LoadingEngine::registerExchange(this);
    engine_->add(shared_from_this(), h);
}

std::optional<double> HTTPExchange::nextDeadline() const {
    const Transfer* t = transfer_.get();
    // A held reply waits for its owner, however long it takes to decide.
    if (!t || t->finished || t->pauseReasons || (t->held && !t->released)) return std::nullopt;
    const double idle = t->lastActivity + std::max(setup_.idleTimeout, 0.0);
    if (setup_.deadline) return std::min(idle, *setup_.deadline);
    return idle;
}

void HTTPExchange::abort() {
    aborted_ = true;
    observer_.reset();
    stopTransfer();
}

void HTTPExchange::stopTransfer() {
    Transfer* t = transfer_.get();
    if (!t || t->finished) return;
    t->finished = true;
    LoadingEngine::unregisterExchange(t->id);
    engine_->remove(t->handle);
    engine_->returnHandle(t->handle);
    curl_slist_free_all(t->headers);
    t->headers = nullptr;
    if (t->piece) piecePool().giveBack(std::move(t->piece));
    if (setup_.body) setup_.body->abandon();
}

void HTTPExchange::timeOut() {
    reportPiece();  // what arrived before the time ran out
    auto observer = observer_;
    abort();
    if (observer) observer->exchangeDidFail(*this, urlError(URLErrorTimedOut, setup_.request.URL()));
}

void HTTPExchange::complete(int curlCode) {
    reportPiece();
    Transfer* t = transfer_.get();
    long osError = 0;
    if (t && !t->finished) curl_easy_getinfo(t->handle, CURLINFO_OS_ERRNO, &osError);
    if (t && t->held && !t->released && observer_) {
        // The owner has not decided about the held reply yet: its end is told once it takes the reply.
        t->heldEnd = Transfer::End{curlCode, osError};
        return stopTransfer();
    }
    auto observer = observer_;
    abort();
    if (observer) reportEnd(observer, curlCode, osError);
}

void HTTPExchange::gather(const char* data, std::size_t length) {
    Transfer& t = *transfer_;
    ReceivedPiecePool& pool = piecePool();
    const std::size_t capacity = pool.bufferCapacity();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    // Pieces are filled to the brim, and a full one goes on at once rather than with the round's next
    // write: nothing more fits, and holding it only keeps its buffer from coming back sooner.
    while (length > 0 && observer_) {
        if (!t.piece) t.piece = pool.take();
        const std::size_t part = std::min(length, capacity - t.piece->size());
        t.piece->insert(t.piece->end(), bytes, bytes + part);
        bytes += part;
        length -= part;
        if (t.piece->size() == capacity) reportPiece();
    }
    if (!t.piece || t.piece->empty() || std::exchange(t.pieceReportScheduled, true)) return;
    engine_->atEndOfRound([self = shared_from_this()] {
        if (self->transfer_) self->transfer_->pieceReportScheduled = false;
        self->reportPiece();
    });
}

void HTTPExchange::reportPiece() {
    Transfer* t = transfer_.get();
    if (!t || !t->piece || t->piece->empty() || !observer_) return;
    observer_->exchangeDidReceiveData(*this, piecePool().hand(t->piece));
}

void HTTPExchange::releaseHeld() {
    Transfer* t = transfer_.get();
    if (!t || !t->held || t->released || !observer_) return;
    t->released = true;
    if (!t->heldBody.empty()) observer_->exchangeDidReceiveData(*this, std::exchange(t->heldBody, Data()));
    if (!observer_) return;
    if (t->heldEnd) {
        auto observer = std::move(observer_);
        return reportEnd(observer, t->heldEnd->curlCode, t->heldEnd->osError);
    }
    t->lastActivity = Clock::now();
    if (t->pauseReasons & PausedWhileHeld) {
        t->pauseReasons &= ~PausedWhileHeld;
        ExchangeCallbacks::applyPause(*this);
    }
}

void HTTPExchange::reportEnd(const std::shared_ptr<HTTPExchangeObserver>& observer, int curlCode, long osError) {
    Transfer* t = transfer_.get();
    const auto code = static_cast<CURLcode>(curlCode);
    const auto& url = setup_.request.URL();
    if (code == CURLE_OK) {
        if (t->response) return observer->exchangeDidFinish(*this);
        return observer->exchangeDidFail(*this, urlError(URLErrorBadServerResponse, url));
    }
    if (t->awaitsTrustDecision) {
        std::vector<std::shared_ptr<sec::Certificate>> certificates;
        for (const Data& der : t->presentedChain) {
            if (auto certificate = sec::Certificate::createWithData(der)) certificates.push_back(std::move(certificate));
        }
        auto trust = sec::Trust::create(std::move(certificates), {sec::Policy::SSL(true, url->host())});
        if (trust) return observer->exchangeNeedsServerTrustDecision(*this, std::move(trust));
        return observer->exchangeDidFail(*this, urlError(URLErrorSecureConnectionFailed, url));
    }
    std::int64_t errorCode;
    switch (code) {
        case CURLE_URL_MALFORMAT: errorCode = URLErrorBadURL; break;
        case CURLE_COULDNT_RESOLVE_HOST: errorCode = URLErrorCannotFindHost; break;
        case CURLE_COULDNT_CONNECT:
            errorCode = osError == ENETUNREACH || osError == ENETDOWN ? URLErrorNotConnectedToInternet
                                                                      : URLErrorCannotConnectToHost;
            break;
        case CURLE_OPERATION_TIMEDOUT: errorCode = URLErrorTimedOut; break;
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR: errorCode = URLErrorNetworkConnectionLost; break;
        case CURLE_UNSUPPORTED_PROTOCOL:  // the scheme was checked before: the reply was no HTTP at all
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM: errorCode = URLErrorBadServerResponse; break;
        case CURLE_ABORTED_BY_CALLBACK:
        case CURLE_READ_ERROR:
        case CURLE_SEND_FAIL_REWIND: errorCode = URLErrorRequestBodyStreamExhausted; break;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_ISSUER_ERROR:
            errorCode = t->trustRefused ? URLErrorServerCertificateUntrusted : URLErrorSecureConnectionFailed;
            break;
        default: errorCode = URLErrorUnknown; break;
    }
    if (t->trustRefused) errorCode = URLErrorServerCertificateUntrusted;
    if (t->bodyFailed) errorCode = URLErrorRequestBodyStreamExhausted;
    observer->exchangeDidFail(*this, errorWithUnderlying(errorCode, url, t->bodyFailed && setup_.body
                                                                           ? setup_.body->error()
                                                                           : std::nullopt));
}

void HTTPExchange::configureTLS(void* sslContext) {
    auto* context = static_cast<SSL_CTX*>(sslContext);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // The argument is the exchange's number, not its address: the context outlives the exchange when its
    // connection is kept for reuse.
    SSL_CTX_set_cert_verify_callback(context, &ExchangeCallbacks::onVerify,
                                     reinterpret_cast<void*>(static_cast<std::uintptr_t>(transfer_->id)));
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
}

int HTTPExchange::verifyServerChain(void* storeContext) {
    auto* context = static_cast<X509_STORE_CTX*>(storeContext);
    Transfer& t = *transfer_;
    std::vector<Data> chain;
    X509* leaf = X509_STORE_CTX_get0_cert(context);
    if (!leaf) return 0;
    chain.push_back(derOf(leaf));
    if (STACK_OF(X509)* presented = X509_STORE_CTX_get0_untrusted(context)) {
        for (int i = 0; i < sk_X509_num(presented); ++i) {
            X509* certificate = sk_X509_value(presented, i);
            if (X509_cmp(certificate, leaf) != 0) chain.push_back(derOf(certificate));
        }
    }
    if (setup_.acceptedLeafCertificate && chain.front() == *setup_.acceptedLeafCertificate) return 1;
    if (!setup_.ownerJudgesServerTrust) {
        std::vector<std::shared_ptr<sec::Certificate>> certificates;
        for (const Data& der : chain) {
            if (auto certificate = sec::Certificate::createWithData(der)) certificates.push_back(std::move(certificate));
        }
        auto trust = sec::Trust::create(std::move(certificates), {sec::Policy::SSL(true, setup_.request.URL()->host())});
        const auto result = trust ? trust->evaluate() : sec::TrustResultType::Invalid;
        if (result == sec::TrustResultType::Unspecified || result == sec::TrustResultType::Proceed) return 1;
        t.trustRefused = true;
        return 0;
    }
    t.presentedChain = std::move(chain);
    t.awaitsTrustDecision = true;
    return 0;
}

std::size_t ExchangeCallbacks::onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    HTTPExchange* self = exchangeOf(user);
    const std::size_t length = size * count;
    HTTPExchange::Transfer& t = *self->transfer_;
    t.lastActivity = Clock::now();
    std::string_view line = withoutLineEnd({data, length});
    // A body sent with the head has gone once a reply begins.
    if (t.bodySentWithHead && t.bodyReported == 0 && self->observer_) {
        t.bodyReported = self->setup_.body->length();
        if (t.bodyReported > 0) self->observer_->exchangeDidSendBodyData(*self, t.bodyReported, t.bodyReported, t.bodyReported);
    }
    if (line.starts_with("HTTP/")) {
        t.head.clear();
        const auto space = line.find(' ');
        t.version = std::string(line.substr(0, space));
        t.status = 0;
        if (space != std::string_view::npos) {
            std::string_view code = line.substr(space + 1, 3);
            std::from_chars(code.data(), code.data() + code.size(), t.status);
        }
    } else if (line.empty()) {
        if (t.status >= 100 && t.status < 200) return length;  // an interim reply; the real one follows
        const HTTPExchangeSetup& setup = self->setup_;
        // Trailers after the body find an empty head, which nothing reads.
        t.response = std::make_shared<HTTPURLResponse>(*setup.request.URL(), t.status, t.version, t.head.take());
        const HTTPHeaderFields& fields = t.response->headerFields();
        if ((isRedirect(t.status) && fields.contains("Location")) ||
            (t.status == 401 && setup.holdsAuthenticationRequests && offersBasicAuthentication(fields))) {
            t.held = true;
            if (self->observer_) self->observer_->exchangeDidHoldResponse(*self, t.response);
        } else if (self->observer_) {
            self->observer_->exchangeDidReceiveResponse(*self, t.response);
        }
    } else {
        // A folded line continues the last field; with none before it, it is read as a field of its own.
        const bool folded = line.front() == ' ' || line.front() == '\t';
        if (folded && t.head.continueLastField(trimmed(line))) return length;
        if (const auto colon = line.find(':'); colon != std::string_view::npos)
            t.head.addField(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
    }
    return length;
}

std::size_t ExchangeCallbacks::onWrite(char* data, std::size_t size, std::size_t count, void* user) {
    HTTPExchange* self = exchangeOf(user);
    const std::size_t length = size * count;
    HTTPExchange::Transfer& t = *self->transfer_;
    // A held transfer takes nothing more; curl keeps these bytes and hands them again once it resumes.
    if (t.pauseReasons) return CURL_WRITEFUNC_PAUSE;
    t.lastActivity = Clock::now();
    if (t.held && !t.released) {
        if (t.heldBody.length() + length > kHeldBodyLimit) {
            // curl hands the same bytes again once reading resumes.
            t.pauseReasons |= HTTPExchange::PausedWhileHeld;
            return CURL_WRITEFUNC_PAUSE;
        }
        t.heldBody.append(data, length);
    } else if (t.response && self->observer_) {
        self->gather(data, length);
    }
    return length;
}

std::size_t ExchangeCallbacks::onRead(char* buffer, std::size_t size, std::size_t count, void* user) {
    HTTPExchange* self = exchangeOf(user);
    HTTPExchange::Transfer& t = *self->transfer_;
    RequestBody& body = *self->setup_.body;
    const std::size_t read = body.read(buffer, size * count);
    if (read == RequestBody::kPause) {
        t.sendWaitsForBody = true;
        return CURL_READFUNC_PAUSE;
    }
    if (read == RequestBody::kAbort) {
        t.bodyFailed = true;
        return CURL_READFUNC_ABORT;
    }
    t.lastActivity = Clock::now();
    t.bodyPosition += static_cast<std::int64_t>(read);
    // A resend after a rewind reports only the bytes beyond those reported before.
    if (t.bodyPosition > t.bodyReported && self->observer_) {
        const std::int64_t sent = t.bodyPosition - t.bodyReported;
        t.bodyReported = t.bodyPosition;
        self->observer_->exchangeDidSendBodyData(*self, sent, t.bodyReported, body.length());
    }
    return read;
}

int ExchangeCallbacks::onSeek(void* user, curl_off_t offset, int origin) {
    HTTPExchange* self = exchangeOf(user);
    if (offset != 0 || origin != SEEK_SET || !self->setup_.body->rewind()) return CURL_SEEKFUNC_CANTSEEK;
    self->transfer_->bodyPosition = 0;
    return CURL_SEEKFUNC_OK;
}

CURLcode ExchangeCallbacks::onSSLContext(CURL*, void* sslContext, void* user) {
    exchangeOf(user)->configureTLS(sslContext);
    return CURLE_OK;
}

void ExchangeCallbacks::applyPause(HTTPExchange& exchange) {
    HTTPExchange::Transfer& t = *exchange.transfer_;
    int mask = t.pauseReasons ? CURLPAUSE_RECV : 0;
    if ((t.pauseReasons & HTTPExchange::PausedByOwner) || t.sendWaitsForBody) mask |= CURLPAUSE_SEND;
    curl_easy_pause(t.handle, mask);
    exchange.engine_->needsPerform();
}

int ExchangeCallbacks::onVerify(X509_STORE_CTX* context, void* argument) {
    const auto id = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(argument));
    HTTPExchange* exchange = LoadingEngine::exchangeWithID(id);
    return exchange ? exchange->verifyServerChain(context) : 0;
}

}  // namespace ql::ns
