#pragma once
// Universally unique identifiers: random (version 4) values and their upper-case text form,
// "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ql::ns {

class UUID {
public:
    // A fresh random identifier from the system's cryptographic random source.
    UUID();
    // The identifier a text in the form UUIDString gives names (hex digits in either case); nothing for any
    // other text.
    static std::optional<UUID> fromString(std::string_view text);

    const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }
    // 36 characters: upper-case hexadecimal in groups of 8-4-4-4-12.
    std::string UUIDString() const;

    bool operator==(const UUID&) const = default;

private:
    std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace ql::ns
