#include "debug/DuvExchangeText.h"

#include <cstdio>

#include "debug/DuvDebugTool.h"
#include "debug/DuvHttpDatasource.h"
#include "platform/foundation/Date.h"
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

std::shared_ptr<DuvHttpModel> model(const ns::URLRequest& request, const std::shared_ptr<ns::URLResponse>& response,
                                    const std::optional<ns::Data>& responseBytes, double startTime) {
    auto model = std::make_shared<DuvHttpModel>();
    model->url = request.URL();
    model->method = request.HTTPMethod();
    if (request.HTTPBody()) model->requestBody = DuvHttpDatasource::prettyJSONStringFromData(*request.HTTPBody());
    model->statusCode = statusCode(response);
    if (responseBytes) model->responseBody = DuvHttpDatasource::prettyJSONStringFromData(*responseBytes);
    if (response) model->mineType = response->MIMEType();
    model->totalDuration = seconds(ns::Date::now().timeIntervalSince1970() - startTime);
    model->startTime = seconds(startTime);
    return model;
}

}  // namespace ql::DuvExchangeText
