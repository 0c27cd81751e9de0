#pragma once
// The options of one image download and the blocks it reports through, shared by the downloader and its
// download operations.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/ui/Image.h"

namespace ql {

enum WebImageFetchOptions : std::uint64_t {
    WebImageFetchLowPriority = 1u << 0,
    // Partial images are reported while the data arrives.
    WebImageFetchProgressive = 1u << 1,
    // The request goes through the URL cache (the protocol's cache policy) instead of reloading.
    WebImageFetchUseURLCache = 1u << 2,
    // A reply that came from the URL cache completes with no image.
    WebImageFetchIgnoreCachedResponse = 1u << 3,
    WebImageFetchContinueInBackground = 1u << 4,
    WebImageFetchHandleCookies = 1u << 5,
    WebImageFetchAllowInvalidCertificates = 1u << 6,
    WebImageFetchHighPriority = 1u << 7,
};

enum class WebImageFetchOrder : std::int64_t {
    FIFO = 0,
    LIFO = 1,
};

// Bytes received so far and expected in all (-1 when the reply gave no length).
using WebImageFetchProgress = std::function<void(std::int64_t receivedSize, std::int64_t expectedSize)>;
// `finished` is false for a partial image of a progressive download.
using WebImageFetchCompletion = std::function<void(std::shared_ptr<ui::Image> image, std::optional<ns::Data> data,
                                                   std::optional<ns::Error> error, bool finished)>;

inline constexpr std::string_view WebImageErrorDomain = "WebImageErrorDomain";

// An error of the web-image components with its description.
ns::Error webImageError(std::int64_t code, std::string_view description);

}  // namespace ql
