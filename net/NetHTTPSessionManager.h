#pragma once
// NetHTTPSessionManager: the HTTP client on the session stack. A base URL and a request serializer on top
// of the session manager; each verb builds the request, makes a data task (a streamed upload task for
// multipart bodies), resumes it and reports to a success or a failure block on the completion queue.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "net/NetHTTPRequestSerializer.h"
#include "net/NetURLSessionManager.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLSessionTask.h"

namespace ql {

class NetHTTPSessionManager : public NetURLSessionManager {
    QL_OBJECT(NetHTTPSessionManager, NetURLSessionManager)
public:
    using SuccessBlock =
        std::function<void(const std::shared_ptr<ns::URLSessionDataTask>& task, const ns::Value& responseObject)>;
    using HeadSuccessBlock = std::function<void(const std::shared_ptr<ns::URLSessionDataTask>& task)>;
    // The task is null when no request could be built.
    using FailureBlock = std::function<void(const std::shared_ptr<ns::URLSessionDataTask>& task, const ns::Error& error)>;
    using ConstructingBodyBlock = NetHTTPRequestSerializer::ConstructingBodyBlock;

    // A base URL with a path gets a trailing "/". With the JSON response serializer.
    explicit NetHTTPSessionManager(std::optional<ns::URL> baseURL = std::nullopt,
                                   std::shared_ptr<ns::URLSessionConfiguration> configuration = nullptr);
    // A new manager, and so a new session, on every call.
    static std::shared_ptr<NetHTTPSessionManager> manager();

    std::optional<ns::URL> baseURL() const;
    void setBaseURL(std::optional<ns::URL> url);
    std::shared_ptr<NetHTTPRequestSerializer> requestSerializer() const;
    void setRequestSerializer(std::shared_ptr<NetHTTPRequestSerializer> serializer);

    // The verbs resume the task they make and return it; null when the request could not be built (the
    // failure block then gets a null task and the reason, asynchronously on the completion queue).
    std::shared_ptr<ns::URLSessionDataTask> GET(std::string_view URLString, const ns::Value& parameters,
                                                SuccessBlock success, FailureBlock failure);
    std::shared_ptr<ns::URLSessionDataTask> HEAD(std::string_view URLString, const ns::Value& parameters,
                                                 HeadSuccessBlock success, FailureBlock failure);
    std::shared_ptr<ns::URLSessionDataTask> POST(std::string_view URLString, const ns::Value& parameters,
                                                 SuccessBlock success, FailureBlock failure);
    // A multipart/form-data POST whose parts the block appends, sent as a streamed upload task.
    std::shared_ptr<ns::URLSessionDataTask> POST(std::string_view URLString, const ns::Value& parameters,
                                                 const ConstructingBodyBlock& block, SuccessBlock success,
                                                 FailureBlock failure);
    std::shared_ptr<ns::URLSessionDataTask> PUT(std::string_view URLString, const ns::Value& parameters,
                                                SuccessBlock success, FailureBlock failure);
    std::shared_ptr<ns::URLSessionDataTask> PATCH(std::string_view URLString, const ns::Value& parameters,
                                                  SuccessBlock success, FailureBlock failure);
    std::shared_ptr<ns::URLSessionDataTask> DELETE(std::string_view URLString, const ns::Value& parameters,
                                                   SuccessBlock success, FailureBlock failure);
    // The task for the method, not yet resumed.
    std::shared_ptr<ns::URLSessionDataTask> dataTaskWithHTTPMethod(std::string_view method, std::string_view URLString,
                                                                   const ns::Value& parameters, SuccessBlock success,
                                                                   FailureBlock failure);

    std::string description() const override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    // The same base URL and configuration with copies of the serializers and the security policy.
    std::shared_ptr<ns::Object> copy() const override;

private:
    // The completion handler that splits the outcome between the two blocks; `task` is filled in once made.
    static CompletionHandler splitting(std::shared_ptr<std::shared_ptr<ns::URLSessionDataTask>> task,
                                       SuccessBlock success, FailureBlock failure);
    void failWithoutTask(const FailureBlock& failure, const ns::Error& error) const;
    // Whether both serializers are set; otherwise the failure block hears it.
    bool hasSerializers(const FailureBlock& failure) const;
    static std::shared_ptr<ns::URLSessionDataTask> resumed(std::shared_ptr<ns::URLSessionDataTask> task);

    mutable std::mutex mutex_;
    std::optional<ns::URL> baseURL_;
    std::shared_ptr<NetHTTPRequestSerializer> requestSerializer_;
};

}  // namespace ql
