#pragma once
// The device. Ids 10 and 11 are not used.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireResolution.h"
#include "analytics/WireRecord.h"

namespace ql {

class WireDeviceInfo final : public WireRecord<WireDeviceInfo> {
    QL_OBJECT(WireDeviceInfo, ns::Object)
    QL_WIRE_FIELD(1, WireString, device_id, Device_id, Optional)
    QL_WIRE_FIELD(2, WireString, idmd5, Idmd5, Optional)
    QL_WIRE_FIELD(3, WireString, mac_address, Mac_address, Optional)
    QL_WIRE_FIELD(4, WireString, open_udid, Open_udid, Optional)
    QL_WIRE_FIELD(5, WireString, model, Model, Optional)
    QL_WIRE_FIELD(6, WireString, cpu, Cpu, Optional)
    QL_WIRE_FIELD(7, WireString, os, Os, Optional)
    QL_WIRE_FIELD(8, WireString, os_version, Os_version, Optional)
    QL_WIRE_FIELD(9, WireStruct<WireResolution>, resolution, Resolution, Optional)
    QL_WIRE_FIELD(12, WireString, device_board, Device_board, Optional)
    QL_WIRE_FIELD(13, WireString, device_brand, Device_brand, Optional)
    QL_WIRE_FIELD(14, WireI64, device_manutime, Device_manutime, Optional)
    QL_WIRE_FIELD(15, WireString, device_manufacturer, Device_manufacturer, Optional)
    QL_WIRE_FIELD(16, WireString, device_manuid, Device_manuid, Optional)
    QL_WIRE_FIELD(17, WireString, device_name, Device_name, Optional)
public:
    static constexpr std::string_view structName = "DeviceInfo";

    WireDeviceInfo() = default;
    // Sets every field, also those given as none.
    WireDeviceInfo(std::optional<std::string> device_id, std::optional<std::string> idmd5,
                   std::optional<std::string> mac_address, std::optional<std::string> open_udid,
                   std::optional<std::string> model, std::optional<std::string> cpu, std::optional<std::string> os,
                   std::optional<std::string> os_version, std::shared_ptr<WireResolution> resolution,
                   std::optional<std::string> device_board, std::optional<std::string> device_brand,
                   std::int64_t device_manutime, std::optional<std::string> device_manufacturer,
                   std::optional<std::string> device_manuid, std::optional<std::string> device_name);
};

}  // namespace ql
