#include "platform/net/URLSessionConfiguration.h"

namespace ql::ns {

std::shared_ptr<URLSessionConfiguration> URLSessionConfiguration::defaultSessionConfiguration() {
    auto configuration = std::make_shared<URLSessionConfiguration>();
    configuration->cookies_ = HTTPCookieStorage::sharedHTTPCookieStorage();
    configuration->cache_ = URLCache::sharedURLCache();
    return configuration;
}

std::shared_ptr<URLSessionConfiguration> URLSessionConfiguration::ephemeralSessionConfiguration() {
    auto configuration = std::make_shared<URLSessionConfiguration>();
    configuration->cookies_ = std::make_shared<ns::HTTPCookieStorage>();
    configuration->cache_ = std::make_shared<ns::URLCache>(4 * 1024 * 1024, 0, std::nullopt);
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

}  // namespace ql::ns
