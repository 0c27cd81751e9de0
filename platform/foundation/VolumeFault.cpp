#include "platform/foundation/VolumeFault.h"

#include <atomic>
#include <map>
#include <mutex>

namespace ql::ns {

namespace {

// The flag spares every write the lock while no test has laid a fault.
std::atomic<bool> anyFault{false};
std::mutex faultsMutex;
std::map<std::string, int, std::less<>>& faults() {  // guarded by faultsMutex
    static auto& laid = *new std::map<std::string, int, std::less<>>;
    return laid;
}

}  // namespace

void setVolumeFaultForTesting(const std::string& folder, int posixError) {
    std::lock_guard lock(faultsMutex);
    if (posixError) faults()[folder] = posixError;
    else faults().erase(folder);
    anyFault = !faults().empty();
}

int volumeFaultForTesting(std::string_view path) {
    if (!anyFault) return 0;
    std::lock_guard lock(faultsMutex);
    for (const auto& [folder, error] : faults()) {
        if (path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/')) return error;
    }
    return 0;
}

}  // namespace ql::ns
