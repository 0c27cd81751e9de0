#pragma once
// Message digests (MD5, SHA-1) and HMAC-SHA1 over bytes, and the hexadecimal text of digests and back.

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

namespace ql::ns {

// 16 bytes.
Data md5(const Data& bytes);
Data md5(std::string_view bytes);
// 20 bytes.
Data sha1(const Data& bytes);
Data sha1(std::string_view bytes);
// 20 bytes: HMAC (RFC 2104) with SHA-1 of `message` under `key`.
Data hmacSHA1(const Data& key, const Data& message);

enum class HexCase { Lower, Upper };
// Two hexadecimal digits per byte, in byte order ("%02x" or "%02X" each).
std::string hexString(const Data& bytes, HexCase letterCase = HexCase::Lower);
// The bytes back from such text, in either case; nothing when a digit is missing or not hexadecimal.
std::optional<Data> dataFromHexString(std::string_view text);

}  // namespace ql::ns
