#pragma once
// NetCompoundResponseSerializer: asks several response serializers in turn and hands back the first object
// one of them makes; when none does, it behaves as the plain HTTP serializer with its own settings.

#include <memory>
#include <vector>

#include "net/NetHTTPResponseSerializer.h"

namespace ql {

class NetCompoundResponseSerializer : public NetHTTPResponseSerializer {
    QL_OBJECT(NetCompoundResponseSerializer, NetHTTPResponseSerializer)
public:
    using Serializers = std::vector<std::shared_ptr<NetURLResponseSerialization>>;

    NetCompoundResponseSerializer() = default;
    static std::shared_ptr<NetCompoundResponseSerializer> compoundSerializerWithResponseSerializers(Serializers serializers);

    // Members that are no NetHTTPResponseSerializer are passed over.
    const Serializers& responseSerializers() const { return responseSerializers_; }
    void setResponseSerializers(Serializers serializers) { responseSerializers_ = std::move(serializers); }

    ns::Value responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                        const std::optional<ns::Data>& data,
                                        std::optional<ns::Error>* error) const override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    // A new compound sharing this one's members; status codes and MIME types are the defaults.
    std::shared_ptr<ns::Object> copy() const override;

private:
    Serializers responseSerializers_;
};

}  // namespace ql
