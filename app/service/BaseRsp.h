#pragma once
// The base of every reply model: `result` (1 success; for sign-in 2 means signed in without a bound
// mobile number; anything else a refusal) and `msg`, the text shown to the student on a refusal.

#include <cstdint>
#include <memory>
#include <string>

#include "mapping/MMKeyValue.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

class BaseRsp : public ns::Object {
    QL_OBJECT(BaseRsp, ns::Object)
    QL_PROPERTY(std::int64_t, result)
    QL_PROPERTY(std::string, msg)
};

// The reply mapped into its reply class. A reply that is no JSON object (an array, a bare value, nothing)
// gives an empty model, whose `result` 0 reads as a refusal, so callers never hold a null reply.
template <class Rsp>
std::shared_ptr<Rsp> replyModel(const ns::Value& reply) {
    if (reply.isDictionary()) {
        if (auto model = mm_objectWithKeyValues<Rsp>(reply)) return model;
    }
    return std::make_shared<Rsp>();
}

}  // namespace ql
