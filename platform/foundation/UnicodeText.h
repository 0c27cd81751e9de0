#pragma once
// Conversions between UTF-8 texts and ICU's UTF-16 strings, shared by the foundation's sources that work
// with ICU. Not part of the public interface.

#include <unicode/unistr.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace ql::ns::detail {

// Malformed UTF-8 reads as U+FFFD.
inline icu::UnicodeString unicodeText(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

// Lone surrogates come out as U+FFFD.
inline std::string utf8Text(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

}  // namespace ql::ns::detail
