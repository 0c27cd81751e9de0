#include "analytics/WireMiscInfo.h"

#include <utility>

namespace ql {

WireMiscInfo::WireMiscInfo(std::int32_t time_zone, std::optional<std::string> language,
                           std::optional<std::string> country, double latitude, double longitude,
                           std::optional<std::string> carrier, std::int32_t latency,
                           std::optional<std::string> display_name, std::int32_t access_type,
                           std::optional<std::string> access_subtype) {
    setTime_zone(time_zone);
    setLanguage(std::move(language));
    setCountry(std::move(country));
    setLatitude(latitude);
    setLongitude(longitude);
    setCarrier(std::move(carrier));
    setLatency(latency);
    setDisplay_name(std::move(display_name));
    setAccess_type(access_type);
    setAccess_subtype(std::move(access_subtype));
}

}  // namespace ql
