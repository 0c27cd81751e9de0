#include "net/NetCompoundResponseSerializer.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace ql {

namespace {

constexpr std::string_view kSerializersKey = "responseSerializers";

}  // namespace

std::shared_ptr<NetCompoundResponseSerializer> NetCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
    Serializers serializers) {
    auto compound = std::make_shared<NetCompoundResponseSerializer>();
    compound->setResponseSerializers(std::move(serializers));
    return compound;
}

ns::Value NetCompoundResponseSerializer::responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                                                   const std::optional<ns::Data>& data,
                                                                   std::optional<ns::Error>* error) const {
    for (const auto& member : responseSerializers_) {
        const auto* serializer = dynamic_cast<const NetHTTPResponseSerializer*>(member.get());
        if (!serializer) continue;
        std::optional<ns::Error> memberError;
        ns::Value object = serializer->responseObjectForResponse(response, data, &memberError);
        if (object.isNil()) continue;
        if (error) *error = std::move(memberError);
        return object;
    }
    return NetHTTPResponseSerializer::responseObjectForResponse(response, data, error);
}

void NetCompoundResponseSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    NetHTTPResponseSerializer::encodeWithCoder(coder);
    ns::Array members;
    for (const auto& member : responseSerializers_) {
        if (auto object = std::dynamic_pointer_cast<ns::Object>(member)) members.push_back(ns::Value(std::move(object)));
    }
    coder.encodeObject(ns::Value(std::move(members)), kSerializersKey);
}

bool NetCompoundResponseSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!NetHTTPResponseSerializer::initWithCoder(coder)) return false;
    const ns::Value members = coder.decodeObjectOfClasses(
        {ns::Class::named("NSArray"), &NetHTTPResponseSerializer::classObject(), ns::Class::named("NSSet"),
         ns::Class::named("NSNumber"), ns::Class::named("NSString")},
        kSerializersKey);
    responseSerializers_.clear();
    if (const ns::Array* array = members.asArray()) {
        for (const ns::Value& member : *array) {
            if (auto serializer = member.asObject<NetHTTPResponseSerializer>()) responseSerializers_.push_back(serializer);
        }
    }
    return true;
}

std::shared_ptr<ns::Object> NetCompoundResponseSerializer::copy() const {
    auto made = makeSameClass<NetCompoundResponseSerializer>();
    if (!made) return nullptr;
    made->responseSerializers_ = responseSerializers_;
    return made;
}

}  // namespace ql
