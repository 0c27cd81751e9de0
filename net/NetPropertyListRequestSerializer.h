#pragma once
// NetPropertyListRequestSerializer: sends the parameters of body methods as a property list
// ("application/x-plist", XML unless another format is chosen); GET, HEAD and DELETE keep their
// parameters in the query, as with the base serializer.

#include <cstdint>
#include <memory>

#include "net/NetHTTPRequestSerializer.h"
#include "platform/foundation/PropertyListSerialization.h"

namespace ql {

class NetPropertyListRequestSerializer : public NetHTTPRequestSerializer {
    QL_OBJECT(NetPropertyListRequestSerializer, NetHTTPRequestSerializer)
public:
    NetPropertyListRequestSerializer() = default;
    static std::shared_ptr<NetPropertyListRequestSerializer> serializer();
    static std::shared_ptr<NetPropertyListRequestSerializer> serializerWithFormat(std::uint64_t format,
                                                                                  std::uint64_t writeOptions);

    // A ns::PropertyListFormat code: 100 XML, 200 binary.
    std::uint64_t format() const { return format_; }
    void setFormat(std::uint64_t format) { format_ = format; }
    // Kept for archives and copies; the writers here take no options.
    std::uint64_t writeOptions() const { return writeOptions_; }
    void setWriteOptions(std::uint64_t options) { writeOptions_ = options; }

    // As the JSON serializer, with a property list as the body.
    std::optional<ns::URLRequest> requestBySerializingRequest(const ns::URLRequest& request,
                                                              const ns::Value& parameters,
                                                              std::optional<ns::Error>* error) const override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    std::shared_ptr<ns::Object> copy() const override;

private:
    std::uint64_t format_ = static_cast<std::uint64_t>(ns::PropertyListFormat::XML);
    std::uint64_t writeOptions_ = 0;
};

}  // namespace ql
