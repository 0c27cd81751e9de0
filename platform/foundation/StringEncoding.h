#pragma once
// Text encodings by the platform's string-encoding codes and by the IANA character-set names that
// documents and replies carry. Texts here are UTF-8. encodeText and decodeText are strict, so a text that
// an encoding cannot carry, or bytes that are not valid in it, fail; decodeTextReplacingInvalid reads
// whatever it is given, as a document reader must.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

namespace ql::ns {

using StringEncoding = std::uint64_t;

// The platform's codes of the encodings known here.
inline constexpr StringEncoding ASCIIStringEncoding = 1;
inline constexpr StringEncoding JapaneseEUCStringEncoding = 3;
inline constexpr StringEncoding UTF8StringEncoding = 4;
inline constexpr StringEncoding ISOLatin1StringEncoding = 5;
inline constexpr StringEncoding ShiftJISStringEncoding = 8;
inline constexpr StringEncoding ISOLatin2StringEncoding = 9;
inline constexpr StringEncoding UnicodeStringEncoding = 10;
inline constexpr StringEncoding WindowsCP1251StringEncoding = 11;
inline constexpr StringEncoding WindowsCP1252StringEncoding = 12;
inline constexpr StringEncoding WindowsCP1253StringEncoding = 13;
inline constexpr StringEncoding WindowsCP1254StringEncoding = 14;
inline constexpr StringEncoding WindowsCP1250StringEncoding = 15;
inline constexpr StringEncoding ISO2022JPStringEncoding = 21;
inline constexpr StringEncoding MacOSRomanStringEncoding = 30;
inline constexpr StringEncoding UTF16BigEndianStringEncoding = 0x90000100;
inline constexpr StringEncoding UTF16LittleEndianStringEncoding = 0x94000100;
inline constexpr StringEncoding UTF32StringEncoding = 0x8c000100;
inline constexpr StringEncoding UTF32BigEndianStringEncoding = 0x98000100;
inline constexpr StringEncoding UTF32LittleEndianStringEncoding = 0x9c000100;
// Chinese, Korean and Cyrillic encodings, as the platform converts their CoreFoundation codes.
inline constexpr StringEncoding GBKStringEncoding = 0x80000631;
inline constexpr StringEncoding GB18030StringEncoding = 0x80000632;
inline constexpr StringEncoding EUCCNStringEncoding = 0x80000930;
inline constexpr StringEncoding EUCKRStringEncoding = 0x80000940;
inline constexpr StringEncoding Big5StringEncoding = 0x80000a03;
inline constexpr StringEncoding KOI8RStringEncoding = 0x80000a02;

// The code for a character-set name ("utf-8", "GBK", "latin1", …), aliases included; nothing for names
// not known here.
std::optional<StringEncoding> stringEncodingForIANACharsetName(std::string_view name);

// The bytes of a UTF-8 text in the encoding; nothing when the encoding is unknown or cannot carry the text.
std::optional<Data> encodeText(std::string_view text, StringEncoding encoding);
// The UTF-8 text of bytes in the encoding; nothing when the encoding is unknown or the bytes are invalid in it.
std::optional<std::string> decodeText(const Data& bytes, StringEncoding encoding);
// The same, but every byte sequence that is not valid in the encoding reads as U+FFFD; nothing only for
// an unknown encoding.
std::optional<std::string> decodeTextReplacingInvalid(std::string_view bytes, StringEncoding encoding);

}  // namespace ql::ns
