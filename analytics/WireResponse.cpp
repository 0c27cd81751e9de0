#include "analytics/WireResponse.h"

#include <utility>

namespace ql {

WireResponse::WireResponse(std::int32_t resp_code, std::optional<std::string> msg,
                           std::shared_ptr<WireImprint> imprint) {
    setResp_code(resp_code);
    setMsg(std::move(msg));
    setImprint(std::move(imprint));
}

}  // namespace ql
