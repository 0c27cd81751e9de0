#include <gtest/gtest.h>

#include <sys/utsname.h>

#include "analytics/client/StatProtocolData.h"
#include "platform/ui/Device.h"
#include "platform/ui/Screen.h"
#include "tests/analytics/client/ClientTestSupport.h"

namespace ql {
namespace {

using DeviceFactsTest = test::AnalyticsClientTest;
using test::fakeInterface;

TEST_F(DeviceFactsTest, AccessTypeComesFromTheInterfacesNotTheMachine) {
    sys::setNetworkInterfacesForTesting(std::vector{fakeInterface("lo", false, true), fakeInterface("rmnet0", false)});
    EXPECT_EQ(StatProtocolData::accessString(), "CellNetwork");
    sys::setNetworkInterfacesForTesting(
        std::vector{fakeInterface("lo", false, true), fakeInterface("rmnet0", false), fakeInterface("wlp2s0", true)});
    EXPECT_EQ(StatProtocolData::accessString(), "WiFi");
    sys::setNetworkInterfacesForTesting(std::vector{fakeInterface("lo", false, true)});
    EXPECT_EQ(StatProtocolData::accessString(), "");
    // A radio that is down, or has no IPv4 address, carries nothing.
    auto down = fakeInterface("wlan0", true);
    down.up = false;
    auto noAddress = fakeInterface("wlan1", true);
    noAddress.hasIPv4 = false;
    sys::setNetworkInterfacesForTesting(std::vector{down, noAddress, fakeInterface("eth0", false)});
    EXPECT_EQ(StatProtocolData::accessString(), "CellNetwork");
    // The machine's architecture says nothing about the link.
    EXPECT_EQ(StatProtocolData::deviceModelString(), [] {
        utsname names{};
        ::uname(&names);
        return std::string(names.machine);
    }());
}

TEST_F(DeviceFactsTest, HardwareAddressOfTheWirelessInterface) {
    EXPECT_EQ(StatProtocolData::deviceMacString(), std::nullopt);  // the fake radio has no address
    auto radio = fakeInterface("wlan0", true);
    radio.hardwareAddress = std::vector<unsigned char>{0x00, 0x1a, 0x2b, 0xc3, 0xd4, 0xef};
    sys::setNetworkInterfacesForTesting(std::vector{fakeInterface("eth0", false), radio});
    EXPECT_EQ(StatProtocolData::deviceMacString(), "00:1A:2B:C3:D4:EF");
    EXPECT_EQ(StatProtocolData::carrierString(), "");
}

TEST_F(DeviceFactsTest, TimeZoneOrientationScreenAndDigest) {
    ns::TimeZone::setDefault(ns::TimeZone::forSecondsFromGMT(-(3 * 3600 + 1800)));
    EXPECT_EQ(StatProtocolData::timezoneString(), "-3");
    ns::TimeZone::setDefault(ns::TimeZone::forSecondsFromGMT(5 * 3600 + 45 * 60));
    EXPECT_EQ(StatProtocolData::timezoneString(), "5");

    ns::TimeZone::setDefault(ns::TimeZone::gmt());
    ns::Clock::useManualTime(1'700'000'000.25);  // 2023-11-14 22:13:20.250 GMT
    EXPECT_EQ(StatProtocolData::dateString(), "2023-11-14");
    EXPECT_EQ(StatProtocolData::timeString(), "22:13:20");
    EXPECT_EQ(StatProtocolData::timeMSString(), "22:13:20.250");

    auto& device = ui::Device::currentDevice();
    device.setOrientation(ui::DeviceOrientation::FaceUp);
    EXPECT_EQ(StatProtocolData::orientationString(), "1");
    device.setOrientation(ui::DeviceOrientation::PortraitUpsideDown);
    EXPECT_EQ(StatProtocolData::orientationString(), "0");
    device.setOrientation(ui::DeviceOrientation::Portrait);

    auto& screen = ui::Screen::mainScreen();
    const auto bounds = screen.bounds();
    const double scale = screen.scale();
    screen.setBounds(cg::Rect{{0, 0}, {375, 667}});
    screen.setScale(2);
    EXPECT_EQ(StatProtocolData::resolutionString(), "1334 x 750");
    screen.setBounds(bounds);
    screen.setScale(scale);

    EXPECT_EQ(StatProtocolData::md5Value("abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(StatProtocolData::UUIDMD5String().size(), 32u);
    EXPECT_EQ(StatProtocolData::osString(), "iOS");
    EXPECT_EQ(StatProtocolData::openUDIDString().size(), 40u);
    EXPECT_EQ(StatProtocolData::deviceIDVendorString(), device.identifierForVendor().UUIDString());
}

}  // namespace
}  // namespace ql
