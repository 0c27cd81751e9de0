#pragma once
// How operations and managers archive the loading values they hold (requests, replies, errors and URLs):
// as property-list values under the keys they would have as objects. The platform layer keeps these as
// plain values without keyed coding, so they are written out field by field and read back the same way.

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql {

// A request without its body stream, which cannot be archived.
void NetEncodeRequest(ns::KeyedArchiver& coder, const ns::URLRequest& request, std::string_view key);
std::optional<ns::URLRequest> NetDecodeRequest(ns::KeyedUnarchiver& coder, std::string_view key);

void NetEncodeResponse(ns::KeyedArchiver& coder, const std::shared_ptr<ns::URLResponse>& response,
                       std::string_view key);
std::shared_ptr<ns::URLResponse> NetDecodeResponse(ns::KeyedUnarchiver& coder, std::string_view key);

// The user information keeps its property-list values, URLs (as their text) and underlying errors.
void NetEncodeError(ns::KeyedArchiver& coder, const std::optional<ns::Error>& error, std::string_view key);
std::optional<ns::Error> NetDecodeError(ns::KeyedUnarchiver& coder, std::string_view key);

void NetEncodeURL(ns::KeyedArchiver& coder, const std::optional<ns::URL>& url, std::string_view key);
std::optional<ns::URL> NetDecodeURL(ns::KeyedUnarchiver& coder, std::string_view key);

}  // namespace ql
