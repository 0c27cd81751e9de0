#pragma once
// DuvHttpProtocol: once registered by the debug mode, takes every HTTP and HTTPS load that passes the host
// filter, performs it again through a connection of its own (its request marked "DuvHttpProtocol" so that
// it is not taken twice), relays everything to the loading system unchanged and records the exchange in the
// traffic store when the load stops, whatever its outcome.

#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/net/URLConnection.h"
#include "platform/net/URLProtocol.h"

namespace ql {

inline constexpr std::string_view kDuvHttpProtocolMarker = "DuvHttpProtocol";

class DuvHttpProtocol final : public ns::URLProtocol, public ns::URLConnectionDelegate {
public:
    using ns::URLProtocol::URLProtocol;

    static bool canInitWithRequest(const ns::URLRequest& request);
    static ns::URLRequest canonicalRequestForRequest(const ns::URLRequest& request);

    void startLoading() override;
    void stopLoading() override;

    void connectionDidFailWithError(ns::URLConnection& connection, const ns::Error& error) override;
    bool connectionShouldUseCredentialStorage(ns::URLConnection& connection) override;
    void connectionDidReceiveAuthenticationChallenge(
        ns::URLConnection& connection, const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge) override;
    void connectionDidCancelAuthenticationChallenge(
        ns::URLConnection& connection, const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge) override;
    void connectionDidReceiveResponse(ns::URLConnection& connection,
                                      const std::shared_ptr<ns::URLResponse>& response) override;
    void connectionDidReceiveData(ns::URLConnection& connection, const ns::Data& data) override;
    std::shared_ptr<ns::CachedURLResponse> connectionWillCacheResponse(
        ns::URLConnection& connection, const std::shared_ptr<ns::CachedURLResponse>& cachedResponse) override;
    void connectionDidFinishLoading(ns::URLConnection& connection) override;

private:
    std::mutex mutex_;
    std::shared_ptr<ns::URLConnection> connection_;
    std::shared_ptr<ns::URLResponse> response_;
    ns::Data data_;
    std::optional<ns::Error> error_;
    double startTime_ = 0;
    bool recorded_ = false;
};

}  // namespace ql
