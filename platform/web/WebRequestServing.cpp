#include "platform/web/WebRequestServing.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <unordered_map>

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

static_assert((kPageReplyLimit + 2) / 3 * 4 + (std::size_t{4} << 20) <= WebEngine::kLargestCommand + 1);

const std::shared_ptr<WebReplyBudget>& allReplies() {
    static const auto& budget = *new std::shared_ptr<WebReplyBudget>(std::make_shared<WebReplyBudget>(kAllRepliesLimit));
    return budget;
}

// Loads for pages: redirects are handed back as they came, and each reply's body is gathered here, within
// the bounds, until its task ends. Called on the session's delegate queue.
class PageLoads final : public ns::URLSessionDataDelegate {
public:
    void add(std::uint64_t task, const std::shared_ptr<WebReplyBudget>& viewBudget, PageReplyHandler handler) {
        std::lock_guard lock(mutex_);
        pending_.emplace(task, Pending{std::move(handler),
                                       std::make_shared<WebReplyBody>(std::make_shared<WebReplyBudget>(kPageReplyLimit, viewBudget))});
    }

    void URLSessionTaskWillPerformHTTPRedirection(ns::URLSession&, ns::URLSessionTask&,
                                                  const std::shared_ptr<ns::HTTPURLResponse>&, const ns::URLRequest&,
                                                  std::function<void(std::optional<ns::URLRequest>)> completion) override {
        completion(std::nullopt);
    }

    void URLSessionDataTaskDidReceiveData(ns::URLSession&, ns::URLSessionDataTask& task, const ns::Data& data) override {
        std::unique_lock lock(mutex_);
        const auto found = pending_.find(task.taskIdentifier());
        if (found == pending_.end() || found->second.tooLarge) return;
        Pending& pending = found->second;
        if (!pending.body->append(data.span())) {
            // Its memory goes back at once, for the replies that go on.
            pending.tooLarge = true;
            pending.body->clear();
            lock.unlock();
            task.cancel();
        }
    }

    void URLSessionTaskDidCompleteWithError(ns::URLSession&, ns::URLSessionTask& task,
                                            const std::optional<ns::Error>& error) override {
        std::unique_lock lock(mutex_);
        const auto found = pending_.find(task.taskIdentifier());
        if (found == pending_.end()) return;
        Pending pending = std::move(found->second);
        pending_.erase(found);
        lock.unlock();
        std::optional<ns::Error> outcome = error;
        const auto response = task.response();
        if (pending.tooLarge) {
            outcome = ns::urlError(ns::URLErrorDataLengthExceedsMaximum, task.originalRequest().URL());
        } else if (!error && !response) {
            outcome = ns::Error(std::string(ns::URLErrorDomain), ns::URLErrorBadServerResponse);
        }
        ns::DispatchQueue::main()->async(
            [handler = std::move(pending.handler), body = std::move(pending.body), response, outcome] {
                handler(*body, response, outcome);
            });
    }

private:
    struct Pending {
        PageReplyHandler handler;
        std::shared_ptr<WebReplyBody> body;
        bool tooLarge = false;
    };
    std::mutex mutex_;
    std::unordered_map<std::uint64_t, Pending> pending_;
};

const std::shared_ptr<PageLoads>& pageLoads() {
    // The session holds it weakly.
    static const auto& loads = *new std::shared_ptr<PageLoads>(std::make_shared<PageLoads>());
    return loads;
}

const std::shared_ptr<ns::URLSession>& pageSession() {
    static const auto& session = *new std::shared_ptr<ns::URLSession>(ns::URLSession::sessionWithConfiguration(
        ns::URLSessionConfiguration::defaultSessionConfiguration(), pageLoads(), nullptr));
    return session;
}

ns::Value header(std::string_view name, std::string_view value) {
    return ns::Value(ns::Dictionary{{"name", ns::Value(name)}, {"value", ns::Value(value)}});
}

ns::Dictionary fulfil(const std::string& requestID, std::int64_t status, ns::Array headers, std::string base64Body) {
    return {{"requestId", ns::Value(requestID)},
            {"responseCode", ns::Value(status)},
            {"responseHeaders", ns::Value(std::move(headers))},
            {"body", ns::Value(std::move(base64Body))}};
}

}  // namespace

std::string contentType(const std::string& MIMEType, const std::string& textEncodingName) {
    return textEncodingName.empty() ? MIMEType : MIMEType + "; charset=" + textEncodingName;
}

PageRequest pageRequestFromEvent(const ns::Value& pageRequest) {
    const ns::Dictionary& fields = fieldsOf(pageRequest);
    PageRequest page{ns::URLRequest(ns::URL::fromString(textField(fields, "url"))), std::nullopt};
    ns::URLRequest& request = page.request;
    if (const ns::Value* method = fields.find("method")) request.setHTTPMethod(method->stringValue());
    for (const auto& [name, value] : fieldsOf(fields["headers"])) {
        if (ns::equalsIgnoringASCIICase(name, "Cookie")) continue;
        request.setValue(value.stringValue(), name);
    }
    const ns::Value* hasBody = fields.find("hasPostData");
    if (!hasBody || !hasBody->boolValue()) return page;
    const ns::Value* entries = fields.find("postDataEntries");
    const ns::Array* pieces = entries ? entries->asArray() : nullptr;
    if (!pieces) {
        page.unsendable = ns::urlError(ns::URLErrorRequestBodyStreamExhausted, request.URL());
        return page;
    }
    ns::Data body;
    for (const auto& piece : *pieces) {
        const ns::Value& bytes = fieldsOf(piece)["bytes"];
        // Left out for its size (null), or never there: a stream the page writes as it goes, which the
        // engine does not hand over.
        auto decoded = bytes.isString() ? ns::dataWithBase64EncodedString(bytes.asString()) : std::nullopt;
        if (!decoded) {
            page.unsendable = ns::urlError(bytes.isNull() ? ns::URLErrorDataLengthExceedsMaximum : ns::URLErrorRequestBodyStreamExhausted,
                                           request.URL());
            return page;
        }
        if (body.empty()) {
            body = std::move(*decoded);
        } else {
            body.append(*decoded);
        }
    }
    request.setHTTPBody(std::move(body));
    return page;
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

std::shared_ptr<WebReplyBudget> viewReplyBudget() { return std::make_shared<WebReplyBudget>(kViewRepliesLimit, allReplies()); }

std::shared_ptr<ns::URLSessionTask> loadForPage(const ns::URLRequest& request, const std::shared_ptr<WebReplyBudget>& budget,
                                                PageReplyHandler handler) {
    auto task = pageSession()->dataTaskWithRequest(request);
    if (!task) return nullptr;
    pageLoads()->add(task->taskIdentifier(), budget, std::move(handler));
    task->resume();
    return task;
}

ns::Dictionary fulfilment(const std::string& requestID, const WebReplyBody& body, const ns::URLResponse& response) {
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
    return fulfil(requestID, status, std::move(headers), body.base64EncodedString());
}

ns::Dictionary fulfilment(const std::string& requestID, const ns::Data& body, const std::string& MIMEType,
                          const std::string& textEncodingName) {
    return fulfil(requestID, 200, ns::Array{header("Content-Type", contentType(MIMEType, textEncodingName))},
                  ns::base64EncodedString(body));
}

ns::Dictionary noContent(const std::string& requestID) { return fulfil(requestID, 204, ns::Array{}, ""); }

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
