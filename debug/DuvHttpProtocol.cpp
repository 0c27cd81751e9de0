#include "debug/DuvHttpProtocol.h"

#include "debug/DuvExchangeText.h"
#include "debug/DuvHttpDatasource.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/NotificationCenter.h"

namespace ql {

bool DuvHttpProtocol::canInitWithRequest(const ns::URLRequest& request) {
    if (!request.URL()) return false;
    const auto& scheme = request.URL()->scheme();
    if (scheme != "http" && scheme != "https") return false;
    if (!propertyForKey(kDuvHttpProtocolMarker, request).isNil()) return false;
    return DuvExchangeText::passesHostFilter(request.URL()->absoluteString());
}

ns::URLRequest DuvHttpProtocol::canonicalRequestForRequest(const ns::URLRequest& request) {
    ns::URLRequest marked = request;
    setProperty(ns::Value(true), kDuvHttpProtocolMarker, marked);
    return marked;
}

void DuvHttpProtocol::startLoading() {
    auto self = std::dynamic_pointer_cast<DuvHttpProtocol>(shared_from_this());
    std::lock_guard lock(mutex_);
    data_ = ns::Data();
    connection_ = ns::URLConnection::connectionWithRequest(canonicalRequestForRequest(request()), self);
    startTime_ = ns::Date::now().timeIntervalSince1970();
}

void DuvHttpProtocol::stopLoading() {
    std::shared_ptr<ns::URLConnection> connection;
    std::shared_ptr<DuvHttpModel> model;
    {
        std::lock_guard lock(mutex_);
        if (recorded_) return;
        recorded_ = true;
        connection = std::move(connection_);
        model = DuvExchangeText::model(request(), response_, data_, startTime_);
    }
    if (connection) connection->cancel();
    DuvHttpDatasource::shareInstance().addHttpRequset(std::move(model));
    ns::NotificationCenter::defaultCenter().post(kNotifyKeyReloadHttp);
}

void DuvHttpProtocol::connectionDidFailWithError(ns::URLConnection&, const ns::Error& error) {
    {
        std::lock_guard lock(mutex_);
        error_ = error;
    }
    client()->URLProtocolDidFailWithError(*this, error);
}

bool DuvHttpProtocol::connectionShouldUseCredentialStorage(ns::URLConnection&) { return true; }

void DuvHttpProtocol::connectionDidReceiveAuthenticationChallenge(
    ns::URLConnection&, const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge) {
    client()->URLProtocolDidReceiveAuthenticationChallenge(*this, challenge);
}

void DuvHttpProtocol::connectionDidCancelAuthenticationChallenge(
    ns::URLConnection&, const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge) {
    client()->URLProtocolDidCancelAuthenticationChallenge(*this, challenge);
}

void DuvHttpProtocol::connectionDidReceiveResponse(ns::URLConnection&, const std::shared_ptr<ns::URLResponse>& response) {
    {
        std::lock_guard lock(mutex_);
        response_ = response;
    }
    client()->URLProtocolDidReceiveResponse(*this, response, ns::URLCacheStoragePolicy::Allowed);
}

void DuvHttpProtocol::connectionDidReceiveData(ns::URLConnection&, const ns::Data& data) {
    {
        std::lock_guard lock(mutex_);
        data_.append(data);
    }
    client()->URLProtocolDidLoadData(*this, data);
}

std::shared_ptr<ns::CachedURLResponse> DuvHttpProtocol::connectionWillCacheResponse(
    ns::URLConnection&, const std::shared_ptr<ns::CachedURLResponse>& cachedResponse) {
    return cachedResponse;
}

void DuvHttpProtocol::connectionDidFinishLoading(ns::URLConnection&) { client()->URLProtocolDidFinishLoading(*this); }

}  // namespace ql
