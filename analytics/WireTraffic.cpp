#include "analytics/WireTraffic.h"

#include <utility>

namespace ql {

WireTraffic::WireTraffic(std::int32_t upload_traffic, std::int32_t download_traffic) {
    setUpload_traffic(upload_traffic);
    setDownload_traffic(download_traffic);
}

}  // namespace ql
