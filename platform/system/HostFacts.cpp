#include "platform/system/HostFacts.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <sys/stat.h>
#include <sys/utsname.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace ql::sys {

namespace {

std::mutex injectedMutex;
std::optional<std::vector<NetworkInterface>>& injected() {  // guarded by injectedMutex
    static auto& set = *new std::optional<std::vector<NetworkInterface>>;
    return set;
}

bool kernelListsAsWireless(const std::string& name) {
    struct stat info{};
    const std::string path = "/sys/class/net/" + name + "/wireless";
    return ::stat(path.c_str(), &info) == 0;
}

std::vector<NetworkInterface> hostInterfaces() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {};
    std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owner(list, &::freeifaddrs);
    std::vector<NetworkInterface> found;
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr) continue;
        const std::string name = entry->ifa_name;
        auto it = std::find_if(found.begin(), found.end(), [&](const auto& i) { return i.name == name; });
        if (it == found.end()) {
            NetworkInterface fresh;
            fresh.name = name;
            fresh.wireless = kernelListsAsWireless(name);
            found.push_back(std::move(fresh));
            it = found.end() - 1;
        }
        it->up = it->up || (entry->ifa_flags & IFF_UP) != 0;
        it->loopback = it->loopback || (entry->ifa_flags & IFF_LOOPBACK) != 0;
        if (entry->ifa_addr == nullptr) continue;
        if (entry->ifa_addr->sa_family == AF_INET) it->hasIPv4 = true;
        if (entry->ifa_addr->sa_family == AF_PACKET) {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
            if (link->sll_halen == 6) it->hardwareAddress = std::vector<unsigned char>(link->sll_addr, link->sll_addr + 6);
        }
    }
    return found;
}

}  // namespace

std::string machineIdentifier() {
    utsname names{};
    if (::uname(&names) != 0) return {};
    return names.machine;
}

std::vector<NetworkInterface> networkInterfaces() {
    {
        std::lock_guard lock(injectedMutex);
        if (injected()) return *injected();
    }
    return hostInterfaces();
}

void setNetworkInterfacesForTesting(std::optional<std::vector<NetworkInterface>> interfaces) {
    std::lock_guard lock(injectedMutex);
    injected() = std::move(interfaces);
}

std::string carrierName() { return {}; }

}  // namespace ql::sys
