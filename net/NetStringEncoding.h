#pragma once
// Text encodings by the platform's string-encoding codes, as serializers store them (UTF-8 unless set
// otherwise), and by the IANA character-set names that replies carry. Texts here are UTF-8; encoding and
// decoding are strict, so a text that an encoding cannot carry, or bytes that are not valid in it, fail.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

namespace ql {

// The platform's codes of the encodings known here.
inline constexpr std::uint64_t NetASCIIStringEncoding = 1;
inline constexpr std::uint64_t NetJapaneseEUCStringEncoding = 3;
inline constexpr std::uint64_t NetUTF8StringEncoding = 4;
inline constexpr std::uint64_t NetISOLatin1StringEncoding = 5;
inline constexpr std::uint64_t NetShiftJISStringEncoding = 8;
inline constexpr std::uint64_t NetISOLatin2StringEncoding = 9;
inline constexpr std::uint64_t NetUnicodeStringEncoding = 10;
inline constexpr std::uint64_t NetWindowsCP1251StringEncoding = 11;
inline constexpr std::uint64_t NetWindowsCP1252StringEncoding = 12;
inline constexpr std::uint64_t NetWindowsCP1253StringEncoding = 13;
inline constexpr std::uint64_t NetWindowsCP1254StringEncoding = 14;
inline constexpr std::uint64_t NetWindowsCP1250StringEncoding = 15;
inline constexpr std::uint64_t NetISO2022JPStringEncoding = 21;
inline constexpr std::uint64_t NetMacOSRomanStringEncoding = 30;
inline constexpr std::uint64_t NetUTF16BigEndianStringEncoding = 0x90000100;
inline constexpr std::uint64_t NetUTF16LittleEndianStringEncoding = 0x94000100;
inline constexpr std::uint64_t NetUTF32StringEncoding = 0x8c000100;
inline constexpr std::uint64_t NetUTF32BigEndianStringEncoding = 0x98000100;
inline constexpr std::uint64_t NetUTF32LittleEndianStringEncoding = 0x9c000100;
// Chinese, Korean and Cyrillic encodings, as the platform converts their CoreFoundation codes.
inline constexpr std::uint64_t NetGBKStringEncoding = 0x80000631;
inline constexpr std::uint64_t NetGB18030StringEncoding = 0x80000632;
inline constexpr std::uint64_t NetEUCCNStringEncoding = 0x80000930;
inline constexpr std::uint64_t NetEUCKRStringEncoding = 0x80000940;
inline constexpr std::uint64_t NetBig5StringEncoding = 0x80000a03;
inline constexpr std::uint64_t NetKOI8RStringEncoding = 0x80000a02;

// The code for a character-set name ("utf-8", "GBK", "latin1", …); nothing for names not known here.
std::optional<std::uint64_t> NetStringEncodingForIANACharsetName(std::string_view name);

// The bytes of a UTF-8 text in the encoding; nothing when the encoding is unknown or cannot carry the text.
std::optional<ns::Data> NetEncodeText(std::string_view text, std::uint64_t encoding);
// The UTF-8 text of bytes in the encoding; nothing when the encoding is unknown or the bytes are invalid in it.
std::optional<std::string> NetDecodeText(const ns::Data& bytes, std::uint64_t encoding);

}  // namespace ql
