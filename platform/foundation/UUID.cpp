#include "platform/foundation/UUID.h"

#include <openssl/rand.h>

#include <stdexcept>

#include "platform/foundation/CryptoLibrary.h"

namespace ql::ns {

UUID::UUID() {
    keepTheCryptoLibraryUntilTheProcessEnds();
    if (RAND_bytes(bytes_.data(), static_cast<int>(bytes_.size())) != 1)
        throw std::runtime_error("UUID: the system's random source failed");
    bytes_[6] = static_cast<std::uint8_t>((bytes_[6] & 0x0F) | 0x40);  // version 4
    bytes_[8] = static_cast<std::uint8_t>((bytes_[8] & 0x3F) | 0x80);  // RFC 4122 variant
}

std::optional<UUID> UUID::fromString(std::string_view text) {
    if (text.size() != 36) return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    UUID parsed;
    std::size_t at = 0;
    for (std::size_t i = 0; i < parsed.bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            if (text[at++] != '-') return std::nullopt;
        }
        const int high = digit(text[at++]);
        const int low = digit(text[at++]);
        if (high < 0 || low < 0) return std::nullopt;
        parsed.bytes_[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return parsed;
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
