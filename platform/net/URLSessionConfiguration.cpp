#include "platform/net/URLSessionConfiguration.h"

#include "platform/foundation/Class.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace ql::ns {

namespace {

// Which storage a configuration uses, as archived.
enum class Storage : std::int64_t { None = 0, Shared = 1, Own = 2 };

template <class T>
Storage storageKind(const std::shared_ptr<T>& storage, const std::shared_ptr<T>& shared) {
    if (!storage) return Storage::None;
    return storage == shared ? Storage::Shared : Storage::Own;
}

constexpr std::int64_t kOwnCacheMemoryCapacity = 4 * 1024 * 1024;

}  // namespace

std::shared_ptr<URLSessionConfiguration> URLSessionConfiguration::defaultSessionConfiguration() {
    auto configuration = std::make_shared<URLSessionConfiguration>();
    configuration->cookies_ = HTTPCookieStorage::sharedHTTPCookieStorage();
    configuration->cache_ = URLCache::sharedURLCache();
    return configuration;
}

std::shared_ptr<URLSessionConfiguration> URLSessionConfiguration::ephemeralSessionConfiguration() {
    auto configuration = std::make_shared<URLSessionConfiguration>();
    configuration->cookies_ = std::make_shared<ns::HTTPCookieStorage>();
    configuration->cache_ = std::make_shared<ns::URLCache>(kOwnCacheMemoryCapacity, 0, std::nullopt);
    return configuration;
}

std::shared_ptr<URLSessionConfiguration> URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(
    std::string identifier) {
    auto configuration = defaultSessionConfiguration();
    configuration->identifier_ = std::move(identifier);
    return configuration;
}

std::shared_ptr<Object> URLSessionConfiguration::copy() const {
    auto configuration = std::make_shared<URLSessionConfiguration>();
    configuration->identifier_ = identifier_;
    configuration->cachePolicy_ = cachePolicy_;
    configuration->requestTimeout_ = requestTimeout_;
    configuration->resourceTimeout_ = resourceTimeout_;
    configuration->cellular_ = cellular_;
    configuration->pipelining_ = pipelining_;
    configuration->setCookies_ = setCookies_;
    configuration->cookiePolicy_ = cookiePolicy_;
    configuration->additionalHeaders_ = additionalHeaders_;
    configuration->maximumConnections_ = maximumConnections_;
    configuration->cookies_ = cookies_;
    configuration->cache_ = cache_;
    return configuration;
}

void URLSessionConfiguration::encodeWithCoder(KeyedArchiver& coder) const {
    if (identifier_) coder.encodeObject(Value(*identifier_), "identifier");
    coder.encodeInteger(static_cast<std::int64_t>(cachePolicy_), "requestCachePolicy");
    coder.encodeDouble(requestTimeout_, "timeoutIntervalForRequest");
    coder.encodeDouble(resourceTimeout_, "timeoutIntervalForResource");
    coder.encodeBool(cellular_, "allowsCellularAccess");
    coder.encodeBool(pipelining_, "HTTPShouldUsePipelining");
    coder.encodeBool(setCookies_, "HTTPShouldSetCookies");
    coder.encodeInteger(static_cast<std::int64_t>(cookiePolicy_), "HTTPCookieAcceptPolicy");
    coder.encodeObject(Value(additionalHeaders_), "HTTPAdditionalHeaders");
    coder.encodeInteger(maximumConnections_, "HTTPMaximumConnectionsPerHost");
    coder.encodeInteger(static_cast<std::int64_t>(storageKind(cookies_, HTTPCookieStorage::sharedHTTPCookieStorage())),
                        "HTTPCookieStorage");
    coder.encodeInteger(static_cast<std::int64_t>(storageKind(cache_, URLCache::sharedURLCache())), "URLCache");
}

bool URLSessionConfiguration::initWithCoder(KeyedUnarchiver& coder) {
    const Value identifier = coder.decodeObjectOfClass(*Class::named("NSString"), "identifier");
    if (identifier.isString()) identifier_ = std::string(identifier.asString());
    cachePolicy_ = static_cast<URLRequestCachePolicy>(coder.decodeIntegerForKey("requestCachePolicy"));
    requestTimeout_ = coder.decodeDoubleForKey("timeoutIntervalForRequest");
    resourceTimeout_ = coder.decodeDoubleForKey("timeoutIntervalForResource");
    cellular_ = coder.decodeBoolForKey("allowsCellularAccess");
    pipelining_ = coder.decodeBoolForKey("HTTPShouldUsePipelining");
    setCookies_ = coder.decodeBoolForKey("HTTPShouldSetCookies");
    cookiePolicy_ = static_cast<ns::HTTPCookieAcceptPolicy>(coder.decodeIntegerForKey("HTTPCookieAcceptPolicy"));
    const Value headers =
        coder.decodeObjectOfClasses({Class::named("NSDictionary"), Class::named("NSString")}, "HTTPAdditionalHeaders");
    if (const Dictionary* fields = headers.asDictionary()) additionalHeaders_ = *fields;
    maximumConnections_ = coder.decodeIntegerForKey("HTTPMaximumConnectionsPerHost");
    switch (static_cast<Storage>(coder.decodeIntegerForKey("HTTPCookieStorage"))) {
        case Storage::Shared: cookies_ = HTTPCookieStorage::sharedHTTPCookieStorage(); break;
        case Storage::Own: cookies_ = std::make_shared<ns::HTTPCookieStorage>(); break;
        default: cookies_ = nullptr; break;
    }
    switch (static_cast<Storage>(coder.decodeIntegerForKey("URLCache"))) {
        case Storage::Shared: cache_ = URLCache::sharedURLCache(); break;
        case Storage::Own: cache_ = std::make_shared<ns::URLCache>(kOwnCacheMemoryCapacity, 0, std::nullopt); break;
        default: cache_ = nullptr; break;
    }
    return true;
}

}  // namespace ql::ns
