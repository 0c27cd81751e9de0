#pragma once
// A self-contained request client: a host name from which request URLs are built, and one call that sends
// GET, POST or DELETE through a new networking manager (a session manager where the system offers
// sessions) with the caller's header fields. Headers given to addHeaders go with every later request of
// this instance.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

inline constexpr std::string_view HostNameMissingLogLine =
    "Hostname is nil, use operationWithURLString: method to create absolute URL operations";
inline constexpr std::string_view RequestURLLogFormat = "Request Url:%@";

enum NetHttpClientMethod : std::int32_t {
    NetHttpClientMethodGET = 0,
    NetHttpClientMethodPOST = 1,
    NetHttpClientMethodDELETE = 2,
};

class NetHttpClientRequest : public ns::Object {
    QL_OBJECT(NetHttpClientRequest, ns::Object)
public:
    // The task or operation that carried the request: null when no request could be built.
    using SuccessBlock = std::function<void(const std::shared_ptr<ns::Object>& request, const ns::Value& reply)>;
    using FailedBlock = std::function<void(const std::shared_ptr<ns::Object>& request, const ns::Error& error)>;

    explicit NetHttpClientRequest(std::optional<std::string> hostName = std::nullopt);
    // Made once, with the host of the service base URL as host name.
    static NetHttpClientRequest& shareRequest();

    std::optional<std::string> hostName() const;
    void setHostName(std::optional<std::string> hostName);

    // "http://host/path" ("https" when `ssl`), with exactly one "/" between host and path; nothing (and a
    // log line) without a host name.
    std::optional<std::string> urlWithPath(std::string_view path, bool ssl) const;

    // Kept for every later request of this instance.
    void addHeaders(const ns::Dictionary& headers);

    // Sends the request; the method is a NetHttpClientMethod. Any other method code sends nothing and
    // calls neither block. A path without a host name fails through the failed block. Blocks are called on
    // the main queue, each only when given.
    void requestWithBaseURLStr(std::string_view URLString, const ns::Value& params, std::int32_t httpMethod,
                               const ns::Dictionary& headerField, SuccessBlock successBlock,
                               FailedBlock failedBlock) const;
    void requestWithBaseURLStr(std::string_view URLString, const ns::Value& params, std::int32_t httpMethod,
                               SuccessBlock successBlock, FailedBlock failedBlock) const;
    void requestWithBaseURLPath(std::string_view path, const ns::Value& params, std::int32_t httpMethod,
                                SuccessBlock successBlock, FailedBlock failedBlock) const;
    void requestWithBaseURLPath(std::string_view path, const ns::Value& params, std::int32_t httpMethod, bool ssl,
                                SuccessBlock successBlock, FailedBlock failedBlock) const;
    void requestWithBaseURLPath(std::string_view path, const ns::Value& params, std::int32_t httpMethod,
                                const ns::Dictionary& headerField, SuccessBlock successBlock,
                                FailedBlock failedBlock) const;
    void requestWithBaseURLPath(std::string_view path, const ns::Value& params, std::int32_t httpMethod, bool ssl,
                                const ns::Dictionary& headerField, SuccessBlock successBlock,
                                FailedBlock failedBlock) const;

private:
    mutable std::mutex mutex_;
    std::optional<std::string> hostName_;
    ns::Dictionary headers_;
};

}  // namespace ql
