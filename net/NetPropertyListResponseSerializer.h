#pragma once
// NetPropertyListResponseSerializer: accepts replies typed "application/x-plist" and reads their body as a
// property list (XML or binary, whichever it is).

#include <cstdint>
#include <memory>

#include "net/NetHTTPResponseSerializer.h"
#include "platform/foundation/PropertyListSerialization.h"

namespace ql {

class NetPropertyListResponseSerializer : public NetHTTPResponseSerializer {
    QL_OBJECT(NetPropertyListResponseSerializer, NetHTTPResponseSerializer)
public:
    NetPropertyListResponseSerializer();
    static std::shared_ptr<NetPropertyListResponseSerializer> serializer();
    static std::shared_ptr<NetPropertyListResponseSerializer> serializerWithFormat(std::uint64_t format,
                                                                                   std::uint64_t readOptions);

    // A ns::PropertyListFormat code, kept for archives; reading detects the format.
    std::uint64_t format() const { return format_; }
    void setFormat(std::uint64_t format) { format_ = format; }
    // ns::PropertyListMutabilityOptions.
    std::uint64_t readOptions() const { return readOptions_; }
    void setReadOptions(std::uint64_t options) { readOptions_ = options; }

    // The property list, or nil and the reader's error (with the validation error beneath).
    ns::Value responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                        const std::optional<ns::Data>& data,
                                        std::optional<ns::Error>* error) const override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    // A new serializer with this one's format and options; status codes and MIME types are the defaults.
    std::shared_ptr<ns::Object> copy() const override;

private:
    std::uint64_t format_ = static_cast<std::uint64_t>(ns::PropertyListFormat::XML);
    std::uint64_t readOptions_ = 0;
};

}  // namespace ql
