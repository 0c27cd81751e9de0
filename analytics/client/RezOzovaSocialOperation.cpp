#include "analytics/client/RezOzovaSocialOperation.h"

#include "analytics/StatLog.h"
#include "analytics/client/RezOzovaApp.h"
#include "analytics/client/StatEndpoints.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/URLResponse.h"

namespace ql {

RezOzovaSocialOperation::RezOzovaSocialOperation(std::string url, std::optional<ns::Data> postBody,
                                                 std::weak_ptr<RezOzovaSocialOperateDelegate> delegate)
    : delegate_(std::move(delegate)), requestString_(std::move(url)), postData_(std::move(postBody)) {}

void RezOzovaSocialOperation::main() { startDoSomething(); }

void RezOzovaSocialOperation::startDoSomething() {
    ns::URLRequest request(ns::URL::fromString(requestString_), ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData,
                           TimeoutInterval);
    if (postData_ && !postData_->empty()) {
        request.setHTTPMethod("POST");
        request.setHTTPBody(*postData_);
    } else {
        request.setHTTPMethod("GET");
    }
    success_ = false;
    auto self = std::dynamic_pointer_cast<RezOzovaSocialOperation>(shared_from_this());
    connect_ = ns::URLConnection::create(request, self);
    // The connection reports on this thread's run loop; turn it until the request has ended. The real-time cap
    // only bounds a connection that never reports, which the time-out above already prevents.
    ns::RunLoop::current()->runUntil([this] { return success_ || !connect_; }, TimeoutInterval * 6);
}

void RezOzovaSocialOperation::connectionDidReceiveResponse(ns::URLConnection&,
                                                           const std::shared_ptr<ns::URLResponse>& response) {
    if (auto http = std::dynamic_pointer_cast<ns::HTTPURLResponse>(response)) statusCode_ = http->statusCode();
}

void RezOzovaSocialOperation::connectionDidReceiveData(ns::URLConnection&, const ns::Data& data) {
    receivedData_.append(data);
}

void RezOzovaSocialOperation::connectionDidFailWithError(ns::URLConnection&, const ns::Error& error) {
    if (auto delegate = delegate_.lock()) delegate->RezOzovaOperate_Finish(*this, std::nullopt, error);
    end();
}

void RezOzovaSocialOperation::connectionDidFinishLoading(ns::URLConnection&) {
    if (auto delegate = delegate_.lock()) delegate->RezOzovaOperate_Finish(*this, receivedData_, std::nullopt);
    end();
    state_ = StateFinished;
}

std::shared_ptr<ns::CachedURLResponse> RezOzovaSocialOperation::connectionWillCacheResponse(
    ns::URLConnection&, const std::shared_ptr<ns::CachedURLResponse>&) {
    return nullptr;
}

void RezOzovaSocialOperation::end() {
    connect_.reset();
    success_ = true;
}

RezOzovaSocialAnalytics::RezOzovaSocialAnalytics() : queue_(std::make_shared<ns::OperationQueue>()) {}

std::shared_ptr<RezOzovaSocialAnalytics> RezOzovaSocialAnalytics::sharedInstance() {
    static auto* shared = new std::shared_ptr<RezOzovaSocialAnalytics>(std::make_shared<RezOzovaSocialAnalytics>());
    return *shared;
}

std::shared_ptr<RezOzovaSocialOperation> RezOzovaSocialAnalytics::postShareCount(std::optional<ns::Data> body) {
    const std::string url = StatEndpoints::hosts().shareCount + "/share/api/" + RezOzovaApp::sharedInstance().appid();
    auto operation = std::make_shared<RezOzovaSocialOperation>(url, std::move(body), weak_from_this());
    queue_->addOperation(operation);
    return operation;
}

void RezOzovaSocialAnalytics::RezOzovaOperate_Finish(RezOzovaSocialOperation& operation,
                                                     const std::optional<ns::Data>& data,
                                                     const std::optional<ns::Error>& error) {
    if (error) statLog("share count failed: " + error->localizedDescription());
    else statLog("share count status " + std::to_string(operation.statusCode()) + ", " +
                 std::to_string(data ? data->length() : 0) + " bytes");
}

}  // namespace ql
