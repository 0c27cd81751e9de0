#include "platform/net/HTTPCaching.h"

#include <charconv>

#include "platform/net/HTTPDate.h"

namespace ql::ns::http {

namespace {

// The value of a directive in a Cache-Control field: nothing when absent, "" when it has no argument.
std::optional<std::string> directive(const HTTPHeaderFields& fields, std::string_view name) {
    auto value = fields.value("Cache-Control");
    if (!value) return std::nullopt;
    std::string_view rest = *value;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const auto first = item.find_first_not_of(" \t");
        if (first == std::string_view::npos) continue;
        item = item.substr(first, item.find_last_not_of(" \t") - first + 1);
        const auto equals = item.find('=');
        if (!equalsIgnoringASCIICase(item.substr(0, equals), name)) continue;
        if (equals == std::string_view::npos) return std::string();
        std::string_view argument = item.substr(equals + 1);
        if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"')
            argument = argument.substr(1, argument.size() - 2);
        return std::string(argument);
    }
    return std::nullopt;
}

std::optional<double> seconds(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size() || value < 0) return std::nullopt;
    return static_cast<double>(value);
}

std::optional<double> dateField(const HTTPHeaderFields& fields, std::string_view name) {
    auto value = fields.value(name);
    return value ? parseHTTPDate(*value) : std::nullopt;
}

// How long the reply stays fresh after it was made, in seconds.
double freshnessLifetime(const HTTPHeaderFields& fields, double responseTime) {
    if (auto maxAge = seconds(directive(fields, "max-age"))) return *maxAge;
    const double date = dateField(fields, "Date").value_or(responseTime);
    if (fields.contains("Expires")) {
        auto expires = dateField(fields, "Expires");
        return expires ? std::max(0.0, *expires - date) : 0;  // an invalid date means "already expired"
    }
    if (auto lastModified = dateField(fields, "Last-Modified"); lastModified && *lastModified < date)
        return (date - *lastModified) / 10;
    return 0;
}

bool isFresh(const CachedURLResponse& cached, double now) {
    auto* http = dynamic_cast<const HTTPURLResponse*>(cached.response().get());
    if (!http) return true;
    const HTTPHeaderFields& fields = http->headerFields();
    if (directive(fields, "no-cache")) return false;
    const double age = std::max(0.0, now - cached.responseTime()) + seconds(fields.value("Age")).value_or(0);
    return freshnessLifetime(fields, cached.responseTime()) > age;
}

bool hasValidator(const CachedURLResponse& cached) {
    auto* http = dynamic_cast<const HTTPURLResponse*>(cached.response().get());
    return http && (http->headerFields().contains("ETag") || http->headerFields().contains("Last-Modified"));
}

}  // namespace

CacheUse decideCacheUse(const URLRequest& request, URLRequestCachePolicy policy,
                        const std::shared_ptr<CachedURLResponse>& cached, double now) {
    const bool cacheable = request.HTTPMethod() == "GET" || request.HTTPMethod() == "HEAD";
    switch (policy) {
        case URLRequestCachePolicy::ReloadIgnoringLocalCacheData:
        case URLRequestCachePolicy::ReloadIgnoringLocalAndRemoteCacheData:
            return CacheUse::Load;
        case URLRequestCachePolicy::ReturnCacheDataElseLoad:
            return cached && cacheable ? CacheUse::UseCached : CacheUse::Load;
        case URLRequestCachePolicy::ReturnCacheDataDontLoad:
            return cached && cacheable ? CacheUse::UseCached : CacheUse::Fail;
        case URLRequestCachePolicy::ReloadRevalidatingCacheData:
            return cached && cacheable && hasValidator(*cached) ? CacheUse::Revalidate : CacheUse::Load;
        case URLRequestCachePolicy::UseProtocolCachePolicy:
            break;
    }
    if (!cached || !cacheable || directive(request.headerFields(), "no-cache") ||
        request.headerFields().contains("If-None-Match") || request.headerFields().contains("If-Modified-Since"))
        return CacheUse::Load;
    if (isFresh(*cached, now)) return CacheUse::UseCached;
    return hasValidator(*cached) ? CacheUse::Revalidate : CacheUse::Load;
}

void addValidators(URLRequest& request, const CachedURLResponse& cached) {
    if (auto* http = dynamic_cast<const HTTPURLResponse*>(cached.response().get())) {
        if (auto etag = http->valueForHTTPHeaderField("ETag")) request.setValue(*etag, "If-None-Match");
        if (auto modified = http->valueForHTTPHeaderField("Last-Modified"))
            request.setValue(*modified, "If-Modified-Since");
    }
}

bool isStorable(const URLRequest& request, const HTTPURLResponse& response) {
    if (request.HTTPMethod() != "GET") return false;
    switch (response.statusCode()) {
        case 200: case 203: case 300: case 301: case 308: case 410: break;
        default: return false;
    }
    if (directive(request.headerFields(), "no-store") || directive(response.headerFields(), "no-store")) return false;
    return response.valueForHTTPHeaderField("Vary") != "*";
}

std::shared_ptr<CachedURLResponse> refreshedCachedResponse(const CachedURLResponse& cached,
                                                           const HTTPURLResponse& notModified) {
    auto* http = dynamic_cast<const HTTPURLResponse*>(cached.response().get());
    if (!http || !http->URL()) return std::make_shared<CachedURLResponse>(cached.response(), cached.data(),
                                                                           cached.userInfo(), cached.storagePolicy());
    HTTPHeaderFields fields = http->headerFields();
    for (const auto& [name, value] : notModified.headerFields().fields()) {
        // The body is the cached one, so its framing fields stay as cached.
        if (equalsIgnoringASCIICase(name, "Content-Length") || equalsIgnoringASCIICase(name, "Transfer-Encoding") ||
            equalsIgnoringASCIICase(name, "Content-Encoding"))
            continue;
        fields.set(name, value);
    }
    auto response = std::make_shared<HTTPURLResponse>(*http->URL(), http->statusCode(), http->HTTPVersion(),
                                                      std::move(fields));
    return std::make_shared<CachedURLResponse>(std::move(response), cached.data(), cached.userInfo(),
                                               cached.storagePolicy());
}

}  // namespace ql::ns::http
