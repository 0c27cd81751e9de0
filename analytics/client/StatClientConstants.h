#pragma once
// Values of the analytics client that the service and the host app leave to us, decided once here.

#include <array>
#include <cstdint>
#include <string_view>

namespace ql {

// The initialisation vector of envelope payload encryption; the log service decrypts with the same one.
inline constexpr std::array<std::uint8_t, 16> StatEncryptionIV = {'0', '1', '0', '2', '0', '3', '0', '4',
                                                                   '0', '5', '0', '6', '0', '7', '0', '8'};

// The folder in the caches directory that holds envelope files and the identity exchange file.
inline constexpr std::string_view StatAnalyticsFolderName = "QuilloryAnalytics";

// The service's hosts (plain HTTP, as the log and configuration services speak it).
inline constexpr std::string_view StatPrimaryLogHost = "http://alog.quillory.com";
inline constexpr std::string_view StatBackupLogHost = "http://alog2.quillory.com";
inline constexpr std::string_view StatOnlineConfigHost = "http://oc.quillory.com";
inline constexpr std::string_view StatShareCountHost = "http://log.quillory.com";

inline constexpr std::string_view StatSdkType = "iOS";
inline constexpr std::string_view StatSdkVersion = "3.6.6";

// The numbers a log entry gives for the client's own type and for how the device reaches the network.
inline constexpr std::int32_t StatSdkTypeCode = 1;
inline constexpr std::int32_t StatAccessTypeNone = 0;
inline constexpr std::int32_t StatAccessTypeWiFi = 1;
inline constexpr std::int32_t StatAccessTypeCellular = 2;

}  // namespace ql
