#pragma once
// The HTTP client's names for the foundation's text encodings (platform/foundation/StringEncoding.h):
// serializers store the platform's string-encoding codes (UTF-8 unless set otherwise) and replies carry
// IANA character-set names.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/StringEncoding.h"

namespace ql {

inline constexpr std::uint64_t NetASCIIStringEncoding = ns::ASCIIStringEncoding;
inline constexpr std::uint64_t NetJapaneseEUCStringEncoding = ns::JapaneseEUCStringEncoding;
inline constexpr std::uint64_t NetUTF8StringEncoding = ns::UTF8StringEncoding;
inline constexpr std::uint64_t NetISOLatin1StringEncoding = ns::ISOLatin1StringEncoding;
inline constexpr std::uint64_t NetShiftJISStringEncoding = ns::ShiftJISStringEncoding;
inline constexpr std::uint64_t NetISOLatin2StringEncoding = ns::ISOLatin2StringEncoding;
inline constexpr std::uint64_t NetUnicodeStringEncoding = ns::UnicodeStringEncoding;
inline constexpr std::uint64_t NetWindowsCP1251StringEncoding = ns::WindowsCP1251StringEncoding;
inline constexpr std::uint64_t NetWindowsCP1252StringEncoding = ns::WindowsCP1252StringEncoding;
inline constexpr std::uint64_t NetWindowsCP1253StringEncoding = ns::WindowsCP1253StringEncoding;
inline constexpr std::uint64_t NetWindowsCP1254StringEncoding = ns::WindowsCP1254StringEncoding;
inline constexpr std::uint64_t NetWindowsCP1250StringEncoding = ns::WindowsCP1250StringEncoding;
inline constexpr std::uint64_t NetISO2022JPStringEncoding = ns::ISO2022JPStringEncoding;
inline constexpr std::uint64_t NetMacOSRomanStringEncoding = ns::MacOSRomanStringEncoding;
inline constexpr std::uint64_t NetUTF16BigEndianStringEncoding = ns::UTF16BigEndianStringEncoding;
inline constexpr std::uint64_t NetUTF16LittleEndianStringEncoding = ns::UTF16LittleEndianStringEncoding;
inline constexpr std::uint64_t NetUTF32StringEncoding = ns::UTF32StringEncoding;
inline constexpr std::uint64_t NetUTF32BigEndianStringEncoding = ns::UTF32BigEndianStringEncoding;
inline constexpr std::uint64_t NetUTF32LittleEndianStringEncoding = ns::UTF32LittleEndianStringEncoding;
inline constexpr std::uint64_t NetGBKStringEncoding = ns::GBKStringEncoding;
inline constexpr std::uint64_t NetGB18030StringEncoding = ns::GB18030StringEncoding;
inline constexpr std::uint64_t NetEUCCNStringEncoding = ns::EUCCNStringEncoding;
inline constexpr std::uint64_t NetEUCKRStringEncoding = ns::EUCKRStringEncoding;
inline constexpr std::uint64_t NetBig5StringEncoding = ns::Big5StringEncoding;
inline constexpr std::uint64_t NetKOI8RStringEncoding = ns::KOI8RStringEncoding;

inline std::optional<std::uint64_t> NetStringEncodingForIANACharsetName(std::string_view name) {
    return ns::stringEncodingForIANACharsetName(name);
}
inline std::optional<ns::Data> NetEncodeText(std::string_view text, std::uint64_t encoding) {
    return ns::encodeText(text, encoding);
}
inline std::optional<std::string> NetDecodeText(const ns::Data& bytes, std::uint64_t encoding) {
    return ns::decodeText(bytes, encoding);
}

}  // namespace ql
