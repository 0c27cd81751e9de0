#pragma once
// NetJSONResponseSerializer: accepts replies typed "application/json", "text/json" or "text/javascript" and
// parses their body as JSON, decoded in the charset the reply names (else the serializer's encoding),
// optionally dropping the null values of dictionaries.

#include <cstdint>
#include <memory>

#include "net/NetHTTPResponseSerializer.h"

namespace ql {

class NetJSONResponseSerializer : public NetHTTPResponseSerializer {
    QL_OBJECT(NetJSONResponseSerializer, NetHTTPResponseSerializer)
public:
    NetJSONResponseSerializer();
    static std::shared_ptr<NetJSONResponseSerializer> serializer();
    static std::shared_ptr<NetJSONResponseSerializer> serializerWithReadingOptions(std::uint64_t readingOptions);

    // ns::JSONReadingOptions bits; bit 0 makes containers mutable.
    std::uint64_t readingOptions() const { return readingOptions_; }
    void setReadingOptions(std::uint64_t options) { readingOptions_ = options; }
    bool removesKeysWithNullValues() const { return removesKeysWithNullValues_; }
    void setRemovesKeysWithNullValues(bool removes) { removesKeysWithNullValues_ = removes; }

    // Nil for a refused reply whose body is of the wrong type, for a single space and for no body. A body
    // that is not text in its encoding fails with the −1016 decoding error, text that is no JSON with the
    // JSON reader's error (each with the validation error beneath). A refused status still gives the
    // parsed body with its error.
    ns::Value responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                        const std::optional<ns::Data>& data,
                                        std::optional<ns::Error>* error) const override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    // A new serializer with this one's reading options; status codes and MIME types are the defaults.
    std::shared_ptr<ns::Object> copy() const override;

private:
    std::uint64_t readingOptions_ = 0;
    bool removesKeysWithNullValues_ = false;
};

// The object with every dictionary entry whose value is the null object removed, at every depth; nulls in
// arrays stay. New containers are mutable when bit 0 of the reading options is set.
ns::Value NetJSONObjectWithoutNulls(const ns::Value& object, std::uint64_t readingOptions);

}  // namespace ql
