#pragma once
// NetHTTPRequestSerializer: builds the HTTP requests that managers send. It keeps default header fields
// ("Accept-Language" and "User-Agent" from the start), request properties that it copies into every
// request once they have been set, and the rule that puts parameters into the URL's query (GET, HEAD,
// DELETE) or into a URL-form body (every other method). It also starts multipart requests.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "net/NetURLRequestSerialization.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLRequest.h"

namespace ql {

class NetMultipartFormData;

enum NetHTTPRequestQueryStringSerializationStyle : std::uint64_t {
    NetHTTPRequestQueryStringDefaultStyle = 0,
};

// The request properties a serializer copies into its requests once they have been set, in that order.
inline constexpr std::array<std::string_view, 6> NetObservedRequestKeyPaths{
    "allowsCellularAccess",    "cachePolicy",        "HTTPShouldHandleCookies",
    "HTTPShouldUsePipelining", "networkServiceType", "timeoutInterval",
};

class NetHTTPRequestSerializer : public ns::Object, public NetURLRequestSerialization, public ns::Coding {
    QL_OBJECT(NetHTTPRequestSerializer, ns::Object)
public:
    // Makes the query text of the parameters in place of the default style; reports a failure through
    // the error out-parameter.
    using QueryStringSerializationBlock = std::function<std::optional<std::string>(
        const ns::URLRequest& request, const ns::Value& parameters, std::optional<ns::Error>* error)>;
    // Appends the parts of a multipart body.
    using ConstructingBodyBlock = std::function<void(NetMultipartFormData& formData)>;
    using WriteCompletionHandler = std::function<void(const std::optional<ns::Error>& error)>;

    // Reads the preferred languages, the main bundle, the device and the screen for the default headers.
    NetHTTPRequestSerializer();
    static std::shared_ptr<NetHTTPRequestSerializer> serializer();

    std::uint64_t stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(std::uint64_t encoding) { stringEncoding_ = encoding; }

    bool allowsCellularAccess() const { return allowsCellularAccess_; }
    void setAllowsCellularAccess(bool allows);
    ns::URLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(ns::URLRequestCachePolicy policy);
    bool HTTPShouldHandleCookies() const { return HTTPShouldHandleCookies_; }
    void setHTTPShouldHandleCookies(bool handle);
    bool HTTPShouldUsePipelining() const { return HTTPShouldUsePipelining_; }
    void setHTTPShouldUsePipelining(bool pipelining);
    ns::URLRequestNetworkServiceType networkServiceType() const { return networkServiceType_; }
    void setNetworkServiceType(ns::URLRequestNetworkServiceType type);
    double timeoutInterval() const { return timeoutInterval_; }
    void setTimeoutInterval(double seconds);
    // Which of the request properties have been set; a property stays marked once set.
    const std::set<std::string, std::less<>>& mutableObservedChangedKeyPaths() const { return changedKeyPaths_; }

    const std::set<std::string, std::less<>>& HTTPMethodsEncodingParametersInURI() const { return methodsInURI_; }
    void setHTTPMethodsEncodingParametersInURI(std::set<std::string, std::less<>> methods) {
        methodsInURI_ = std::move(methods);
    }

    // The default header fields, as they are now. Names are matched exactly.
    ns::Dictionary HTTPRequestHeaders() const { return headers_; }
    // No value removes the field.
    void setValue(std::optional<std::string> value, std::string_view field);
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
    void setAuthorizationHeaderFieldWithUsername(std::string_view username, std::string_view password);
    void setAuthorizationHeaderFieldWithToken(std::string_view token);
    void clearAuthorizationHeader();

    std::uint64_t queryStringSerializationStyle() const { return queryStringStyle_; }
    // Removes any query-string block.
    void setQueryStringSerializationWithStyle(std::uint64_t style);
    // The style stays, unused while a block is set.
    void setQueryStringSerializationWithBlock(QueryStringSerializationBlock block);

    // A request for the method and URL with the parameters encoded. A URL text that cannot be parsed
    // gives nothing and the platform's "bad URL" error (NSURLErrorDomain −1000).
    std::optional<ns::URLRequest> requestWithMethod(std::string_view method, std::string_view URLString,
                                                    const ns::Value& parameters,
                                                    std::optional<ns::Error>* error = nullptr) const;

    // A multipart/form-data request whose body stream is made of the parameters (one form part per
    // flattened pair) and of the parts `block` appends.
    std::optional<ns::URLRequest> multipartFormRequestWithMethod(std::string_view method, std::string_view URLString,
                                                                 const ns::Value& parameters,
                                                                 const ConstructingBodyBlock& block,
                                                                 std::optional<ns::Error>* error = nullptr) const;
    // Returns the request without its body stream at once, and copies the stream into the file on a
    // background queue; `handler` (when given) learns on the main queue whether that worked.
    ns::URLRequest requestWithMultipartFormRequest(const ns::URLRequest& request, const ns::URL& fileURL,
                                                   WriteCompletionHandler handler) const;

    std::optional<ns::URLRequest> requestBySerializingRequest(const ns::URLRequest& request,
                                                              const ns::Value& parameters,
                                                              std::optional<ns::Error>* error) const override;

    // Only the default header fields and the query-string style are archived and copied.
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }
    std::shared_ptr<ns::Object> copy() const override;

    // The request properties are observable under their names.
    ns::Value valueForKey(std::string_view key) const override;

protected:
    // Whether the request's method (in any case) sends its parameters in the URL.
    bool encodesParametersInURI(const ns::URLRequest& request) const;
    // A copy of the request with every default header field it does not have yet.
    ns::URLRequest requestWithDefaultHeaders(const ns::URLRequest& request) const;
    // The body methods of the JSON and property-list serializers: with parameters, the body is what
    // `write` makes of them and "Content-Type" becomes `contentType` unless the request has one. A write
    // that fails leaves the request without a body and reports why.
    using BodyWriter = std::function<std::optional<ns::Data>(const ns::Value& parameters, ns::Error* error)>;
    std::optional<ns::URLRequest> requestWithSerializedBody(const ns::URLRequest& request, const ns::Value& parameters,
                                                            std::string_view contentType, const BodyWriter& write,
                                                            std::optional<ns::Error>* error) const;

private:
    template <class T>
    void setObserved(std::string_view key, T& field, T value) {
        willChangeValueForKey(key);
        field = value;
        changedKeyPaths_.emplace(key);
        didChangeValueForKey(key);
    }
    void applyChangedProperties(ns::URLRequest& request) const;

    std::uint64_t stringEncoding_;
    bool allowsCellularAccess_ = false;
    ns::URLRequestCachePolicy cachePolicy_ = ns::URLRequestCachePolicy::UseProtocolCachePolicy;
    bool HTTPShouldHandleCookies_ = false;
    bool HTTPShouldUsePipelining_ = false;
    ns::URLRequestNetworkServiceType networkServiceType_ = ns::URLRequestNetworkServiceType::Default;
    double timeoutInterval_ = 0;
    std::set<std::string, std::less<>> changedKeyPaths_;
    std::set<std::string, std::less<>> methodsInURI_;
    ns::Dictionary headers_;
    std::uint64_t queryStringStyle_ = NetHTTPRequestQueryStringDefaultStyle;
    QueryStringSerializationBlock queryStringBlock_;
};

}  // namespace ql
