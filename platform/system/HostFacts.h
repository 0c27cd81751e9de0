#pragma once
// What the host machine says about itself: its hardware identifier, its network interfaces and its cellular
// carrier. The interface list comes from the host's own interfaces; tests put a list of their own in its
// place.

#include <optional>
#include <string>
#include <vector>

namespace ql::sys {

// The machine's hardware identifier (the kernel's machine name, such as "x86_64").
std::string machineIdentifier();

struct NetworkInterface {
    std::string name;
    bool up = false;
    bool loopback = false;
    bool hasIPv4 = false;
    // A radio link (the kernel lists it as wireless); wired and cellular-like links are not.
    bool wireless = false;
    // The link-layer address, six bytes, when the interface has one.
    std::optional<std::vector<unsigned char>> hardwareAddress;
};

// One entry per interface name, merged across its addresses, in the order the host lists them.
std::vector<NetworkInterface> networkInterfaces();
// Tests: answer this list instead of the host's; nothing goes back to the host's.
void setNetworkInterfacesForTesting(std::optional<std::vector<NetworkInterface>> interfaces);

// The name of the subscriber's cellular carrier; a host without a cellular radio has none: empty.
std::string carrierName();

}  // namespace ql::sys
