#pragma once
// An observed exchange as the traffic store keeps it, and its texts, shared by both recorders.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "debug/DuvHttpModel.h"
#include "platform/foundation/Data.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql::DuvExchangeText {

// Seconds as "%fs": six decimals, then the letter s.
std::string seconds(double seconds);
// The response's status code as "%d", 0 without an HTTP response.
std::string statusCode(const std::shared_ptr<ns::URLResponse>& response);
// Whether the host filter lets the URL text through: no entries, or one of them inside the URL, ignoring case.
bool passesHostFilter(const std::string& absoluteURL);

// The record of an exchange that started at `startTime` (seconds since 1970) and ends now. Without
// `responseBytes` (none were gathered) the record has no response body.
std::shared_ptr<DuvHttpModel> model(const ns::URLRequest& request, const std::shared_ptr<ns::URLResponse>& response,
                                    const std::optional<ns::Data>& responseBytes, double startTime);

}  // namespace ql::DuvExchangeText
