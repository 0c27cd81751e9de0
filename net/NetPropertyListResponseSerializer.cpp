#include "net/NetPropertyListResponseSerializer.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace ql {

namespace {

constexpr std::string_view kFormatKey = "format";
constexpr std::string_view kReadOptionsKey = "readOptions";

}  // namespace

NetPropertyListResponseSerializer::NetPropertyListResponseSerializer() {
    setAcceptableContentTypes(ContentTypes{"application/x-plist"});
}

std::shared_ptr<NetPropertyListResponseSerializer> NetPropertyListResponseSerializer::serializer() {
    return serializerWithFormat(static_cast<std::uint64_t>(ns::PropertyListFormat::XML), 0);
}

std::shared_ptr<NetPropertyListResponseSerializer> NetPropertyListResponseSerializer::serializerWithFormat(
    std::uint64_t format, std::uint64_t readOptions) {
    auto serializer = std::make_shared<NetPropertyListResponseSerializer>();
    serializer->setFormat(format);
    serializer->setReadOptions(readOptions);
    return serializer;
}

ns::Value NetPropertyListResponseSerializer::responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                                                       const std::optional<ns::Data>& data,
                                                                       std::optional<ns::Error>* error) const {
    if (!validateForParsing(response, data, error)) return ns::Value();
    if (!data) return ns::Value();
    ns::Error readError(std::string(ns::CocoaErrorDomain), ns::PropertyListReadCorruptError);
    ns::Value object = ns::PropertyListSerialization::propertyListWithData(*data, static_cast<unsigned>(readOptions_),
                                                                          nullptr, &readError);
    std::optional<ns::Error> failure;
    if (object.isNil()) failure = std::move(readError);
    if (error) *error = NetErrorAddingUnderlyingError(failure, *error);
    return object;
}

void NetPropertyListResponseSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    NetHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(ns::Value(format_), kFormatKey);
    coder.encodeObject(ns::Value(readOptions_), kReadOptionsKey);
}

bool NetPropertyListResponseSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!NetHTTPResponseSerializer::initWithCoder(coder)) return false;
    const ns::Class& number = *ns::Class::named("NSNumber");
    format_ = coder.decodeObjectOfClass(number, kFormatKey).uint64Value();
    readOptions_ = coder.decodeObjectOfClass(number, kReadOptionsKey).uint64Value();
    return true;
}

std::shared_ptr<ns::Object> NetPropertyListResponseSerializer::copy() const {
    auto made = makeSameClass<NetPropertyListResponseSerializer>();
    if (!made) return nullptr;
    made->format_ = format_;
    made->readOptions_ = readOptions_;
    return made;
}

}  // namespace ql
