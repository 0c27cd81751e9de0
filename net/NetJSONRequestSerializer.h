#pragma once
// NetJSONRequestSerializer: sends the parameters of body methods as a JSON document ("application/json");
// GET, HEAD and DELETE keep their parameters in the query, as with the base serializer.

#include <cstdint>
#include <memory>

#include "net/NetHTTPRequestSerializer.h"

namespace ql {

class NetJSONRequestSerializer : public NetHTTPRequestSerializer {
    QL_OBJECT(NetJSONRequestSerializer, NetHTTPRequestSerializer)
public:
    NetJSONRequestSerializer() = default;
    static std::shared_ptr<NetJSONRequestSerializer> serializer();
    static std::shared_ptr<NetJSONRequestSerializer> serializerWithWritingOptions(std::uint64_t writingOptions);

    // ns::JSONWritingOptions bits; 0 writes compact text.
    std::uint64_t writingOptions() const { return writingOptions_; }
    void setWritingOptions(std::uint64_t options) { writingOptions_ = options; }

    // Without parameters a body method gets neither body nor "Content-Type". Parameters with no JSON form
    // report the writer's error; the request then comes back without a body and must not be sent.
    std::optional<ns::URLRequest> requestBySerializingRequest(const ns::URLRequest& request,
                                                              const ns::Value& parameters,
                                                              std::optional<ns::Error>* error) const override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    std::shared_ptr<ns::Object> copy() const override;

private:
    std::uint64_t writingOptions_ = 0;
};

}  // namespace ql
