#include "net/NetPropertyListRequestSerializer.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace ql {

namespace {

constexpr std::string_view kFormatKey = "format";
constexpr std::string_view kWriteOptionsKey = "writeOptions";

}  // namespace

std::shared_ptr<NetPropertyListRequestSerializer> NetPropertyListRequestSerializer::serializer() {
    return serializerWithFormat(static_cast<std::uint64_t>(ns::PropertyListFormat::XML), 0);
}

std::shared_ptr<NetPropertyListRequestSerializer> NetPropertyListRequestSerializer::serializerWithFormat(
    std::uint64_t format, std::uint64_t writeOptions) {
    auto serializer = std::make_shared<NetPropertyListRequestSerializer>();
    serializer->setFormat(format);
    serializer->setWriteOptions(writeOptions);
    return serializer;
}

std::optional<ns::URLRequest> NetPropertyListRequestSerializer::requestBySerializingRequest(
    const ns::URLRequest& request, const ns::Value& parameters, std::optional<ns::Error>* error) const {
    const auto format = static_cast<ns::PropertyListFormat>(format_);
    return requestWithSerializedBody(request, parameters, "application/x-plist",
                                     [format](const ns::Value& object, ns::Error* writeError) {
                                         return ns::PropertyListSerialization::dataWithPropertyList(object, format,
                                                                                                   writeError);
                                     },
                                     error);
}

void NetPropertyListRequestSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    NetHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInteger(static_cast<std::int64_t>(format_), kFormatKey);
    coder.encodeObject(ns::Value(writeOptions_), kWriteOptionsKey);
}

bool NetPropertyListRequestSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!NetHTTPRequestSerializer::initWithCoder(coder)) return false;
    format_ = static_cast<std::uint64_t>(coder.decodeIntegerForKey(kFormatKey));
    writeOptions_ = coder.decodeObjectOfClass(*ns::Class::named("NSNumber"), kWriteOptionsKey).uint64Value();
    return true;
}

std::shared_ptr<ns::Object> NetPropertyListRequestSerializer::copy() const {
    auto made = std::dynamic_pointer_cast<NetPropertyListRequestSerializer>(NetHTTPRequestSerializer::copy());
    if (made) {
        made->format_ = format_;
        made->writeOptions_ = writeOptions_;
    }
    return made;
}

}  // namespace ql
