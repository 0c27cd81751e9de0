#include "platform/net/URLResponse.h"

#include <charconv>
#include <cctype>

#include "platform/foundation/Text.h"

namespace ql::ns {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string unquoted(std::string_view value) {
    value = trimmed(value);
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::string(value);
    std::string out;
    for (std::size_t i = 1; i + 1 < value.size(); ++i) {
        if (value[i] == '\\' && i + 2 < value.size()) ++i;
        out += value[i];
    }
    return out;
}

// The value of a "name=value" parameter after the first ";" of a header value (quotes removed).
std::optional<std::string> parameter(std::string_view value, std::string_view name) {
    std::size_t start = value.find(';');
    while (start != std::string_view::npos) {
        std::size_t end = start + 1;
        bool quoted = false;
        while (end < value.size() && (quoted || value[end] != ';')) {
            if (value[end] == '"') quoted = !quoted;
            if (value[end] == '\\' && quoted) ++end;
            ++end;
        }
        std::string_view item = trimmed(value.substr(start + 1, std::min(end, value.size()) - start - 1));
        const auto equals = item.find('=');
        if (equals != std::string_view::npos && equalsIgnoringASCIICase(trimmed(item.substr(0, equals)), name))
            return unquoted(item.substr(equals + 1));
        start = end < value.size() ? end : std::string_view::npos;
    }
    return std::nullopt;
}

std::int64_t contentLength(const HTTPHeaderFields& headers) {
    if (auto encoding = headers.value("Transfer-Encoding"); encoding && !equalsIgnoringASCIICase(*encoding, "identity"))
        return URLResponseUnknownLength;
    auto length = headers.value("Content-Length");
    if (!length) return URLResponseUnknownLength;
    std::string_view text = trimmed(*length);
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return URLResponseUnknownLength;
    return value;
}

// The file name a Content-Disposition value names: "filename*" (RFC 5987) before "filename".
std::optional<std::string> dispositionFilename(std::string_view value) {
    if (auto extended = parameter(value, "filename*")) {
        const auto quote = extended->find("''");
        if (quote != std::string::npos) {
            if (auto decoded = stringByRemovingPercentEncoding(extended->substr(quote + 2))) return decoded;
        }
    }
    return parameter(value, "filename");
}

// The last component of a path when it can name a file of its own: not empty, not the root, and not "." or
// "..", which would name the folder it is saved to or the one above.
std::optional<std::string> fileNameOf(std::string_view path) {
    std::string last = lastPathComponent(path);
    if (last.empty() || last == "/" || last == "." || last == "..") return std::nullopt;
    return last;
}

}  // namespace

ContentType parseContentType(std::string_view value) {
    ContentType result;
    std::string_view type = trimmed(value.substr(0, value.find(';')));
    if (!type.empty()) result.mimeType = lowercasedASCII(type);
    result.charset = parameter(value, "charset");
    return result;
}

URLResponse::URLResponse(std::optional<ns::URL> url, std::optional<std::string> MIMEType,
                         std::int64_t expectedContentLength, std::optional<std::string> textEncodingName)
    : url_(std::move(url)),
      mimeType_(std::move(MIMEType)),
      expectedLength_(expectedContentLength),
      encodingName_(std::move(textEncodingName)) {}

std::string URLResponse::suggestedFilename() const {
    if (url_) {
        if (auto name = fileNameOf(url_->path())) return *name;
        if (auto host = url_->host(); host && !host->empty()) return *host;
    }
    return "Unknown";
}

std::string URLResponse::description() const {
    return "<" + std::string(className()) + ": " + addressText(this) + "> { URL: " +
           (url_ ? url_->absoluteString() : "(null)") + " }";
}

HTTPURLResponse::HTTPURLResponse(ns::URL url, std::int64_t statusCode, std::optional<std::string> HTTPVersion,
                                 HTTPHeaderFields headerFields)
    : HTTPURLResponse(std::move(url), statusCode, std::move(HTTPVersion), std::move(headerFields),
                      parseContentType(headerFields.value("Content-Type").value_or(""))) {}

// The fields are parsed before they are moved: the target takes them by reference.
HTTPURLResponse::HTTPURLResponse(ns::URL url, std::int64_t statusCode, std::optional<std::string> HTTPVersion,
                                 HTTPHeaderFields&& headerFields, ContentType contentType)
    : URLResponse(std::move(url), std::move(contentType.mimeType), contentLength(headerFields),
                  std::move(contentType.charset)),
      statusCode_(statusCode),
      version_(std::move(HTTPVersion)),
      headers_(std::move(headerFields)) {}

std::string HTTPURLResponse::suggestedFilename() const {
    if (auto disposition = headers_.value("Content-Disposition")) {
        if (auto name = dispositionFilename(*disposition)) {
            if (auto last = fileNameOf(*name)) return *last;
        }
    }
    return URLResponse::suggestedFilename();
}

std::string HTTPURLResponse::description() const {
    return URLResponse::description() + " { Status Code: " + std::to_string(statusCode_) + " }";
}

std::string HTTPURLResponse::localizedStringForStatusCode(std::int64_t statusCode) {
    switch (statusCode) {
        case 100: return "continue";
        case 101: return "switching protocols";
        case 200: return "no error";
        case 201: return "created";
        case 202: return "accepted";
        case 203: return "non-authoritative information";
        case 204: return "no content";
        case 205: return "reset content";
        case 206: return "partial content";
        case 300: return "multiple choices";
        case 301: return "moved permanently";
        case 302: return "found";
        case 303: return "see other";
        case 304: return "not modified";
        case 305: return "needs proxy";
        case 307: return "temporarily redirected";
        case 400: return "bad request";
        case 401: return "unauthorized";
        case 402: return "payment required";
        case 403: return "forbidden";
        case 404: return "not found";
        case 405: return "method not allowed";
        case 406: return "unacceptable";
        case 407: return "proxy authentication required";
        case 408: return "request timed out";
        case 409: return "conflict";
        case 410: return "no longer exists";
        case 411: return "length required";
        case 412: return "precondition failed";
        case 413: return "request too large";
        case 414: return "requested URL too long";
        case 415: return "unsupported media type";
        case 416: return "requested range not satisfiable";
        case 417: return "expectation failed";
        case 500: return "internal server error";
        case 501: return "unimplemented";
        case 502: return "bad gateway";
        case 503: return "service unavailable";
        case 504: return "gateway timed out";
        case 505: return "unsupported version";
        default: break;
    }
    if (statusCode >= 100 && statusCode < 200) return "informational";
    if (statusCode >= 200 && statusCode < 300) return "success";
    if (statusCode >= 300 && statusCode < 400) return "redirected";
    if (statusCode >= 400 && statusCode < 500) return "client error";
    if (statusCode >= 500 && statusCode < 600) return "server error";
    return "server error";
}

}  // namespace ql::ns
