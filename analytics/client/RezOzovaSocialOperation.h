#pragma once
// One HTTP request of the share-count analytics: a POST of the given body (a GET without one), run on the
// thread of the operation queue it is added to, which keeps its run loop turning until the request ends; the
// outcome goes to the delegate on that thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Operation.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/net/URLConnection.h"

namespace ql {

class RezOzovaSocialOperation;

class RezOzovaSocialOperateDelegate {
public:
    virtual ~RezOzovaSocialOperateDelegate() = default;
    // The reply's bytes on success, the error on failure.
    virtual void RezOzovaOperate_Finish(RezOzovaSocialOperation& operation, const std::optional<ns::Data>& data,
                                        const std::optional<ns::Error>& error) = 0;
};

class RezOzovaSocialOperation : public ns::Operation, public ns::URLConnectionDelegate {
public:
    static constexpr double TimeoutInterval = 10;
    static constexpr std::int32_t StateFinished = 3;

    RezOzovaSocialOperation(std::string url, std::optional<ns::Data> postBody,
                            std::weak_ptr<RezOzovaSocialOperateDelegate> delegate);

    void main() override;
    void startDoSomething();

    void connectionDidReceiveResponse(ns::URLConnection& connection, const std::shared_ptr<ns::URLResponse>& response) override;
    void connectionDidReceiveData(ns::URLConnection& connection, const ns::Data& data) override;
    void connectionDidFailWithError(ns::URLConnection& connection, const ns::Error& error) override;
    void connectionDidFinishLoading(ns::URLConnection& connection) override;
    // This reply is not kept: the counts change with every request. The shared cache is left as it is.
    std::shared_ptr<ns::CachedURLResponse> connectionWillCacheResponse(
        ns::URLConnection& connection, const std::shared_ptr<ns::CachedURLResponse>& cachedResponse) override;

    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }
    std::int64_t statusCode() const { return statusCode_; }
    const std::string& requestString() const { return requestString_; }
    const ns::Data& receivedData() const { return receivedData_; }
    const std::optional<ns::Data>& postData() const { return postData_; }
    std::int32_t state() const { return state_; }

private:
    void end();

    bool success_ = false;
    std::weak_ptr<RezOzovaSocialOperateDelegate> delegate_;
    std::int64_t tag_ = 0;
    std::int64_t statusCode_ = 0;
    std::string requestString_;
    ns::Data receivedData_;
    std::optional<ns::Data> postData_;
    std::shared_ptr<ns::URLConnection> connect_;
    std::int32_t state_ = 0;
};

// The share-count analytics: sends one request per share-count report to "/share/api/<app key>" and logs
// what came back.
class RezOzovaSocialAnalytics : public RezOzovaSocialOperateDelegate,
                                public std::enable_shared_from_this<RezOzovaSocialAnalytics> {
public:
    static std::shared_ptr<RezOzovaSocialAnalytics> sharedInstance();

    // Queues the request; the body is posted, none means a GET.
    std::shared_ptr<RezOzovaSocialOperation> postShareCount(std::optional<ns::Data> body);
    void RezOzovaOperate_Finish(RezOzovaSocialOperation& operation, const std::optional<ns::Data>& data,
                                const std::optional<ns::Error>& error) override;
    const std::shared_ptr<ns::OperationQueue>& queue() const { return queue_; }

    RezOzovaSocialAnalytics();

private:
    std::shared_ptr<ns::OperationQueue> queue_;
};

}  // namespace ql
