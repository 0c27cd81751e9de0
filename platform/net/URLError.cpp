#include "platform/net/URLError.h"

namespace ql::ns {

namespace {

std::optional<std::string> descriptionFor(std::int64_t code, const std::optional<URL>& url) {
    switch (code) {
        case URLErrorCancelled: return "cancelled";
        case URLErrorBadURL: return "bad URL";
        case URLErrorTimedOut: return "The request timed out.";
        case URLErrorUnsupportedURL: return "unsupported URL";
        case URLErrorCannotFindHost: return "A server with the specified hostname could not be found.";
        case URLErrorCannotConnectToHost: return "Could not connect to the server.";
        case URLErrorNetworkConnectionLost: return "The network connection was lost.";
        case URLErrorHTTPTooManyRedirects: return "too many HTTP redirects";
        case URLErrorResourceUnavailable: return "resource unavailable";
        case URLErrorNotConnectedToInternet: return "The Internet connection appears to be offline.";
        case URLErrorBadServerResponse: return "bad server response";
        case URLErrorZeroByteResource: return "zero byte resource";
        case URLErrorRequestBodyStreamExhausted: return "request body stream exhausted";
        case URLErrorFileDoesNotExist: return "The requested URL was not found on this server.";
        case URLErrorFileIsDirectory: return "file is directory";
        case URLErrorNoPermissionsToReadFile: return "no permission to read file";
        case URLErrorDataLengthExceedsMaximum: return "resource exceeds maximum size";
        case URLErrorCannotCreateFile: return "cannot create file";
        case URLErrorCannotWriteToFile: return "cannot write to file";
        case URLErrorSecureConnectionFailed:
            return "An SSL error has occurred and a secure connection to the server cannot be made.";
        case URLErrorServerCertificateUntrusted: {
            const std::string host = url ? url->host().value_or("") : "";
            return "The certificate for this server is invalid. You might be connecting to a server that is "
                   "pretending to be \u201c" +
                   host + "\u201d which could put your confidential information at risk.";
        }
        default: return std::nullopt;
    }
}

}  // namespace

Error urlError(std::int64_t code, const std::optional<URL>& url) {
    Dictionary userInfo;
    if (url) {
        userInfo.set(std::string(URLErrorFailingURLErrorKey), url->boxed());
        userInfo.set(std::string(URLErrorFailingURLStringErrorKey), Value(url->absoluteString()));
    }
    if (auto description = descriptionFor(code, url)) userInfo.set(std::string(LocalizedDescriptionKey), Value(*description));
    return Error(std::string(URLErrorDomain), code, std::move(userInfo));
}

}  // namespace ql::ns
