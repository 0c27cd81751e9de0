#pragma once
// The texts an observed exchange is stored with, shared by both recorders.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/net/URLResponse.h"

namespace ql::DuvExchangeText {

// Seconds as "%fs": six decimals, then the letter s.
std::string seconds(double seconds);
// The response's status code as "%d", 0 without an HTTP response.
std::string statusCode(const std::shared_ptr<ns::URLResponse>& response);
// Whether the host filter lets the URL text through: no entries, or one of them inside the URL, ignoring case.
bool passesHostFilter(const std::string& absoluteURL);

}  // namespace ql::DuvExchangeText
