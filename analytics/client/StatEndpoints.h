#pragma once
// Where the analytics client sends: the hosts of StatClientConstants.h, which tests point at loopback servers.

#include <optional>
#include <string>

namespace ql {

class StatEndpoints {
public:
    struct Hosts {
        std::string primaryLog;
        std::string backupLog;
        std::string onlineConfig;
        std::string shareCount;
    };

    static Hosts hosts();
    // Tests: these hosts until withdrawn with nothing.
    static void setHostsForTesting(std::optional<Hosts> hosts);

    // "<primary host>/app_logs", then the backup's.
    static std::string primaryLogURL();
    static std::string backupLogURL();
};

}  // namespace ql
