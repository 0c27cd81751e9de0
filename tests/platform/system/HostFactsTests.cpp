#include <gtest/gtest.h>

#include <algorithm>
#include <sys/utsname.h>

#include "platform/system/HostFacts.h"

namespace ql {
namespace {

TEST(HostFacts, MachineIdentifierCarrierAndTheHostsOwnInterfaces) {
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    EXPECT_EQ(sys::machineIdentifier(), names.machine);
    EXPECT_EQ(sys::carrierName(), "");

    const auto interfaces = sys::networkInterfaces();
    auto loopback = std::find_if(interfaces.begin(), interfaces.end(), [](const auto& i) { return i.name == "lo"; });
    ASSERT_NE(loopback, interfaces.end());
    EXPECT_TRUE(loopback->loopback);
    EXPECT_TRUE(loopback->hasIPv4);
    EXPECT_FALSE(loopback->wireless);
    // Each name appears once, whatever number of addresses it has.
    for (const auto& i : interfaces)
        EXPECT_EQ(std::count_if(interfaces.begin(), interfaces.end(), [&](const auto& j) { return j.name == i.name; }), 1);
}

TEST(HostFacts, AnInjectedListStandsInUntilWithdrawn) {
    sys::NetworkInterface radio;
    radio.name = "wlan0";
    radio.up = radio.hasIPv4 = radio.wireless = true;
    sys::setNetworkInterfacesForTesting(std::vector{radio});
    const auto injected = sys::networkInterfaces();
    ASSERT_EQ(injected.size(), 1u);
    EXPECT_EQ(injected[0].name, "wlan0");
    EXPECT_TRUE(injected[0].wireless);
    sys::setNetworkInterfacesForTesting(std::nullopt);
    const auto host = sys::networkInterfaces();
    EXPECT_TRUE(std::any_of(host.begin(), host.end(), [](const auto& i) { return i.name == "lo"; }));
}

}  // namespace
}  // namespace ql
