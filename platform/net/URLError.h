#pragma once
// The platform's URL-loading error codes (NSURLErrorDomain) and the errors the loading system reports:
// each carries the failing URL (as URL and as text) and the platform's description.

#include <cstdint>
#include <optional>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"

namespace ql::ns {

enum URLErrorCode : std::int64_t {
    URLErrorUnknown = -1,
    URLErrorCancelled = -999,
    URLErrorBadURL = -1000,
    URLErrorTimedOut = -1001,
    URLErrorUnsupportedURL = -1002,
    URLErrorCannotFindHost = -1003,
    URLErrorCannotConnectToHost = -1004,
    URLErrorNetworkConnectionLost = -1005,
    URLErrorHTTPTooManyRedirects = -1007,
    URLErrorResourceUnavailable = -1008,
    URLErrorNotConnectedToInternet = -1009,
    URLErrorBadServerResponse = -1011,
    URLErrorUserCancelledAuthentication = -1012,
    URLErrorZeroByteResource = -1014,
    URLErrorRequestBodyStreamExhausted = -1021,
    URLErrorFileDoesNotExist = -1100,
    URLErrorFileIsDirectory = -1101,
    URLErrorNoPermissionsToReadFile = -1102,
    URLErrorDataLengthExceedsMaximum = -1103,
    URLErrorCannotCreateFile = -3000,
    URLErrorCannotWriteToFile = -3003,
    URLErrorSecureConnectionFailed = -1200,
    URLErrorServerCertificateUntrusted = -1202,
};

// An NSURLErrorDomain error for a load of `url` (the user info names it when there is one).
Error urlError(std::int64_t code, const std::optional<URL>& url);

}  // namespace ql::ns
