#include "analytics/client/StatProtocolData.h"

#include <cstdio>
#include <exception>

#include "analytics/StatLog.h"
#include "analytics/client/StatSharedUDID.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"
#include "platform/foundation/UUID.h"
#include "platform/system/HostFacts.h"
#include "platform/ui/Device.h"
#include "platform/ui/Screen.h"

namespace ql {

namespace {

std::string nowText(const char* pattern) {
    ns::DateFormatter formatter;
    formatter.setLocale(ns::Locale("en_US_POSIX"));
    formatter.setDateFormat(pattern);
    return formatter.stringFromDate(ns::Date::fromTimeIntervalSince1970(ns::Clock::now()));
}

std::string bundleText(std::string_view key) {
    const ns::Value value = ns::Bundle::main().objectForInfoDictionaryKey(key);
    return value.isString() ? std::string(value.asString()) : std::string();
}

}  // namespace

std::string StatProtocolData::dateString() { return nowText("yyyy-MM-dd"); }
std::string StatProtocolData::timeString() { return nowText("HH:mm:ss"); }
std::string StatProtocolData::timeMSString() { return nowText("HH:mm:ss.SSS"); }

std::string StatProtocolData::deviceIDVendorString() {
    return ui::Device::currentDevice().identifierForVendor().UUIDString();
}

std::optional<std::string> StatProtocolData::deviceMacString() {
    for (const auto& interface : sys::networkInterfaces()) {
        if (!interface.wireless || !interface.hardwareAddress) continue;
        const auto& a = *interface.hardwareAddress;
        char text[18];
        std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
        return std::string(text);
    }
    return std::nullopt;
}

std::string StatProtocolData::openUDIDString() {
    try {
        return StatSharedUDID::value().value_or("");
    } catch (const std::exception& exception) {
        statLog(std::string("Exception occurred: ") + exception.what());
        return {};
    }
}

std::string StatProtocolData::UUIDString() { return ns::UUID().UUIDString(); }
std::string StatProtocolData::UUIDMD5String() { return md5Value(UUIDString()); }
std::string StatProtocolData::deviceModelString() { return sys::machineIdentifier(); }

StatProtocolData::Pixels StatProtocolData::resolution() {
    const auto& screen = ui::Screen::mainScreen();
    const double scale = screen.scale() > 0 ? screen.scale() : 1;
    return {static_cast<int>(screen.bounds().size.height * scale), static_cast<int>(screen.bounds().size.width * scale)};
}

std::string StatProtocolData::resolutionString() {
    const Pixels pixels = resolution();
    return std::to_string(pixels.height) + " x " + std::to_string(pixels.width);
}

std::string StatProtocolData::osVersionString() { return ui::Device::currentDevice().systemVersion(); }

std::string StatProtocolData::orientationString() {
    const auto orientation = ui::Device::currentDevice().orientation();
    return orientation == ui::DeviceOrientation::Portrait || orientation == ui::DeviceOrientation::PortraitUpsideDown
               ? "0"
               : "1";
}

bool StatProtocolData::isPad() {
    return ui::Device::currentDevice().userInterfaceIdiom() == ui::UserInterfaceIdiom::Pad;
}

std::string StatProtocolData::accessString() {
    bool anyLink = false;
    for (const auto& interface : sys::networkInterfaces()) {
        if (!interface.up || interface.loopback || !interface.hasIPv4) continue;
        if (interface.wireless) return "WiFi";
        anyLink = true;
    }
    return anyLink ? "CellNetwork" : "";
}

std::string StatProtocolData::carrierString() { return sys::carrierName(); }
std::string StatProtocolData::appPackageNameString() { return bundleText("CFBundleIdentifier"); }
std::string StatProtocolData::appDisplayNameString() { return bundleText("CFBundleDisplayName"); }
std::string StatProtocolData::appBundleVersionString() { return bundleText("CFBundleVersion"); }
std::string StatProtocolData::appShortVersionString() { return bundleText("CFBundleShortVersionString"); }
std::string StatProtocolData::countryString() { return ns::Locale::current().countryCode(); }

std::string StatProtocolData::languageString() {
    const auto languages = ns::Locale::preferredLanguages();
    return languages.empty() ? std::string() : languages.front();
}

int StatProtocolData::timezoneHours() { return static_cast<int>(ns::TimeZone::defaultTimeZone().secondsFromGMT() / 3600); }

std::string StatProtocolData::timezoneString() { return std::to_string(timezoneHours()); }

std::string StatProtocolData::md5Value(std::string_view text) {
    return ns::hexString(ns::md5(text), ns::HexCase::Upper);
}

}  // namespace ql
