#pragma once
// The reporting application.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analytics/WireRecord.h"

namespace ql {

class WireAppInfo final : public WireRecord<WireAppInfo> {
    QL_OBJECT(WireAppInfo, ns::Object)
    QL_WIRE_FIELD(1, WireString, key, Key, Required)
    QL_WIRE_FIELD(2, WireString, version, Version, Optional)
    QL_WIRE_FIELD(3, WireI32, version_index, Version_index, Optional)
    QL_WIRE_FIELD(4, WireString, package_name, Package_name, Optional)
    QL_WIRE_FIELD(5, WireEnum, sdk_type, Sdk_type, Required)
    QL_WIRE_FIELD(6, WireString, sdk_version, Sdk_version, Required)
    QL_WIRE_FIELD(7, WireString, channel, Channel, Required)
    QL_WIRE_FIELD(8, WireString, wrapper_type, Wrapper_type, Optional)
    QL_WIRE_FIELD(9, WireString, wrapper_version, Wrapper_version, Optional)
    QL_WIRE_FIELD(10, WireI32, vertical_type, Vertical_type, Optional)
public:
    static constexpr std::string_view structName = "AppInfo";

    WireAppInfo() = default;
    // Sets every field, also those given as none.
    WireAppInfo(std::optional<std::string> key, std::optional<std::string> version, std::int32_t version_index,
                std::optional<std::string> package_name, std::int32_t sdk_type, std::optional<std::string> sdk_version,
                std::optional<std::string> channel, std::optional<std::string> wrapper_type,
                std::optional<std::string> wrapper_version, std::int32_t vertical_type);
};

}  // namespace ql
