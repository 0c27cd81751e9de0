#pragma once
// ns::URLProtocol: a way to load requests that the loading system asks before it loads one itself.
// Registered protocol classes are asked, the most recently registered first, whether they take a request;
// the first that does gets an instance made for the request's canonical form, which loads it and reports
// through its client. Protocol instances are started and stopped on the loading system's protocol
// thread, whose run loop runs for the life of the process, so a protocol may run connections of its own
// there. stopLoading comes once, after the load finished, failed or was cancelled.
//
// Per-request properties (propertyForKey) travel inside the request and with its copies.

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <typeindex>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLAuthenticationChallenge.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql::ns {

class URLProtocol;

// What a protocol reports about its load, from any thread.
class URLProtocolClient {
public:
    virtual ~URLProtocolClient() = default;
    virtual void URLProtocolWasRedirectedToRequest(URLProtocol& protocol, const URLRequest& request,
                                                   const std::shared_ptr<URLResponse>& redirectResponse) = 0;
    virtual void URLProtocolCachedResponseIsValid(URLProtocol& protocol,
                                                  const std::shared_ptr<CachedURLResponse>& cachedResponse) = 0;
    virtual void URLProtocolDidReceiveResponse(URLProtocol& protocol, const std::shared_ptr<URLResponse>& response,
                                               URLCacheStoragePolicy policy) = 0;
    virtual void URLProtocolDidLoadData(URLProtocol& protocol, const Data& data) = 0;
    virtual void URLProtocolDidFinishLoading(URLProtocol& protocol) = 0;
    virtual void URLProtocolDidFailWithError(URLProtocol& protocol, const Error& error) = 0;
    virtual void URLProtocolDidReceiveAuthenticationChallenge(
        URLProtocol& protocol, const std::shared_ptr<URLAuthenticationChallenge>& challenge) = 0;
    virtual void URLProtocolDidCancelAuthenticationChallenge(
        URLProtocol& protocol, const std::shared_ptr<URLAuthenticationChallenge>& challenge) = 0;
};

class URLProtocol : public Object {
    QL_OBJECT_NAMED(URLProtocol, Object, "NSURLProtocol")
public:
    URLProtocol(URLRequest request, std::shared_ptr<CachedURLResponse> cachedResponse,
                std::shared_ptr<URLProtocolClient> client);

    const URLRequest& request() const { return request_; }
    const std::shared_ptr<CachedURLResponse>& cachedResponse() const { return cachedResponse_; }
    const std::shared_ptr<URLProtocolClient>& client() const { return client_; }

    virtual void startLoading() = 0;
    virtual void stopLoading() = 0;

    // A protocol class T offers `static bool canInitWithRequest(const URLRequest&)`,
    // `static URLRequest canonicalRequestForRequest(const URLRequest&)` and a constructor taking the three
    // arguments of URLProtocol's. Registering a class again changes nothing; answers whether it was added.
    template <class T>
    static bool registerClass() {
        return add({typeid(T), &T::canInitWithRequest, &T::canonicalRequestForRequest,
                    [](URLRequest request, std::shared_ptr<CachedURLResponse> cached,
                       std::shared_ptr<URLProtocolClient> client) -> std::shared_ptr<URLProtocol> {
                        return std::make_shared<T>(std::move(request), std::move(cached), std::move(client));
                    }});
    }
    template <class T>
    static void unregisterClass() {
        remove(typeid(T));
    }

    static Value propertyForKey(std::string_view key, const URLRequest& request);
    static void setProperty(Value value, std::string_view key, URLRequest& request);
    static void removePropertyForKey(std::string_view key, URLRequest& request);

    // A registered protocol class, for the loading system.
    struct Registration {
        std::type_index type;
        std::function<bool(const URLRequest&)> canInitWithRequest;
        std::function<URLRequest(const URLRequest&)> canonicalRequestForRequest;
        std::function<std::shared_ptr<URLProtocol>(URLRequest, std::shared_ptr<CachedURLResponse>,
                                                   std::shared_ptr<URLProtocolClient>)>
            make;
    };
    // The class that takes the request, if any.
    static std::optional<Registration> registrationForRequest(const URLRequest& request);
    // Runs the block on the protocol thread.
    static void performOnProtocolThread(std::function<void()> block);

private:
    static bool add(Registration registration);
    static void remove(std::type_index type);

    const URLRequest request_;
    const std::shared_ptr<CachedURLResponse> cachedResponse_;
    const std::shared_ptr<URLProtocolClient> client_;
};

}  // namespace ql::ns
