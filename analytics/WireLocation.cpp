#include "analytics/WireLocation.h"

#include <utility>

namespace ql {

WireLocation::WireLocation(double lat, double lng, std::int64_t ts) {
    setLat(lat);
    setLng(lng);
    setTs(ts);
}

}  // namespace ql
