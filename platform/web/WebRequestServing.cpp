#include "platform/web/WebRequestServing.h"

#include <algorithm>
#include <filesystem>

#include "platform/foundation/Base64.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Text.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionConfiguration.h"
#include "platform/net/URLSessionDelegate.h"
#include "platform/web/WebEngineFields.h"

namespace ql::ui {
namespace {

// Fields that describe the bytes as they travelled; the body handed over is already decoded and whole.
bool travelsOnlyOnTheWire(std::string_view name) {
    return ns::equalsIgnoringASCIICase(name, "Content-Encoding") || ns::equalsIgnoringASCIICase(name, "Content-Length") ||
           ns::equalsIgnoringASCIICase(name, "Transfer-Encoding") || ns::equalsIgnoringASCIICase(name, "Connection");
}

class RedirectHandback final : public ns::URLSessionTaskDelegate {
public:
    void URLSessionTaskWillPerformHTTPRedirection(ns::URLSession&, ns::URLSessionTask&,
                                                  const std::shared_ptr<ns::HTTPURLResponse>&, const ns::URLRequest&,
                                                  std::function<void(std::optional<ns::URLRequest>)> completion) override {
        completion(std::nullopt);
    }
};

const std::shared_ptr<ns::URLSession>& pageSession() {
    static const auto handback = std::make_shared<RedirectHandback>();  // the session holds it weakly
    static const auto session = ns::URLSession::sessionWithConfiguration(
        ns::URLSessionConfiguration::defaultSessionConfiguration(), handback, nullptr);
    return session;
}

ns::Value header(std::string_view name, std::string_view value) {
    return ns::Value(ns::Dictionary{{"name", ns::Value(name)}, {"value", ns::Value(value)}});
}

ns::Dictionary fulfil(const std::string& requestID, std::int64_t status, ns::Array headers, const ns::Data& body) {
    return {{"requestId", ns::Value(requestID)},
            {"responseCode", ns::Value(status)},
            {"responseHeaders", ns::Value(std::move(headers))},
            {"body", ns::Value(ns::base64EncodedString(body))}};
}

}  // namespace

std::string contentType(const std::string& MIMEType, const std::string& textEncodingName) {
    return textEncodingName.empty() ? MIMEType : MIMEType + "; charset=" + textEncodingName;
}

ns::URLRequest platformRequestFromPage(const ns::Value& pageRequest) {
    const ns::Dictionary& fields = fieldsOf(pageRequest);
    ns::URLRequest request(ns::URL::fromString(textField(fields, "url")));
    if (const ns::Value* method = fields.find("method")) request.setHTTPMethod(method->stringValue());
    for (const auto& [name, value] : fieldsOf(fields["headers"])) {
        if (ns::equalsIgnoringASCIICase(name, "Cookie")) continue;
        request.setValue(value.stringValue(), name);
    }
    if (const ns::Value* body = fields.find("postData")) request.setHTTPBody(ns::Data(body->stringValue()));
    return request;
}

std::optional<ns::Error> refusalForPage(const ns::URLRequest& request) {
    if (!request.URL() || request.URL()->scheme() != "file") return std::nullopt;
    // Resolved first, so that neither ".." nor a link leads out of the sandbox.
    // A path that cannot be resolved is refused, never let through.
    std::error_code homeError, fileError;
    const auto home = std::filesystem::weakly_canonical(ns::homeDirectory(), homeError);
    const auto file = std::filesystem::weakly_canonical(request.URL()->path(), fileError);
    if (!homeError && !fileError && !home.empty()) {
        const auto [homeEnd, fileAt] = std::mismatch(home.begin(), home.end(), file.begin(), file.end());
        if (homeEnd == home.end()) return std::nullopt;
    }
    ns::Dictionary info{{std::string(ns::LocalizedDescriptionKey), ns::Value("A page may not read files outside the app.")},
                        {std::string(ns::URLErrorFailingURLStringErrorKey), ns::Value(request.URL()->absoluteString())}};
    return ns::Error(std::string(ns::URLErrorDomain), ns::URLErrorNoPermissionsToReadFile, std::move(info));
}

std::shared_ptr<ns::URLSessionTask> loadForPage(const ns::URLRequest& request, PageReplyHandler handler) {
    auto task = pageSession()->dataTaskWithRequest(
        request, [handler = std::move(handler)](const std::optional<ns::Data>& data,
                                                const std::shared_ptr<ns::URLResponse>& response,
                                                const std::optional<ns::Error>& error) {
            ns::DispatchQueue::main()->async([handler, body = data.value_or(ns::Data()), response, error] {
                if (!error && !response) {
                    handler(body, response, ns::Error(std::string(ns::URLErrorDomain), ns::URLErrorBadServerResponse));
                } else {
                    handler(body, response, error);
                }
            });
        });
    if (task) task->resume();
    return task;
}

ns::Dictionary fulfilment(const std::string& requestID, const ns::Data& body, const ns::URLResponse& response) {
    ns::Array headers;
    std::int64_t status = 200;
    if (const auto* http = dynamic_cast<const ns::HTTPURLResponse*>(&response)) {
        status = http->statusCode();
        for (const auto& [name, value] : http->allHeaderFields()) {
            if (!travelsOnlyOnTheWire(name)) headers.push_back(header(name, value.stringValue()));
        }
    } else {
        headers.push_back(header("Content-Type", contentType(response.MIMEType().value_or("application/octet-stream"),
                                                             response.textEncodingName().value_or(""))));
    }
    return fulfil(requestID, status, std::move(headers), body);
}

ns::Dictionary fulfilment(const std::string& requestID, const ns::Data& body, const std::string& MIMEType,
                          const std::string& textEncodingName) {
    return fulfil(requestID, 200, ns::Array{header("Content-Type", contentType(MIMEType, textEncodingName))}, body);
}

ns::Dictionary noContent(const std::string& requestID) { return fulfil(requestID, 204, ns::Array{}, ns::Data()); }

ns::Dictionary failure(const std::string& requestID, const ns::Error& error) {
    std::string reason = "Failed";
    if (error.domain() == ns::URLErrorDomain) {
        switch (error.code()) {
            case ns::URLErrorCancelled: reason = "Aborted"; break;
            case ns::URLErrorTimedOut: reason = "TimedOut"; break;
            case ns::URLErrorCannotFindHost: reason = "NameNotResolved"; break;
            case ns::URLErrorCannotConnectToHost: reason = "ConnectionRefused"; break;
            case ns::URLErrorNoPermissionsToReadFile: reason = "AccessDenied"; break;
            default: reason = "ConnectionFailed"; break;
        }
    }
    return {{"requestId", ns::Value(requestID)}, {"errorReason", ns::Value(reason)}};
}

}  // namespace ql::ui
