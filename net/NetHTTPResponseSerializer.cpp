#include "net/NetHTTPResponseSerializer.h"

#include "net/NetStringEncoding.h"
#include "net/NetStrings.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/net/URLError.h"

namespace ql {

namespace {

constexpr std::string_view kStatusCodesKey = "acceptableStatusCodes";
constexpr std::string_view kContentTypesKey = "acceptableContentTypes";

}  // namespace

ns::Error NetResponseSerializationError(std::int64_t code, std::string description,
                                        const std::shared_ptr<ns::URLResponse>& response,
                                        const std::optional<ns::Data>& data) {
    ns::Dictionary userInfo;
    userInfo.set(std::string(ns::LocalizedDescriptionKey), ns::Value(std::move(description)));
    if (response && response->URL()) userInfo.set(std::string(ns::URLErrorFailingURLErrorKey), response->URL()->boxed());
    if (response) userInfo.set(std::string(NetNetworkingOperationFailingURLResponseErrorKey), ns::Value(response));
    if (data) userInfo.set(std::string(NetNetworkingOperationFailingURLResponseDataErrorKey), ns::Value(*data));
    return ns::Error(std::string(NetURLResponseSerializationErrorDomain), code, std::move(userInfo));
}

std::optional<ns::Error> NetErrorAddingUnderlyingError(const std::optional<ns::Error>& error,
                                                       const std::optional<ns::Error>& underlyingError) {
    if (!error) return underlyingError;
    if (!underlyingError || error->userInfo().contains(ns::UnderlyingErrorKey)) return error;
    ns::Dictionary userInfo = error->userInfo();
    userInfo.set(std::string(ns::UnderlyingErrorKey), underlyingError->boxed());
    return ns::Error(error->domain(), error->code(), std::move(userInfo));
}

bool NetErrorChainContainsDecodeFailure(const std::optional<ns::Error>& error) {
    if (!error) return false;
    if (error->domain() == NetURLResponseSerializationErrorDomain && error->code() == NetURLErrorCannotDecodeContentData)
        return true;
    return NetErrorChainContainsDecodeFailure(ns::Error::fromValue(error->userInfo()[ns::UnderlyingErrorKey]));
}

NetHTTPResponseSerializer::NetHTTPResponseSerializer() : stringEncoding_(NetUTF8StringEncoding) {
    StatusCodes codes;
    for (std::int64_t code = 200; code < 300; ++code) codes.insert(code);
    acceptableStatusCodes_ = std::move(codes);
}

std::shared_ptr<NetHTTPResponseSerializer> NetHTTPResponseSerializer::serializer() {
    return std::make_shared<NetHTTPResponseSerializer>();
}

bool NetHTTPResponseSerializer::validateResponse(const std::shared_ptr<ns::URLResponse>& response,
                                                 const std::optional<ns::Data>& data,
                                                 std::optional<ns::Error>* error) const {
    const auto* http = dynamic_cast<const ns::HTTPURLResponse*>(response.get());
    if (!http) return true;

    bool valid = true;
    std::optional<ns::Error> made;
    const std::optional<std::string>& mimeType = http->MIMEType();
    if (acceptableContentTypes_ && !(mimeType && acceptableContentTypes_->contains(*mimeType))) {
        valid = false;
        if (data && !data->empty() && http->URL()) {
            const std::string description = NetFormat(NetLocalizedString("Request failed: unacceptable content-type: %@"),
                                                      {mimeType.value_or("(null)")});
            made = NetResponseSerializationError(NetURLErrorCannotDecodeContentData, description, response, data);
        }
    }
    const std::int64_t status = http->statusCode();
    if (acceptableStatusCodes_ && !acceptableStatusCodes_->contains(status) && http->URL()) {
        valid = false;
        const std::string description =
            NetFormat(NetLocalizedString("Request failed: %@ (%ld)"),
                      {ns::HTTPURLResponse::localizedStringForStatusCode(status), std::to_string(status)});
        made = NetErrorAddingUnderlyingError(
            NetResponseSerializationError(ns::URLErrorBadServerResponse, description, response, data), made);
    }
    if (!valid && error) *error = std::move(made);
    return valid;
}

bool NetHTTPResponseSerializer::validateForParsing(const std::shared_ptr<ns::URLResponse>& response,
                                                   const std::optional<ns::Data>& data,
                                                   std::optional<ns::Error>* error) const {
    if (error) error->reset();
    if (validateResponse(response, data, error)) return true;
    return error && !NetErrorChainContainsDecodeFailure(*error);
}

ns::Value NetHTTPResponseSerializer::responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                                               const std::optional<ns::Data>& data,
                                                               std::optional<ns::Error>* error) const {
    if (error) error->reset();
    validateResponse(response, data, error);
    return data ? ns::Value(*data) : ns::Value();
}

void NetHTTPResponseSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    if (acceptableStatusCodes_) {
        ns::Set codes;
        for (std::int64_t code : *acceptableStatusCodes_) codes.insert(ns::Value(code));
        coder.encodeObject(ns::Value(std::move(codes)), kStatusCodesKey);
    }
    if (acceptableContentTypes_) {
        ns::Set types;
        for (const std::string& type : *acceptableContentTypes_) types.insert(ns::Value(type));
        coder.encodeObject(ns::Value(std::move(types)), kContentTypesKey);
    }
}

bool NetHTTPResponseSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    const ns::Class* setClass = ns::Class::named("NSSet");
    acceptableStatusCodes_.reset();
    if (const ns::Set* codes = coder.decodeObjectOfClasses({setClass, ns::Class::named("NSNumber")}, kStatusCodesKey).asSet()) {
        acceptableStatusCodes_.emplace();
        for (const ns::Value& code : *codes) acceptableStatusCodes_->insert(code.int64Value());
    }
    acceptableContentTypes_.reset();
    if (const ns::Set* types = coder.decodeObjectOfClasses({setClass, ns::Class::named("NSString")}, kContentTypesKey).asSet()) {
        acceptableContentTypes_.emplace();
        for (const ns::Value& type : *types) acceptableContentTypes_->insert(type.stringValue());
    }
    return true;
}

std::shared_ptr<ns::Object> NetHTTPResponseSerializer::copy() const {
    auto made = makeSameClass<NetHTTPResponseSerializer>();
    if (!made) return nullptr;
    made->acceptableStatusCodes_ = acceptableStatusCodes_;
    made->acceptableContentTypes_ = acceptableContentTypes_;
    return made;
}

}  // namespace ql
