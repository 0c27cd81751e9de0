#include "app/service/NetHttpClientRequest.h"

#include <cstdlib>
#include <utility>

#include "app/service/StudentNetWorkApiManager.h"
#include "net/NetHTTPRequestOperationManager.h"
#include "net/NetHTTPSessionManager.h"
#include "net/NetStrings.h"
#include "net/NetURLRequestSerialization.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Device.h"

namespace ql {

namespace {

// Sessions came with system version 7.
bool systemOffersSessions() { return std::atof(ui::Device::currentDevice().systemVersion().c_str()) >= 7.0; }

template <class Manager>
void send(Manager& manager, const std::string& url, const ns::Value& params, std::int32_t httpMethod,
          NetHttpClientRequest::SuccessBlock successBlock, NetHttpClientRequest::FailedBlock failedBlock) {
    auto success = [successBlock = std::move(successBlock)](const auto& request, const ns::Value& reply) {
        if (successBlock) successBlock(request, reply);
    };
    auto failure = [failedBlock = std::move(failedBlock)](const auto& request, const ns::Error& error) {
        if (failedBlock) failedBlock(request, error);
    };
    switch (httpMethod) {
        case NetHttpClientMethodGET: manager.GET(url, params, std::move(success), std::move(failure)); return;
        case NetHttpClientMethodPOST: manager.POST(url, params, std::move(success), std::move(failure)); return;
        case NetHttpClientMethodDELETE: manager.DELETE(url, params, std::move(success), std::move(failure)); return;
        default: return;  // any other code sends nothing
    }
}

// The service base URL names scheme and host ("http://127.0.0.1:8080/"), while request URLs are built as
// a scheme, "://", the host name and the path: the host name is what stands between scheme and path.
std::string hostNameOf(std::string_view url) {
    if (const std::size_t scheme = url.find("://"); scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
    while (url.ends_with('/')) url.remove_suffix(1);
    return std::string(url);
}

}  // namespace

NetHttpClientRequest::NetHttpClientRequest(std::optional<std::string> hostName) : hostName_(std::move(hostName)) {}

NetHttpClientRequest& NetHttpClientRequest::shareRequest() {
    static NetHttpClientRequest* shared =
        new NetHttpClientRequest(hostNameOf(StudentNetWorkApiManager::serviceBaseURL()));
    return *shared;
}

std::optional<std::string> NetHttpClientRequest::hostName() const { return ns::lockedCopy(mutex_, hostName_); }

void NetHttpClientRequest::setHostName(std::optional<std::string> hostName) {
    ns::lockedStore(mutex_, hostName_, std::move(hostName));
}

std::optional<std::string> NetHttpClientRequest::urlWithPath(std::string_view path, bool ssl) const {
    const auto host = hostName();
    if (!host) {
        ns::Log::write(HostNameMissingLogLine);
        return std::nullopt;
    }
    std::string url = (ssl ? "https://" : "http://") + *host;
    if (!path.empty() && path != "/") {
        if (!path.starts_with('/')) url += '/';
        url += path;
    }
    ns::Log::write(NetFormat(RequestURLLogFormat, {url}));
    return url;
}

void NetHttpClientRequest::addHeaders(const ns::Dictionary& headers) {
    std::lock_guard lock(mutex_);
    for (const auto& [field, value] : headers) headers_.set(field, value);
}

void NetHttpClientRequest::requestWithBaseURLStr(std::string_view URLString, const ns::Value& params,
                                                 std::int32_t httpMethod, const ns::Dictionary& headerField,
                                                 SuccessBlock successBlock, FailedBlock failedBlock) const {
    ns::Dictionary headers;
    {
        std::lock_guard lock(mutex_);
        headers = headers_;
    }
    for (const auto& [field, value] : headerField) headers.set(field, value);
    auto apply = [&](NetHTTPRequestSerializer& serializer) {
        for (const auto& [field, value] : headers) serializer.setValue(value.stringValue(), field);
    };
    const std::string url(URLString);
    if (systemOffersSessions()) {
        auto manager = NetHTTPSessionManager::manager();
        apply(*manager->requestSerializer());
        send(*manager, url, params, httpMethod, std::move(successBlock), std::move(failedBlock));
    } else {
        auto manager = NetHTTPRequestOperationManager::manager();
        apply(*manager->requestSerializer());
        send(*manager, url, params, httpMethod, std::move(successBlock), std::move(failedBlock));
    }
}

void NetHttpClientRequest::requestWithBaseURLStr(std::string_view URLString, const ns::Value& params,
                                                 std::int32_t httpMethod, SuccessBlock successBlock,
                                                 FailedBlock failedBlock) const {
    requestWithBaseURLStr(URLString, params, httpMethod, {}, std::move(successBlock), std::move(failedBlock));
}

void NetHttpClientRequest::requestWithBaseURLPath(std::string_view path, const ns::Value& params,
                                                  std::int32_t httpMethod, SuccessBlock successBlock,
                                                  FailedBlock failedBlock) const {
    requestWithBaseURLPath(path, params, httpMethod, false, {}, std::move(successBlock), std::move(failedBlock));
}

void NetHttpClientRequest::requestWithBaseURLPath(std::string_view path, const ns::Value& params,
                                                  std::int32_t httpMethod, bool ssl, SuccessBlock successBlock,
                                                  FailedBlock failedBlock) const {
    requestWithBaseURLPath(path, params, httpMethod, ssl, {}, std::move(successBlock), std::move(failedBlock));
}

void NetHttpClientRequest::requestWithBaseURLPath(std::string_view path, const ns::Value& params,
                                                  std::int32_t httpMethod, const ns::Dictionary& headerField,
                                                  SuccessBlock successBlock, FailedBlock failedBlock) const {
    requestWithBaseURLPath(path, params, httpMethod, false, headerField, std::move(successBlock),
                           std::move(failedBlock));
}

void NetHttpClientRequest::requestWithBaseURLPath(std::string_view path, const ns::Value& params,
                                                  std::int32_t httpMethod, bool ssl, const ns::Dictionary& headerField,
                                                  SuccessBlock successBlock, FailedBlock failedBlock) const {
    // Without a host name the empty URL text fails in the request serializer, through the failed block.
    requestWithBaseURLStr(urlWithPath(path, ssl).value_or(""), params, httpMethod, headerField,
                          std::move(successBlock), std::move(failedBlock));
}

}  // namespace ql
