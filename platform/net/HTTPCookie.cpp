#include "platform/net/HTTPCookie.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>

#include "platform/foundation/Clock.h"
#include "platform/net/HTTPDate.h"
#include "platform/net/HTTPHeaderFields.h"

namespace ql::ns {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool isIPAddress(const std::string& host) {
    unsigned char address[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), address) == 1 || inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// "example.com" matches itself and "www.example.com", never "badexample.com". An address matches only
// itself: its last parts are no domain it belongs to.
bool domainMatches(const std::string& host, const std::string& domain) {
    if (host == domain) return true;
    return host.size() > domain.size() && host.ends_with(domain) && host[host.size() - domain.size() - 1] == '.' &&
           !isIPAddress(host);
}

bool pathMatches(std::string_view requestPath, std::string_view cookiePath) {
    if (requestPath == cookiePath) return true;
    if (!requestPath.starts_with(cookiePath)) return false;
    return cookiePath.ends_with('/') || requestPath[cookiePath.size()] == '/';
}

// The directory of the request's path, the default path of a cookie without one.
std::string defaultPath(const URL& url) {
    std::string path = url.percentEncodedPath();
    if (path.empty() || path.front() != '/') return "/";
    const auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Splits joined "Set-Cookie" values at the commas that start a new cookie (a "name=" before the next ";"),
// not at those inside an expiry date.
std::vector<std::string_view> splitSetCookie(std::string_view joined) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t comma = joined.find(','); comma != std::string_view::npos; comma = joined.find(',', comma + 1)) {
        std::string_view rest = joined.substr(comma + 1);
        // Up to the nearest separator only: looking for each kind to the end would read the rest of the field
        // once per comma.
        std::string_view head = rest.substr(0, rest.find_first_of(";,"));
        const auto equals = head.find('=');
        if (equals == std::string_view::npos || trimmed(head.substr(0, equals)).find(' ') != std::string_view::npos)
            continue;
        parts.push_back(joined.substr(start, comma - start));
        start = comma + 1;
    }
    parts.push_back(joined.substr(start));
    return parts;
}

std::shared_ptr<HTTPCookie> parseCookie(std::string_view text, const URL& url, const std::string& host) {
    std::size_t semicolon = text.find(';');
    std::string_view pair = text.substr(0, semicolon);
    const auto equals = pair.find('=');
    if (equals == std::string_view::npos) return nullptr;
    HTTPCookie::Properties p;
    p.name = std::string(trimmed(pair.substr(0, equals)));
    p.value = std::string(trimmed(pair.substr(equals + 1)));
    if (p.name.empty()) return nullptr;
    p.domain = host;
    p.path = defaultPath(url);
    std::optional<double> maxAge;
    while (semicolon != std::string_view::npos) {
        const std::size_t next = text.find(';', semicolon + 1);
        std::string_view attribute = text.substr(semicolon + 1, next == std::string_view::npos ? std::string_view::npos
                                                                                                : next - semicolon - 1);
        semicolon = next;
        const auto eq = attribute.find('=');
        const std::string key = lowercasedASCII(trimmed(attribute.substr(0, eq)));
        const std::string_view value = eq == std::string_view::npos ? std::string_view() : trimmed(attribute.substr(eq + 1));
        if (key == "expires") {
            if (auto date = parseHTTPDate(value)) p.expiresDate = Date::fromTimeIntervalSince1970(*date);
        } else if (key == "max-age") {
            std::int64_t seconds = 0;
            auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (error == std::errc() && end == value.data() + value.size()) maxAge = static_cast<double>(seconds);
        } else if (key == "domain" && !value.empty()) {
            std::string domain = lowercasedASCII(value.front() == '.' ? value.substr(1) : value);
            if (!domainMatches(host, domain)) return nullptr;
            // A single label other than the host itself is a whole top-level domain ("com"): a cookie for it
            // would go to every site under it.
            if (domain != host && domain.find('.') == std::string::npos) return nullptr;
            p.domain = domain == host && domain.find('.') == std::string::npos ? domain : "." + domain;
        } else if (key == "path" && !value.empty() && value.front() == '/') {
            p.path = std::string(value);
        } else if (key == "secure") {
            p.secure = true;
        } else if (key == "httponly") {
            p.HTTPOnly = true;
        }
    }
    if (maxAge) p.expiresDate = Date::fromTimeIntervalSince1970(Clock::now() + *maxAge);
    return std::make_shared<HTTPCookie>(std::move(p));
}

}  // namespace

bool HTTPCookie::matchesURL(const URL& url) const {
    const std::string host = lowercasedASCII(url.host().value_or(""));
    if (host.empty()) return false;
    const bool domainCookie = p_.domain.starts_with('.');
    if (domainCookie ? !domainMatches(host, p_.domain.substr(1)) : host != p_.domain) return false;
    if (p_.secure && url.scheme() != "https") return false;
    std::string path = url.percentEncodedPath();
    return pathMatches(path.empty() ? "/" : path, p_.path);
}

std::vector<std::shared_ptr<HTTPCookie>> HTTPCookie::cookiesWithResponseHeaderFields(const Dictionary& headerFields,
                                                                                     const URL& url) {
    std::vector<std::shared_ptr<HTTPCookie>> cookies;
    const std::string host = lowercasedASCII(url.host().value_or(""));
    if (host.empty()) return cookies;
    for (const auto& [name, value] : headerFields) {
        if (!equalsIgnoringASCIICase(name, "Set-Cookie") || !value.isString()) continue;
        for (std::string_view text : splitSetCookie(value.asString())) {
            if (auto cookie = parseCookie(text, url, host)) cookies.push_back(std::move(cookie));
        }
    }
    return cookies;
}

Dictionary HTTPCookie::requestHeaderFieldsWithCookies(const std::vector<std::shared_ptr<HTTPCookie>>& cookies) {
    std::string header;
    for (const auto& cookie : cookies) {
        if (!header.empty()) header += "; ";
        header += cookie->name() + "=" + cookie->value();
    }
    Dictionary fields;
    if (!header.empty()) fields.set("Cookie", Value(header));
    return fields;
}

std::string HTTPCookie::description() const {
    return "<NSHTTPCookie " + p_.name + "=" + p_.value + "; domain=" + p_.domain + "; path=" + p_.path + ">";
}

}  // namespace ql::ns
