#include "analytics/client/RezOzovaEntryFacts.h"

#include <algorithm>
#include <limits>
#include <string>

#include "analytics/client/RezOzovaApp.h"
#include "analytics/client/RezOzovaConfig.h"
#include "analytics/client/RezOzovaJob.h"
#include "analytics/client/StatClientConstants.h"
#include "analytics/client/StatProtocolData.h"

namespace ql {

namespace {

// Facts that came back empty are not sent: an empty text would tell the service something untrue.
template <class Record, class Setter>
void setWhenKnown(Record& record, Setter setter, std::string text) {
    if (!text.empty()) (record.*setter)(std::move(text));
}

// The stored counts may hold any number; the wire's have 32 bits.
std::int32_t storedCount(std::string_view key) {
    const std::int64_t count = RezOzovaConfig::configureWithKey(key).int64Value();
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(count, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::shared_ptr<WireAppInfo> RezOzovaEntryFacts::appInfo() {
    auto& app = RezOzovaApp::sharedInstance();
    auto info = std::make_shared<WireAppInfo>();
    info->setKey(app.appid());
    setWhenKnown(*info, &WireAppInfo::setVersion, app.appVersionString());
    setWhenKnown(*info, &WireAppInfo::setPackage_name, StatProtocolData::appPackageNameString());
    info->setSdk_type(StatSdkTypeCode);
    info->setSdk_version(std::string(StatSdkVersion));
    info->setChannel(app.channel());
    return info;
}

std::shared_ptr<WireDeviceInfo> RezOzovaEntryFacts::deviceInfo() {
    auto info = std::make_shared<WireDeviceInfo>();
    setWhenKnown(*info, &WireDeviceInfo::setDevice_id, StatProtocolData::deviceIDVendorString());
    if (auto mac = StatProtocolData::deviceMacString()) info->setMac_address(std::move(*mac));
    setWhenKnown(*info, &WireDeviceInfo::setOpen_udid, StatProtocolData::openUDIDString());
    setWhenKnown(*info, &WireDeviceInfo::setModel, StatProtocolData::deviceModelString());
    setWhenKnown(*info, &WireDeviceInfo::setCpu, StatProtocolData::cpuString());
    info->setOs(StatProtocolData::osString());
    setWhenKnown(*info, &WireDeviceInfo::setOs_version, StatProtocolData::osVersionString());
    const auto pixels = StatProtocolData::resolution();
    info->setResolution(std::make_shared<WireResolution>(pixels.height, pixels.width));
    return info;
}

std::shared_ptr<WireClientStats> RezOzovaEntryFacts::clientStats() {
    auto stats = std::make_shared<WireClientStats>();
    stats->setSuccessful_requests(storedCount("statSuccessfulRequests"));
    stats->setFailed_requests(storedCount("statFailedRequests"));
    if (!RezOzovaConfig::configureWithKey("statLastRequestSpentMS").isNil())
        stats->setLast_request_spent_ms(storedCount("statLastRequestSpentMS"));
    return stats;
}

std::shared_ptr<WireMiscInfo> RezOzovaEntryFacts::miscInfo() {
    auto info = std::make_shared<WireMiscInfo>();
    info->setTime_zone(StatProtocolData::timezoneHours());
    setWhenKnown(*info, &WireMiscInfo::setLanguage, StatProtocolData::languageString());
    setWhenKnown(*info, &WireMiscInfo::setCountry, StatProtocolData::countryString());
    setWhenKnown(*info, &WireMiscInfo::setCarrier, StatProtocolData::carrierString());
    // The delay the send policy drew for the send this entry is made for.
    info->setLatency(RezOzovaJob::sharedInstance().latency());
    setWhenKnown(*info, &WireMiscInfo::setDisplay_name, StatProtocolData::appDisplayNameString());
    const std::string access = StatProtocolData::accessString();
    info->setAccess_type(access == "WiFi"          ? StatAccessTypeWiFi
                         : access == "CellNetwork" ? StatAccessTypeCellular
                                                   : StatAccessTypeNone);
    return info;
}

}  // namespace ql
