#pragma once
// DuvHttpModel: one observed HTTP exchange, every field but the URL already display text, so the inspector
// screens show it without formatting.

#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"

namespace ql {

class DuvHttpModel : public ns::Object {
    QL_OBJECT(DuvHttpModel, ns::Object)
public:
    std::optional<std::string> requestId;
    std::optional<ns::URL> url;
    std::optional<std::string> method;
    std::optional<std::string> requestBody;
    std::optional<std::string> statusCode;
    std::optional<std::string> responseBody;
    // Spelled as the inspector has always spelled it.
    std::optional<std::string> mineType;
    std::optional<std::string> startTime;
    std::optional<std::string> totalDuration;
};

}  // namespace ql
