#include "net/NetHTTPRequestSerializer.h"

#include <algorithm>
#include <cstdio>

#include "net/NetQueryString.h"
#include "net/NetStringEncoding.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Transliteration.h"
#include "platform/net/URLError.h"
#include "platform/ui/Device.h"
#include "platform/ui/Screen.h"

namespace ql {

namespace {

constexpr std::string_view kHeadersKey = "mutableHTTPRequestHeaders";
constexpr std::string_view kStyleKey = "queryStringSerializationStyle";

std::string printed(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// "zh-Hans;q=1, en;q=0.9, …": the first six preferred languages with falling quality.
std::string acceptLanguageHeader() {
    std::string header;
    const std::vector<std::string> languages = ns::Locale::preferredLanguages();
    for (std::size_t index = 0; index < languages.size(); ++index) {
        const float q = 1.0f - static_cast<float>(index) * 0.1f;
        if (!header.empty()) header += ", ";
        header += languages[index] + ";q=" + printed("%0.1g", q);
        if (q <= 0.5f) break;
    }
    return header;
}

std::string infoText(std::string_view key, std::string_view fallbackKey) {
    const ns::Bundle& bundle = ns::Bundle::main();
    ns::Value value = bundle.objectForInfoDictionaryKey(key);
    if (value.isNil()) value = bundle.objectForInfoDictionaryKey(fallbackKey);
    return value.isNil() ? "(null)" : value.stringValue();
}

bool isASCII(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// "quillory/1.0 (iPhone; iOS 9.0; Scale/2.00)", in ASCII.
std::string userAgentHeader() {
    const ui::Device& device = ui::Device::currentDevice();
    std::string agent = infoText("CFBundleExecutable", "CFBundleIdentifier") + "/" +
                        infoText("CFBundleShortVersionString", "CFBundleVersion") + " (" + device.model() + "; iOS " +
                        device.systemVersion() + "; Scale/" + printed("%0.2f", ui::Screen::mainScreen().scale()) + ")";
    if (!isASCII(agent)) {
        if (auto transliterated = ns::stringByApplyingTransform(agent, "Any-Latin; Latin-ASCII; [:^ASCII:] Remove"))
            agent = std::move(*transliterated);
    }
    return agent;
}

ns::Error badURLError(std::string_view text) {
    const ns::Error plain = ns::urlError(ns::URLErrorBadURL, std::nullopt);
    ns::Dictionary userInfo = plain.userInfo();
    userInfo.set(std::string(ns::URLErrorFailingURLStringErrorKey), ns::Value(text));
    return ns::Error(plain.domain(), plain.code(), std::move(userInfo));
}

}  // namespace

NetHTTPRequestSerializer::NetHTTPRequestSerializer()
    : stringEncoding_(NetUTF8StringEncoding), methodsInURI_{"GET", "HEAD", "DELETE"} {
    headers_.set("Accept-Language", ns::Value(acceptLanguageHeader()));
    headers_.set("User-Agent", ns::Value(userAgentHeader()));
}

std::shared_ptr<NetHTTPRequestSerializer> NetHTTPRequestSerializer::serializer() {
    return std::make_shared<NetHTTPRequestSerializer>();
}

void NetHTTPRequestSerializer::setAllowsCellularAccess(bool allows) {
    setObserved("allowsCellularAccess", allowsCellularAccess_, allows);
}
void NetHTTPRequestSerializer::setCachePolicy(ns::URLRequestCachePolicy policy) {
    setObserved("cachePolicy", cachePolicy_, policy);
}
void NetHTTPRequestSerializer::setHTTPShouldHandleCookies(bool handle) {
    setObserved("HTTPShouldHandleCookies", HTTPShouldHandleCookies_, handle);
}
void NetHTTPRequestSerializer::setHTTPShouldUsePipelining(bool pipelining) {
    setObserved("HTTPShouldUsePipelining", HTTPShouldUsePipelining_, pipelining);
}
void NetHTTPRequestSerializer::setNetworkServiceType(ns::URLRequestNetworkServiceType type) {
    setObserved("networkServiceType", networkServiceType_, type);
}
void NetHTTPRequestSerializer::setTimeoutInterval(double seconds) {
    setObserved("timeoutInterval", timeoutInterval_, seconds);
}

ns::Value NetHTTPRequestSerializer::valueForKey(std::string_view key) const {
    if (key == "allowsCellularAccess") return allowsCellularAccess_;
    if (key == "cachePolicy") return static_cast<std::uint64_t>(cachePolicy_);
    if (key == "HTTPShouldHandleCookies") return HTTPShouldHandleCookies_;
    if (key == "HTTPShouldUsePipelining") return HTTPShouldUsePipelining_;
    if (key == "networkServiceType") return static_cast<std::uint64_t>(networkServiceType_);
    if (key == "timeoutInterval") return timeoutInterval_;
    return ns::Object::valueForKey(key);
}

void NetHTTPRequestSerializer::setValue(std::optional<std::string> value, std::string_view field) {
    if (value) headers_.set(std::string(field), ns::Value(std::move(*value)));
    else headers_.erase(field);
}

std::optional<std::string> NetHTTPRequestSerializer::valueForHTTPHeaderField(std::string_view field) const {
    const ns::Value* value = headers_.find(field);
    if (!value) return std::nullopt;
    return value->stringValue();
}

void NetHTTPRequestSerializer::setAuthorizationHeaderFieldWithUsername(std::string_view username,
                                                                       std::string_view password) {
    const std::string credentials = std::string(username) + ":" + std::string(password);
    setValue("Basic " + ns::base64EncodedString(ns::Data(credentials)), "Authorization");
}

void NetHTTPRequestSerializer::setAuthorizationHeaderFieldWithToken(std::string_view token) {
    setValue("Token token=\"" + std::string(token) + "\"", "Authorization");
}

void NetHTTPRequestSerializer::clearAuthorizationHeader() { headers_.erase("Authorization"); }

void NetHTTPRequestSerializer::setQueryStringSerializationWithStyle(std::uint64_t style) {
    queryStringStyle_ = style;
    queryStringBlock_ = nullptr;
}

void NetHTTPRequestSerializer::setQueryStringSerializationWithBlock(QueryStringSerializationBlock block) {
    queryStringBlock_ = std::move(block);
}

void NetHTTPRequestSerializer::applyChangedProperties(ns::URLRequest& request) const {
    for (std::string_view key : NetObservedRequestKeyPaths) {
        if (!changedKeyPaths_.contains(key)) continue;
        if (key == "allowsCellularAccess") request.setAllowsCellularAccess(allowsCellularAccess_);
        else if (key == "cachePolicy") request.setCachePolicy(cachePolicy_);
        else if (key == "HTTPShouldHandleCookies") request.setHTTPShouldHandleCookies(HTTPShouldHandleCookies_);
        else if (key == "HTTPShouldUsePipelining") request.setHTTPShouldUsePipelining(HTTPShouldUsePipelining_);
        else if (key == "networkServiceType") request.setNetworkServiceType(networkServiceType_);
        else if (key == "timeoutInterval") request.setTimeoutInterval(timeoutInterval_);
    }
}

std::optional<ns::URLRequest> NetHTTPRequestSerializer::requestWithMethod(std::string_view method,
                                                                          std::string_view URLString,
                                                                          const ns::Value& parameters,
                                                                          std::optional<ns::Error>* error) const {
    std::optional<ns::URL> url = ns::URL::fromString(URLString);
    if (!url) {
        if (error) *error = badURLError(URLString);
        return std::nullopt;
    }
    ns::URLRequest request(std::move(url));
    request.setHTTPMethod(std::string(method));
    applyChangedProperties(request);
    return requestBySerializingRequest(request, parameters, error);
}

bool NetHTTPRequestSerializer::encodesParametersInURI(const ns::URLRequest& request) const {
    const std::string& method = request.HTTPMethod();
    // Methods are nearly always written in ASCII capitals already: no case mapping for those.
    const bool upper = std::ranges::all_of(method, [](char c) { return c >= 'A' && c <= 'Z'; });
    return methodsInURI_.contains(upper ? method : ns::uppercaseString(method));
}

ns::URLRequest NetHTTPRequestSerializer::requestWithDefaultHeaders(const ns::URLRequest& request) const {
    ns::URLRequest copy = request;
    for (const auto& [field, value] : headers_) {
        if (!request.headerFields().contains(field)) copy.setValue(value.stringValue(), field);
    }
    return copy;
}

std::optional<ns::URLRequest> NetHTTPRequestSerializer::requestBySerializingRequest(
    const ns::URLRequest& request, const ns::Value& parameters, std::optional<ns::Error>* error) const {
    ns::URLRequest copy = requestWithDefaultHeaders(request);

    std::optional<std::string> query;
    if (!parameters.isNil()) {
        if (queryStringBlock_) {
            std::optional<ns::Error> blockError;
            query = queryStringBlock_(request, parameters, &blockError);
            if (blockError) {
                if (error) *error = std::move(blockError);
                return std::nullopt;
            }
        } else if (queryStringStyle_ == NetHTTPRequestQueryStringDefaultStyle) {
            query = NetQueryStringFromParameters(parameters);
        }
    }

    if (encodesParametersInURI(request)) {
        if (query && copy.URL()) {
            const ns::URL& url = *copy.URL();
            const std::string text = url.absoluteString() + (url.query() ? "&" : "?") + *query;
            std::optional<ns::URL> withQuery = ns::URL::fromString(text);
            // Only a query-string block can produce text that no URL may hold.
            if (!withQuery) {
                if (error) *error = badURLError(text);
                return std::nullopt;
            }
            copy.setURL(std::move(withQuery));
        }
        return copy;
    }

    if (!copy.headerFields().contains("Content-Type")) copy.setValue("application/x-www-form-urlencoded", "Content-Type");
    copy.setHTTPBody(NetEncodeText(query.value_or(""), stringEncoding_));
    return copy;
}

std::optional<ns::URLRequest> NetHTTPRequestSerializer::requestWithSerializedBody(const ns::URLRequest& request,
                                                                                  const ns::Value& parameters,
                                                                                  std::string_view contentType,
                                                                                  const BodyWriter& write,
                                                                                  std::optional<ns::Error>* error) const {
    if (encodesParametersInURI(request)) return NetHTTPRequestSerializer::requestBySerializingRequest(request, parameters, error);

    ns::URLRequest copy = requestWithDefaultHeaders(request);
    if (!parameters.isNil()) {
        if (!copy.valueForHTTPHeaderField("Content-Type")) copy.setValue(std::string(contentType), "Content-Type");
        ns::Error writeError(std::string(ns::CocoaErrorDomain), 0);
        std::optional<ns::Data> body = write(parameters, &writeError);
        if (!body && error) *error = std::move(writeError);
        copy.setHTTPBody(std::move(body));
    }
    return copy;
}

void NetHTTPRequestSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject(ns::Value(headers_), kHeadersKey);
    coder.encodeInteger(static_cast<std::int64_t>(queryStringStyle_), kStyleKey);
}

bool NetHTTPRequestSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    const ns::Value headers = coder.decodeObjectOfClasses(
        {ns::Class::named("NSDictionary"), ns::Class::named("NSString")}, kHeadersKey);
    if (const ns::Dictionary* dictionary = headers.asDictionary()) headers_ = *dictionary;
    queryStringStyle_ = static_cast<std::uint64_t>(coder.decodeIntegerForKey(kStyleKey));
    return true;
}

std::shared_ptr<ns::Object> NetHTTPRequestSerializer::copy() const {
    auto made = std::dynamic_pointer_cast<NetHTTPRequestSerializer>(objectClass().createInstance());
    if (!made) return nullptr;
    made->headers_ = headers_;
    made->queryStringStyle_ = queryStringStyle_;
    made->queryStringBlock_ = queryStringBlock_;
    return made;
}

}  // namespace ql
