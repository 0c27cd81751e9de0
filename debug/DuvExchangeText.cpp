#include "debug/DuvExchangeText.h"

#include <cstdio>

#include "debug/DuvDebugTool.h"
#include "platform/foundation/Text.h"

namespace ql::DuvExchangeText {

std::string seconds(double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%fs", seconds);
    return text;
}

std::string statusCode(const std::shared_ptr<ns::URLResponse>& response) {
    const auto* http = dynamic_cast<const ns::HTTPURLResponse*>(response.get());
    return std::to_string(http ? static_cast<std::int32_t>(http->statusCode()) : 0);
}

bool passesHostFilter(const std::string& absoluteURL) {
    const auto hosts = DuvDebugTool::shareInstance()->arrOnlyHosts();
    if (!hosts || hosts->empty()) return true;
    const std::string url = ns::lowercaseString(absoluteURL);
    for (const std::string& host : *hosts) {
        if (url.find(ns::lowercaseString(host)) != std::string::npos) return true;
    }
    return false;
}

}  // namespace ql::DuvExchangeText
