#include "analytics/WireAppInfo.h"

#include <utility>

namespace ql {

WireAppInfo::WireAppInfo(std::optional<std::string> key, std::optional<std::string> version, std::int32_t version_index,
                         std::optional<std::string> package_name, std::int32_t sdk_type,
                         std::optional<std::string> sdk_version, std::optional<std::string> channel,
                         std::optional<std::string> wrapper_type, std::optional<std::string> wrapper_version,
                         std::int32_t vertical_type) {
    setKey(std::move(key));
    setVersion(std::move(version));
    setVersion_index(version_index);
    setPackage_name(std::move(package_name));
    setSdk_type(sdk_type);
    setSdk_version(std::move(sdk_version));
    setChannel(std::move(channel));
    setWrapper_type(std::move(wrapper_type));
    setWrapper_version(std::move(wrapper_version));
    setVertical_type(vertical_type);
}

}  // namespace ql
