#include "analytics/WirePage.h"

#include <utility>

namespace ql {

WirePage::WirePage(std::optional<std::string> page_name, std::int64_t duration) {
    setPage_name(std::move(page_name));
    setDuration(duration);
}

}  // namespace ql
