#include "platform/foundation/UUID.h"

#include <openssl/rand.h>

#include <stdexcept>

namespace ql::ns {

UUID::UUID() {
    if (RAND_bytes(bytes_.data(), static_cast<int>(bytes_.size())) != 1)
        throw std::runtime_error("UUID: the system's random source failed");
    bytes_[6] = static_cast<std::uint8_t>((bytes_[6] & 0x0F) | 0x40);  // version 4
    bytes_[8] = static_cast<std::uint8_t>((bytes_[8] & 0x3F) | 0x80);  // RFC 4122 variant
}

std::string UUID::UUIDString() const {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kDigits[bytes_[i] >> 4];
        text += kDigits[bytes_[i] & 0xF];
    }
    return text;
}

}  // namespace ql::ns
