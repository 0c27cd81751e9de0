#pragma once
// The analytics client's facts about the device, the system and the host app, each computed afresh on every
// call and answered as text ("" where the source has nothing).

#include <optional>
#include <string>
#include <string_view>

namespace ql {

class StatProtocolData {
public:
    static std::string dateString();    // "yyyy-MM-dd"
    static std::string timeString();    // "HH:mm:ss"
    static std::string timeMSString();  // "HH:mm:ss.SSS"
    static std::string latString() { return {}; }
    static std::string lngString() { return {}; }
    static std::string cpuString() { return {}; }
    static std::string deviceIDVendorString();
    // "%02X:%02X:…" of the first wireless interface's hardware address; nothing when there is none.
    static std::optional<std::string> deviceMacString();
    // The shared device identifier; "" when it cannot be had.
    static std::string openUDIDString();
    static std::string UUIDString();
    static std::string UUIDMD5String();
    static std::string deviceModelString();
    struct Pixels {
        int height = 0;
        int width = 0;
    };
    // The main screen's size in pixels.
    static Pixels resolution();
    static std::string resolutionString();  // "<height> x <width>" in pixels
    static std::string osString() { return "iOS"; }
    static std::string osVersionString();
    static std::string orientationString();  // "0" upright, "1" otherwise
    static bool isPad();
    // "WiFi" over a wireless interface, "CellNetwork" over any other, "" with none up (loopback aside).
    static std::string accessString();
    static std::string carrierString();
    static std::string appPackageNameString();
    static std::string appDisplayNameString();
    static std::string appBundleVersionString();
    static std::string appShortVersionString();
    static std::string countryString();
    static std::string languageString();
    // Whole hours from GMT, truncated toward zero, as a number and as text.
    static int timezoneHours();
    static std::string timezoneString();
    // 32 upper-case hex digits of the MD5 of the text's UTF-8 bytes.
    static std::string md5Value(std::string_view text);
};

}  // namespace ql
