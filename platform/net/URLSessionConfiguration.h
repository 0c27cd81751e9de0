#pragma once
// ns::URLSessionConfiguration: the settings a session is made with, after the platform's. A session keeps
// a copy, so changing a configuration later changes no session. The default configuration uses the shared
// URL cache and cookie storage; an ephemeral one has a cache and cookie storage of its own. Background
// sessions do not exist here: a background configuration keeps its identifier and behaves as a default one.
// Archiving keeps the settings; of the cookie storage and the URL cache it keeps only whether they were the
// shared ones or the configuration's own (decoded as new, empty ones), since their contents are no setting.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "platform/net/HTTPCookieStorage.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLRequest.h"

namespace ql::ns {

class URLSessionConfiguration final : public Object, public Coding {
    QL_OBJECT_NAMED(URLSessionConfiguration, Object, "NSURLSessionConfiguration")
public:
    URLSessionConfiguration() = default;

    static std::shared_ptr<URLSessionConfiguration> defaultSessionConfiguration();
    static std::shared_ptr<URLSessionConfiguration> ephemeralSessionConfiguration();
    static std::shared_ptr<URLSessionConfiguration> backgroundSessionConfigurationWithIdentifier(std::string identifier);

    const std::optional<std::string>& identifier() const { return identifier_; }

    URLRequestCachePolicy requestCachePolicy() const { return cachePolicy_; }
    void setRequestCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }
    // Seconds without progress, for requests that do not set their own.
    double timeoutIntervalForRequest() const { return requestTimeout_; }
    void setTimeoutIntervalForRequest(double seconds) { requestTimeout_ = seconds; }
    // Seconds a whole task may take.
    double timeoutIntervalForResource() const { return resourceTimeout_; }
    void setTimeoutIntervalForResource(double seconds) { resourceTimeout_ = seconds; }
    // Recorded, like the request properties of the same names.
    bool allowsCellularAccess() const { return cellular_; }
    void setAllowsCellularAccess(bool allows) { cellular_ = allows; }
    bool HTTPShouldUsePipelining() const { return pipelining_; }
    void setHTTPShouldUsePipelining(bool pipelining) { pipelining_ = pipelining; }
    bool HTTPShouldSetCookies() const { return setCookies_; }
    void setHTTPShouldSetCookies(bool set) { setCookies_ = set; }
    // Recorded; the cookie storage's own accept policy decides.
    ns::HTTPCookieAcceptPolicy HTTPCookieAcceptPolicy() const { return cookiePolicy_; }
    void setHTTPCookieAcceptPolicy(ns::HTTPCookieAcceptPolicy policy) { cookiePolicy_ = policy; }
    // Fields added to every request that does not set them itself.
    const Dictionary& HTTPAdditionalHeaders() const { return additionalHeaders_; }
    void setHTTPAdditionalHeaders(Dictionary headers) { additionalHeaders_ = std::move(headers); }
    // Recorded; the loading engine allows six connections per host for every session.
    std::int64_t HTTPMaximumConnectionsPerHost() const { return maximumConnections_; }
    void setHTTPMaximumConnectionsPerHost(std::int64_t count) { maximumConnections_ = count; }
    const std::shared_ptr<ns::HTTPCookieStorage>& HTTPCookieStorage() const { return cookies_; }
    void setHTTPCookieStorage(std::shared_ptr<ns::HTTPCookieStorage> storage) { cookies_ = std::move(storage); }
    const std::shared_ptr<ns::URLCache>& URLCache() const { return cache_; }
    void setURLCache(std::shared_ptr<ns::URLCache> cache) { cache_ = std::move(cache); }

    std::shared_ptr<Object> copy() const override;

    void encodeWithCoder(KeyedArchiver& coder) const override;
    bool initWithCoder(KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }

private:
    std::optional<std::string> identifier_;
    URLRequestCachePolicy cachePolicy_ = URLRequestCachePolicy::UseProtocolCachePolicy;
    double requestTimeout_ = 60;
    double resourceTimeout_ = 7 * 24 * 3600;
    bool cellular_ = true;
    bool pipelining_ = false;
    bool setCookies_ = true;
    ns::HTTPCookieAcceptPolicy cookiePolicy_ = ns::HTTPCookieAcceptPolicy::OnlyFromMainDocumentDomain;
    Dictionary additionalHeaders_;
    std::int64_t maximumConnections_ = 6;
    std::shared_ptr<ns::HTTPCookieStorage> cookies_;
    std::shared_ptr<ns::URLCache> cache_;
};

}  // namespace ql::ns
