#pragma once
// ns::HTTPCookie: one cookie as a server set it (RFC 6265), and the conversions between cookies and the
// header fields that carry them.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

class HTTPCookie final : public Object {
    QL_OBJECT_NAMED(HTTPCookie, Object, "NSHTTPCookie")
public:
    struct Properties {
        std::string name;
        std::string value;
        // A leading "." marks a cookie for the domain and its subdomains; without it, for that host only.
        std::string domain;
        std::string path = "/";
        std::optional<Date> expiresDate;  // none: the cookie lasts for the session
        bool secure = false;
        bool HTTPOnly = false;
    };
    explicit HTTPCookie(Properties properties) : p_(std::move(properties)) {}

    const std::string& name() const { return p_.name; }
    const std::string& value() const { return p_.value; }
    const std::string& domain() const { return p_.domain; }
    const std::string& path() const { return p_.path; }
    const std::optional<Date>& expiresDate() const { return p_.expiresDate; }
    bool isSessionOnly() const { return !p_.expiresDate; }
    bool isSecure() const { return p_.secure; }
    bool isHTTPOnly() const { return p_.HTTPOnly; }

    // Whether a request for `url` carries the cookie (domain, path and secure scheme; not the expiry).
    bool matchesURL(const URL& url) const;
    bool isExpiredAt(double time) const { return p_.expiresDate && p_.expiresDate->timeIntervalSince1970() <= time; }

    // The cookies set by "Set-Cookie" fields (repeated fields may be joined with ", ") of a reply for `url`.
    // Cookies for another domain than the URL's host are dropped.
    static std::vector<std::shared_ptr<HTTPCookie>> cookiesWithResponseHeaderFields(const Dictionary& headerFields,
                                                                                    const URL& url);
    // {"Cookie": "a=1; b=2"}, or an empty dictionary for no cookies.
    static Dictionary requestHeaderFieldsWithCookies(const std::vector<std::shared_ptr<HTTPCookie>>& cookies);

    std::string description() const override;

private:
    Properties p_;
};

}  // namespace ql::ns
