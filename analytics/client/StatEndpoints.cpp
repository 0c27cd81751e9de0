#include "analytics/client/StatEndpoints.h"

#include <mutex>

#include "analytics/client/StatClientConstants.h"
#include "platform/foundation/Locked.h"

namespace ql {

namespace {
std::mutex mutex;
std::optional<StatEndpoints::Hosts>& override() {
    static auto& hosts = *new std::optional<StatEndpoints::Hosts>;
    return hosts;
}
constexpr std::string_view LogPath = "/app_logs";
}  // namespace

StatEndpoints::Hosts StatEndpoints::hosts() {
    std::lock_guard lock(mutex);
    if (const auto& hosts = override()) return *hosts;
    return {std::string(StatPrimaryLogHost), std::string(StatBackupLogHost), std::string(StatOnlineConfigHost),
            std::string(StatShareCountHost)};
}

void StatEndpoints::setHostsForTesting(std::optional<Hosts> hosts) { ns::lockedStore(mutex, override(), std::move(hosts)); }

std::string StatEndpoints::primaryLogURL() { return hosts().primaryLog + std::string(LogPath); }
std::string StatEndpoints::backupLogURL() { return hosts().backupLog + std::string(LogPath); }

}  // namespace ql
