#pragma once
// ns::HTTPCookieStorage: the cookies of the process, kept in memory. Loads whose request handles cookies
// add the matching ones to the request and store what replies set. Thread-safe.

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/net/HTTPCookie.h"

namespace ql::ns {

enum class HTTPCookieAcceptPolicy {
    Always = 0,
    Never = 1,
    OnlyFromMainDocumentDomain = 2,
};

class HTTPCookieStorage final : public Object {
    QL_OBJECT_NAMED(HTTPCookieStorage, Object, "NSHTTPCookieStorage")
public:
    // Replies may set any number of cookies: the store keeps the newest, at most this many per domain and in
    // all.
    static constexpr std::size_t kMostCookiesPerDomain = 180;
    static constexpr std::size_t kMostCookies = 3000;

    HTTPCookieStorage() = default;
    static std::shared_ptr<HTTPCookieStorage> sharedHTTPCookieStorage();

    HTTPCookieAcceptPolicy cookieAcceptPolicy() const;
    void setCookieAcceptPolicy(HTTPCookieAcceptPolicy policy);

    // Every cookie that has not expired.
    std::vector<std::shared_ptr<HTTPCookie>> cookies() const;
    // The cookies a request for the URL carries, longest path first.
    std::vector<std::shared_ptr<HTTPCookie>> cookiesForURL(const URL& url) const;
    // Replaces a cookie of the same name, domain and path; an expired cookie only removes that one.
    void setCookie(const std::shared_ptr<HTTPCookie>& cookie);
    void deleteCookie(const std::shared_ptr<HTTPCookie>& cookie);
    // Stores cookies set by a reply for `url`, as the accept policy allows (a missing main document URL
    // counts as the same domain).
    void setCookies(const std::vector<std::shared_ptr<HTTPCookie>>& cookies, const URL& url,
                    const std::optional<URL>& mainDocumentURL);

private:
    std::vector<std::shared_ptr<HTTPCookie>> liveCookies() const;  // under mutex_
    // Drops expired cookies, then the oldest beyond the limits; under mutex_.
    void trimLocked();

    mutable std::mutex mutex_;
    HTTPCookieAcceptPolicy policy_ = HTTPCookieAcceptPolicy::OnlyFromMainDocumentDomain;
    std::vector<std::shared_ptr<HTTPCookie>> cookies_;
};

}  // namespace ql::ns
