#include "net/NetJSONRequestSerializer.h"

#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace ql {

namespace {

constexpr std::string_view kWritingOptionsKey = "writingOptions";

}  // namespace

std::shared_ptr<NetJSONRequestSerializer> NetJSONRequestSerializer::serializer() {
    return serializerWithWritingOptions(0);
}

std::shared_ptr<NetJSONRequestSerializer> NetJSONRequestSerializer::serializerWithWritingOptions(
    std::uint64_t writingOptions) {
    auto serializer = std::make_shared<NetJSONRequestSerializer>();
    serializer->setWritingOptions(writingOptions);
    return serializer;
}

std::optional<ns::URLRequest> NetJSONRequestSerializer::requestBySerializingRequest(
    const ns::URLRequest& request, const ns::Value& parameters, std::optional<ns::Error>* error) const {
    const auto options = static_cast<unsigned>(writingOptions_);
    return requestWithSerializedBody(request, parameters, "application/json",
                                     [options](const ns::Value& object, ns::Error* writeError) {
                                         return ns::JSONSerialization::dataWithJSONObject(object, options, writeError);
                                     },
                                     error);
}

void NetJSONRequestSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    NetHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInteger(static_cast<std::int64_t>(writingOptions_), kWritingOptionsKey);
}

bool NetJSONRequestSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!NetHTTPRequestSerializer::initWithCoder(coder)) return false;
    writingOptions_ = static_cast<std::uint64_t>(coder.decodeIntegerForKey(kWritingOptionsKey));
    return true;
}

std::shared_ptr<ns::Object> NetJSONRequestSerializer::copy() const {
    auto made = std::dynamic_pointer_cast<NetJSONRequestSerializer>(NetHTTPRequestSerializer::copy());
    if (made) made->writingOptions_ = writingOptions_;
    return made;
}

}  // namespace ql
