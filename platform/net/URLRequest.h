#pragma once
// ns::URLRequest: what to load and how, after the platform's URL request. The platform's immutable and
// mutable request classes are one value type here: copies are independent (a mutable copy is a copy), and
// a request travels by value. Values that the platform would attach to a request object live elsewhere:
// per-request protocol properties travel inside the request (URLProtocol::setProperty), while values
// attached to a task's request belong on the task, which has identity.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/net/HTTPHeaderFields.h"

namespace ql::ns {

class InputStream;

// The platform's cache policies, with its values.
enum class URLRequestCachePolicy : std::uint64_t {
    UseProtocolCachePolicy = 0,
    ReloadIgnoringLocalCacheData = 1,
    ReturnCacheDataElseLoad = 2,
    ReturnCacheDataDontLoad = 3,
    ReloadIgnoringLocalAndRemoteCacheData = 4,
    ReloadRevalidatingCacheData = 5,
};

enum class URLRequestNetworkServiceType : std::uint64_t {
    Default = 0,
    VoIP = 1,
    Video = 2,
    Background = 3,
    Voice = 4,
};

class URLRequest {
public:
    static constexpr double kDefaultTimeoutInterval = 60;

    // A request for no URL, which fails with "bad URL" when loaded.
    URLRequest() = default;
    explicit URLRequest(std::optional<ns::URL> url) : url_(std::move(url)) {}
    URLRequest(std::optional<ns::URL> url, URLRequestCachePolicy cachePolicy, double timeoutInterval);

    const std::optional<ns::URL>& URL() const { return url_; }
    void setURL(std::optional<ns::URL> url) { url_ = std::move(url); }
    const std::optional<ns::URL>& mainDocumentURL() const { return mainDocumentURL_; }
    void setMainDocumentURL(std::optional<ns::URL> url) { mainDocumentURL_ = std::move(url); }

    // "GET" unless set; an empty method reads as "GET".
    const std::string& HTTPMethod() const { return method_; }
    void setHTTPMethod(std::string method);

    // Field names are matched without regard to case.
    const HTTPHeaderFields& headerFields() const { return headers_; }
    Dictionary allHTTPHeaderFields() const { return headers_.dictionary(); }
    void setAllHTTPHeaderFields(const Dictionary& fields) { headers_ = HTTPHeaderFields::fromDictionary(fields); }
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const { return headers_.value(field); }
    // Nothing removes the field.
    void setValue(std::optional<std::string> value, std::string_view field) { headers_.set(field, std::move(value)); }
    void addValue(std::string_view value, std::string_view field) { headers_.add(field, value); }

    // The body is data or a stream; setting one removes the other.
    const std::optional<Data>& HTTPBody() const { return body_; }
    void setHTTPBody(std::optional<Data> body);
    const std::shared_ptr<InputStream>& HTTPBodyStream() const { return bodyStream_; }
    void setHTTPBodyStream(std::shared_ptr<InputStream> stream);

    // Seconds without progress before the load fails with "timed out"; 60 unless set.
    double timeoutInterval() const { return timeout_.value_or(kDefaultTimeoutInterval); }
    void setTimeoutInterval(double seconds) { timeout_ = seconds; }
    // Whether the interval was set, so that a session's own default applies otherwise.
    bool hasExplicitTimeoutInterval() const { return timeout_.has_value(); }

    URLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }

    bool HTTPShouldHandleCookies() const { return handleCookies_; }
    void setHTTPShouldHandleCookies(bool handle) { handleCookies_ = handle; }
    // Kept for callers; the engine never pipelines HTTP/1.1 requests, which is unsafe with many servers.
    bool HTTPShouldUsePipelining() const { return pipelining_; }
    void setHTTPShouldUsePipelining(bool pipelining) { pipelining_ = pipelining; }
    // Kept for callers; there is no cellular interface to avoid here.
    bool allowsCellularAccess() const { return cellular_; }
    void setAllowsCellularAccess(bool allows) { cellular_ = allows; }
    URLRequestNetworkServiceType networkServiceType() const { return serviceType_; }
    void setNetworkServiceType(URLRequestNetworkServiceType type) { serviceType_ = type; }

    // "<NSMutableURLRequest: 0x…> { URL: … }"
    std::string description() const;

private:
    friend class URLProtocol;

    std::optional<ns::URL> url_;
    std::optional<ns::URL> mainDocumentURL_;
    std::string method_ = "GET";
    HTTPHeaderFields headers_;
    std::optional<Data> body_;
    std::shared_ptr<InputStream> bodyStream_;
    std::optional<double> timeout_;
    URLRequestCachePolicy cachePolicy_ = URLRequestCachePolicy::UseProtocolCachePolicy;
    URLRequestNetworkServiceType serviceType_ = URLRequestNetworkServiceType::Default;
    bool handleCookies_ = true;
    bool pipelining_ = false;
    bool cellular_ = true;
    // Protocol properties (a dictionary value; copies share it until one of them changes it).
    Value properties_;
};

}  // namespace ql::ns
