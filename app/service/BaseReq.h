#pragma once
// The base of every request model. A request model's properties become the form fields of its service
// operation by name; `uid` is the signed-in student's, taken from the session when the model is made.

#include <cstdint>

#include "platform/foundation/Object.h"

namespace ql {

class BaseReq : public ns::Object {
    QL_OBJECT(BaseReq, ns::Object)
    QL_PROPERTY(std::int64_t, uid)
public:
    // 0 before any sign-in. Taken now, not when the request is sent: a session change in between does not
    // change the request.
    BaseReq();
};

}  // namespace ql
