#pragma once
// NetHTTPRequestOperationManager: the HTTP client on the operation stack. It holds a base URL, request
// and response serializers, a security policy and an operation queue; each verb builds a request, wraps it
// in an NetHTTPRequestOperation with success and failure blocks and enqueues it. The manager may be let go
// at once: its queue and the operation keep running until one of the blocks has been called.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "net/NetHTTPRequestOperation.h"
#include "net/NetHTTPRequestSerializer.h"
#include "net/NetNetworkReachabilityManager.h"
#include "net/NetSecurityPolicy.h"
#include "net/NetURLResponseSerialization.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLCredential.h"
#include "platform/net/URLRequest.h"

namespace ql {

class NetHTTPRequestOperationManager : public ns::Object, public ns::Coding {
    QL_OBJECT(NetHTTPRequestOperationManager, ns::Object)
public:
    using SuccessBlock = NetHTTPRequestOperation::SuccessBlock;
    using FailureBlock = NetHTTPRequestOperation::FailureBlock;
    using HeadSuccessBlock = std::function<void(const std::shared_ptr<NetHTTPRequestOperation>& operation)>;
    using ConstructingBodyBlock = NetHTTPRequestSerializer::ConstructingBodyBlock;

    // A base URL with a path gets a trailing "/", so that relative paths resolve below it.
    explicit NetHTTPRequestOperationManager(std::optional<ns::URL> baseURL = std::nullopt);
    // A new manager without a base URL, every time.
    static std::shared_ptr<NetHTTPRequestOperationManager> manager();

    bool shouldUseCredentialStorage() const;
    void setShouldUseCredentialStorage(bool use);
    std::optional<ns::URL> baseURL() const;
    void setBaseURL(std::optional<ns::URL> url);
    // Shared with the operations made afterwards, not copied.
    std::shared_ptr<NetHTTPRequestSerializer> requestSerializer() const;
    void setRequestSerializer(std::shared_ptr<NetHTTPRequestSerializer> serializer);
    std::shared_ptr<NetURLResponseSerialization> responseSerializer() const;
    void setResponseSerializer(std::shared_ptr<NetURLResponseSerialization> serializer);
    std::shared_ptr<ns::OperationQueue> operationQueue() const;
    void setOperationQueue(std::shared_ptr<ns::OperationQueue> queue);
    std::shared_ptr<ns::URLCredential> credential() const;
    void setCredential(std::shared_ptr<ns::URLCredential> credential);
    std::shared_ptr<NetSecurityPolicy> securityPolicy() const;
    void setSecurityPolicy(std::shared_ptr<NetSecurityPolicy> policy);
    // Held only: nothing starts it, and the queue does not follow it.
    std::shared_ptr<NetNetworkReachabilityManager> reachabilityManager() const;
    void setReachabilityManager(std::shared_ptr<NetNetworkReachabilityManager> manager);
    // Null: the main queue, and the default HTTP completion group.
    std::shared_ptr<ns::DispatchQueue> completionQueue() const;
    void setCompletionQueue(std::shared_ptr<ns::DispatchQueue> queue);
    std::shared_ptr<ns::DispatchGroup> completionGroup() const;
    void setCompletionGroup(std::shared_ptr<ns::DispatchGroup> group);

    // An operation for the method, the URL text (resolved against the base URL) and the parameters, not
    // enqueued. Null when no request could be built: the failure block then gets a null operation and
    // the reason, asynchronously on the completion queue.
    std::shared_ptr<NetHTTPRequestOperation> HTTPRequestOperationWithHTTPMethod(std::string_view method,
                                                                                 std::string_view URLString,
                                                                                 const ns::Value& parameters,
                                                                                 SuccessBlock success,
                                                                                 FailureBlock failure);
    // An operation for the request with the manager's serializer, policy, credential and completion queue
    // and group, not enqueued.
    std::shared_ptr<NetHTTPRequestOperation> HTTPRequestOperationWithRequest(const ns::URLRequest& request,
                                                                             SuccessBlock success, FailureBlock failure);

    // The verbs enqueue the operation they make and return it (null when no request could be built).
    std::shared_ptr<NetHTTPRequestOperation> GET(std::string_view URLString, const ns::Value& parameters,
                                                 SuccessBlock success, FailureBlock failure);
    std::shared_ptr<NetHTTPRequestOperation> HEAD(std::string_view URLString, const ns::Value& parameters,
                                                  HeadSuccessBlock success, FailureBlock failure);
    std::shared_ptr<NetHTTPRequestOperation> POST(std::string_view URLString, const ns::Value& parameters,
                                                  SuccessBlock success, FailureBlock failure);
    // A multipart/form-data POST whose parts the block appends.
    std::shared_ptr<NetHTTPRequestOperation> POST(std::string_view URLString, const ns::Value& parameters,
                                                  const ConstructingBodyBlock& block, SuccessBlock success,
                                                  FailureBlock failure);
    std::shared_ptr<NetHTTPRequestOperation> PUT(std::string_view URLString, const ns::Value& parameters,
                                                 SuccessBlock success, FailureBlock failure);
    std::shared_ptr<NetHTTPRequestOperation> PATCH(std::string_view URLString, const ns::Value& parameters,
                                                   SuccessBlock success, FailureBlock failure);
    std::shared_ptr<NetHTTPRequestOperation> DELETE(std::string_view URLString, const ns::Value& parameters,
                                                    SuccessBlock success, FailureBlock failure);

    std::string description() const override;

    // The base URL, serializers and security policy are archived; the serializers are set from the
    // archive even when it holds none.
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }
    // The same base URL with copies of the serializers and the security policy.
    std::shared_ptr<ns::Object> copy() const override;

private:
    // Calls the failure block, if any, with no operation on the completion queue.
    void failWithoutOperation(const FailureBlock& failure, const ns::Error& error) const;
    // Whether the response serializer is set too; if either is missing, fails the request with the error
    // naming the missing one.
    bool hasSerializers(bool hasRequestSerializer, const FailureBlock& failure) const;
    std::shared_ptr<NetHTTPRequestOperation> enqueue(std::shared_ptr<NetHTTPRequestOperation> operation) const;

    mutable std::mutex mutex_;
    bool shouldUseCredentialStorage_ = true;
    std::optional<ns::URL> baseURL_;
    std::shared_ptr<NetHTTPRequestSerializer> requestSerializer_;
    std::shared_ptr<NetURLResponseSerialization> responseSerializer_;
    std::shared_ptr<ns::OperationQueue> operationQueue_;
    std::shared_ptr<ns::URLCredential> credential_;
    std::shared_ptr<NetSecurityPolicy> securityPolicy_;
    std::shared_ptr<NetNetworkReachabilityManager> reachabilityManager_;
    std::shared_ptr<ns::DispatchQueue> completionQueue_;
    std::shared_ptr<ns::DispatchGroup> completionGroup_;
};

}  // namespace ql
