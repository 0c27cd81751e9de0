#include "analytics/WireDeviceInfo.h"

#include <utility>

namespace ql {

WireDeviceInfo::WireDeviceInfo(std::optional<std::string> device_id, std::optional<std::string> idmd5,
                               std::optional<std::string> mac_address, std::optional<std::string> open_udid,
                               std::optional<std::string> model, std::optional<std::string> cpu,
                               std::optional<std::string> os, std::optional<std::string> os_version,
                               std::shared_ptr<WireResolution> resolution, std::optional<std::string> device_board,
                               std::optional<std::string> device_brand, std::int64_t device_manutime,
                               std::optional<std::string> device_manufacturer, std::optional<std::string> device_manuid,
                               std::optional<std::string> device_name) {
    setDevice_id(std::move(device_id));
    setIdmd5(std::move(idmd5));
    setMac_address(std::move(mac_address));
    setOpen_udid(std::move(open_udid));
    setModel(std::move(model));
    setCpu(std::move(cpu));
    setOs(std::move(os));
    setOs_version(std::move(os_version));
    setResolution(std::move(resolution));
    setDevice_board(std::move(device_board));
    setDevice_brand(std::move(device_brand));
    setDevice_manutime(device_manutime);
    setDevice_manufacturer(std::move(device_manufacturer));
    setDevice_manuid(std::move(device_manuid));
    setDevice_name(std::move(device_name));
}

}  // namespace ql
