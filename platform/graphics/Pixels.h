#pragma once
// Conversions between straight RGBA bytes and the premultiplied native-endian ARGB words bitmaps are
// stored in. Internal to the graphics library.

#include <algorithm>
#include <array>
#include <cstdint>

namespace ql::cg {

inline std::uint8_t premultiply(std::uint8_t c, std::uint8_t a) {
    const unsigned t = static_cast<unsigned>(c) * a + 128;
    return static_cast<std::uint8_t>((t + (t >> 8)) >> 8);
}

inline std::uint32_t premultipliedARGB(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    return (std::uint32_t{a} << 24) | (std::uint32_t{premultiply(r, a)} << 16) |
           (std::uint32_t{premultiply(g, a)} << 8) | premultiply(b, a);
}

inline std::array<std::uint8_t, 4> straightRGBA(std::uint32_t argb) {
    const unsigned a = argb >> 24;
    auto channel = [&](unsigned shift) -> std::uint8_t {
        const unsigned c = (argb >> shift) & 0xFF;
        if (a == 0) return 0;
        if (a == 255) return static_cast<std::uint8_t>(c);
        return static_cast<std::uint8_t>(std::min(255u, (c * 255 + a / 2) / a));
    };
    return {channel(16), channel(8), channel(0), static_cast<std::uint8_t>(a)};
}

}  // namespace ql::cg
