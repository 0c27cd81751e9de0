#pragma once
// The records a log entry carries about who reports rather than what was recorded: the application, the
// device with its screen, the client's own upload statistics and the miscellaneous facts (locale, carrier,
// connection, the send delay). Each is filled afresh from the device facts, the host app's settings and the
// stored counts; a fact the platform does not have leaves its field unset.

#include <memory>

#include "analytics/WireAppInfo.h"
#include "analytics/WireClientStats.h"
#include "analytics/WireDeviceInfo.h"
#include "analytics/WireMiscInfo.h"

namespace ql {

class RezOzovaEntryFacts {
public:
    static std::shared_ptr<WireAppInfo> appInfo();
    static std::shared_ptr<WireDeviceInfo> deviceInfo();
    static std::shared_ptr<WireClientStats> clientStats();
    static std::shared_ptr<WireMiscInfo> miscInfo();
};

}  // namespace ql
