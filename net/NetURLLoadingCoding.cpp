#include "net/NetURLLoadingCoding.h"

#include <string>

#include "platform/foundation/Class.h"
#include "platform/foundation/Object.h"

namespace ql {

namespace {

// The classes a property-list value may be made of, for decoding under secure coding.
const std::vector<const ns::Class*>& propertyListClasses() {
    static const auto* classes = new std::vector<const ns::Class*>{
        ns::Class::named("NSDictionary"), ns::Class::named("NSArray"), ns::Class::named("NSString"),
        ns::Class::named("NSNumber"),     ns::Class::named("NSData"),  ns::Class::named("NSDate"),
    };
    return *classes;
}

ns::Dictionary decodeDictionary(ns::KeyedUnarchiver& coder, std::string_view key) {
    const ns::Value value = coder.decodeObjectOfClasses(propertyListClasses(), key);
    const ns::Dictionary* dictionary = value.asDictionary();
    return dictionary ? *dictionary : ns::Dictionary();
}

std::optional<std::string> text(const ns::Dictionary& dictionary, std::string_view key) {
    const ns::Value* value = dictionary.find(key);
    if (!value || !value->isString()) return std::nullopt;
    return std::string(value->asString());
}

std::optional<ns::URL> url(const ns::Dictionary& dictionary, std::string_view key) {
    auto string = text(dictionary, key);
    return string ? ns::URL::fromString(*string) : std::nullopt;
}

void setText(ns::Dictionary& dictionary, std::string key, const std::optional<std::string>& value) {
    if (value) dictionary.set(std::move(key), ns::Value(*value));
}

void setURL(ns::Dictionary& dictionary, std::string key, const std::optional<ns::URL>& value) {
    if (value) dictionary.set(std::move(key), ns::Value(value->absoluteString()));
}

bool isPropertyList(const ns::Value& value) {
    if (value.isArray()) {
        for (const ns::Value& element : *value.asArray()) {
            if (!isPropertyList(element)) return false;
        }
        return true;
    }
    if (value.isDictionary()) {
        for (const auto& [key, element] : *value.asDictionary()) {
            if (!isPropertyList(element)) return false;
        }
        return true;
    }
    return value.isNumber() || value.isString() || value.isData() || value.isDate();
}

ns::Dictionary errorDictionary(const ns::Error& error) {
    ns::Dictionary userInfo;
    for (const auto& [key, value] : error.userInfo()) {
        if (auto nested = ns::Error::fromValue(value)) userInfo.set(key, ns::Value(errorDictionary(*nested)));
        else if (auto address = ns::URL::fromValue(value)) userInfo.set(key, ns::Value(address->absoluteString()));
        else if (isPropertyList(value)) userInfo.set(key, value);
    }
    return {{"domain", ns::Value(error.domain())}, {"code", ns::Value(error.code())}, {"userInfo", ns::Value(userInfo)}};
}

std::optional<ns::Error> errorFromDictionary(const ns::Dictionary& dictionary) {
    auto domain = text(dictionary, "domain");
    if (!domain) return std::nullopt;
    ns::Dictionary userInfo;
    if (const ns::Dictionary* archived = dictionary["userInfo"].asDictionary()) userInfo = *archived;
    if (ns::Value* underlying = userInfo.find(ns::UnderlyingErrorKey); underlying && underlying->isDictionary()) {
        auto error = errorFromDictionary(*underlying->asDictionary());
        *underlying = error ? error->boxed() : ns::Value();
    }
    if (ns::Value* failing = userInfo.find(ns::URLErrorFailingURLErrorKey); failing && failing->isString()) {
        auto address = ns::URL::fromString(failing->asString());
        *failing = address ? address->boxed() : ns::Value();
    }
    return ns::Error(*domain, dictionary["code"].int64Value(), std::move(userInfo));
}

}  // namespace

void NetEncodeRequest(ns::KeyedArchiver& coder, const ns::URLRequest& request, std::string_view key) {
    ns::Dictionary fields;
    setURL(fields, "URL", request.URL());
    setURL(fields, "mainDocumentURL", request.mainDocumentURL());
    fields.set("HTTPMethod", ns::Value(request.HTTPMethod()));
    fields.set("allHTTPHeaderFields", ns::Value(request.allHTTPHeaderFields()));
    if (request.HTTPBody()) fields.set("HTTPBody", ns::Value(*request.HTTPBody()));
    if (request.hasExplicitTimeoutInterval()) fields.set("timeoutInterval", ns::Value(request.timeoutInterval()));
    fields.set("cachePolicy", ns::Value(static_cast<std::uint64_t>(request.cachePolicy())));
    fields.set("networkServiceType", ns::Value(static_cast<std::uint64_t>(request.networkServiceType())));
    fields.set("HTTPShouldHandleCookies", ns::Value(request.HTTPShouldHandleCookies()));
    fields.set("HTTPShouldUsePipelining", ns::Value(request.HTTPShouldUsePipelining()));
    fields.set("allowsCellularAccess", ns::Value(request.allowsCellularAccess()));
    coder.encodeObject(ns::Value(std::move(fields)), key);
}

std::optional<ns::URLRequest> NetDecodeRequest(ns::KeyedUnarchiver& coder, std::string_view key) {
    const ns::Dictionary fields = decodeDictionary(coder, key);
    if (fields.empty()) return std::nullopt;
    ns::URLRequest request(url(fields, "URL"));
    request.setMainDocumentURL(url(fields, "mainDocumentURL"));
    if (auto method = text(fields, "HTTPMethod")) request.setHTTPMethod(*method);
    if (const ns::Dictionary* headers = fields["allHTTPHeaderFields"].asDictionary())
        request.setAllHTTPHeaderFields(*headers);
    if (const ns::Data* body = fields["HTTPBody"].asData()) request.setHTTPBody(*body);
    if (fields.contains("timeoutInterval")) request.setTimeoutInterval(fields["timeoutInterval"].doubleValue());
    request.setCachePolicy(static_cast<ns::URLRequestCachePolicy>(fields["cachePolicy"].uint64Value()));
    request.setNetworkServiceType(
        static_cast<ns::URLRequestNetworkServiceType>(fields["networkServiceType"].uint64Value()));
    request.setHTTPShouldHandleCookies(fields["HTTPShouldHandleCookies"].boolValue());
    request.setHTTPShouldUsePipelining(fields["HTTPShouldUsePipelining"].boolValue());
    request.setAllowsCellularAccess(fields["allowsCellularAccess"].boolValue());
    return request;
}

void NetEncodeResponse(ns::KeyedArchiver& coder, const std::shared_ptr<ns::URLResponse>& response,
                       std::string_view key) {
    if (!response) return;
    ns::Dictionary fields;
    setURL(fields, "URL", response->URL());
    if (auto* http = dynamic_cast<const ns::HTTPURLResponse*>(response.get())) {
        fields.set("statusCode", ns::Value(http->statusCode()));
        setText(fields, "HTTPVersion", http->HTTPVersion());
        ns::Array headers;  // pairs in the reply's order, repeated fields included
        for (const auto& [name, value] : http->headerFields().fields())
            headers.push_back(ns::Value(ns::Array{ns::Value(name), ns::Value(value)}));
        fields.set("headerFields", ns::Value(std::move(headers)));
    } else {
        setText(fields, "MIMEType", response->MIMEType());
        fields.set("expectedContentLength", ns::Value(response->expectedContentLength()));
        setText(fields, "textEncodingName", response->textEncodingName());
    }
    coder.encodeObject(ns::Value(std::move(fields)), key);
}

std::shared_ptr<ns::URLResponse> NetDecodeResponse(ns::KeyedUnarchiver& coder, std::string_view key) {
    const ns::Dictionary fields = decodeDictionary(coder, key);
    if (fields.empty()) return nullptr;
    auto address = url(fields, "URL");
    if (!fields.contains("statusCode")) {
        return std::make_shared<ns::URLResponse>(address, text(fields, "MIMEType"),
                                                 fields["expectedContentLength"].int64Value(),
                                                 text(fields, "textEncodingName"));
    }
    if (!address) return nullptr;
    ns::HTTPHeaderFields headers;
    if (const ns::Array* pairs = fields["headerFields"].asArray()) {
        for (const ns::Value& pair : *pairs) {
            if (pair.count() == 2 && pair[0].isString() && pair[1].isString())
                headers.add(pair[0].asString(), pair[1].asString());
        }
    }
    return std::make_shared<ns::HTTPURLResponse>(*address, fields["statusCode"].int64Value(),
                                                 text(fields, "HTTPVersion"), std::move(headers));
}

void NetEncodeError(ns::KeyedArchiver& coder, const std::optional<ns::Error>& error, std::string_view key) {
    if (error) coder.encodeObject(ns::Value(errorDictionary(*error)), key);
}

std::optional<ns::Error> NetDecodeError(ns::KeyedUnarchiver& coder, std::string_view key) {
    return errorFromDictionary(decodeDictionary(coder, key));
}

void NetEncodeURL(ns::KeyedArchiver& coder, const std::optional<ns::URL>& url, std::string_view key) {
    if (url) coder.encodeObject(ns::Value(url->absoluteString()), key);
}

std::optional<ns::URL> NetDecodeURL(ns::KeyedUnarchiver& coder, std::string_view key) {
    const ns::Value value = coder.decodeObjectOfClass(*ns::Class::named("NSString"), key);
    return value.isString() ? ns::URL::fromString(value.asString()) : std::nullopt;
}

}  // namespace ql
