#pragma once
// One log entry, the payload of an envelope: the application, the device, the client's own statistics and
// the miscellaneous facts, then what was recorded (the activation message once per installation, events
// and errors, sessions), and the identity bookkeeping: the imprint the service handed out, echoed, and the
// identifier tracking.

#include <string_view>

#include "analytics/WireActivateMsg.h"
#include "analytics/WireAppInfo.h"
#include "analytics/WireClientStats.h"
#include "analytics/WireDeviceInfo.h"
#include "analytics/WireIdTracking.h"
#include "analytics/WireImprint.h"
#include "analytics/WireInstantMsg.h"
#include "analytics/WireMiscInfo.h"
#include "analytics/WireRecord.h"
#include "analytics/WireSession.h"

namespace ql {

class WireLogEntry final : public WireRecord<WireLogEntry> {
    QL_OBJECT(WireLogEntry, ns::Object)
    QL_WIRE_FIELD(1, WireStruct<WireClientStats>, client_stats, Client_stats, Required)
    QL_WIRE_FIELD(2, WireStruct<WireAppInfo>, app_info, App_info, Required)
    QL_WIRE_FIELD(3, WireStruct<WireDeviceInfo>, device_info, Device_info, Required)
    QL_WIRE_FIELD(4, WireStruct<WireMiscInfo>, misc_info, Misc_info, Required)
    QL_WIRE_FIELD(5, WireStruct<WireActivateMsg>, activate_msg, Activate_msg, Optional)
    QL_WIRE_FIELD(6, WireList<WireInstantMsg>, instant_msgs, Instant_msgs, Optional)
    QL_WIRE_FIELD(7, WireList<WireSession>, sessions, Sessions, Optional)
    QL_WIRE_FIELD(8, WireStruct<WireImprint>, imprint, Imprint, Optional)
    QL_WIRE_FIELD(9, WireStruct<WireIdTracking>, id_tracking, Id_tracking, Optional)
public:
    static constexpr std::string_view structName = "LogEntry";
};

}  // namespace ql
