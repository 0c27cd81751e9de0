#pragma once
// The app's Base64 for photo uploads: a byte codec with the standard alphabet and "=" padding, and the
// data helpers built on it. Decoding is lenient (anything outside the alphabet is skipped), since the
// texts come from the service and from other apps.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

namespace ql {

// Every 48 input bytes make a line of 64 characters; with `separateLines`, "\r\n" follows every line
// but the last.
std::string base64EncodeBytes(const void* bytes, std::size_t length, bool separateLines);

// Passing kBase64ZeroTerminated as the length measures a zero-terminated text.
inline constexpr std::size_t kBase64ZeroTerminated = static_cast<std::size_t>(-1);
// Characters outside the alphabet are skipped; a last group of one character writes nothing.
ns::Data base64DecodeBytes(const char* text, std::size_t length);

// Empty data for a text that is not ASCII (it has no ASCII bytes to decode).
ns::Data dataFromBase64String(std::string_view text);
std::string base64EncodedString(const ns::Data& data);

}  // namespace ql
