#include "app/uikit/MKNKBase64.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/foundation/Base64.h"

namespace ql {

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kSkip = 0xFF;

const std::array<std::uint8_t, 256>& inverseAlphabet() {
    static const auto table = [] {
        std::array<std::uint8_t, 256> inverse;
        inverse.fill(kSkip);
        for (std::size_t i = 0; i < kAlphabet.size(); ++i) inverse[static_cast<unsigned char>(kAlphabet[i])] = std::uint8_t(i);
        return inverse;
    }();
    return table;
}

}  // namespace

std::string base64EncodeBytes(const void* bytes, std::size_t length, bool separateLines) {
    const ns::Data data(bytes, length);
    const unsigned options = separateLines ? unsigned(ns::Base64Encoding64CharacterLineLength) : 0u;
    return ns::base64EncodedString(data, options);
}

ns::Data base64DecodeBytes(const char* text, std::size_t length) {
    if (!text) return {};
    if (length == kBase64ZeroTerminated) length = std::strlen(text);
    const auto& inverse = inverseAlphabet();
    std::string out;
    out.reserve(3 * ((length + 3) / 4));
    std::array<std::uint8_t, 4> group{};
    std::size_t filled = 0;
    auto flush = [&](std::size_t count) {
        if (count >= 2) out.push_back(char((group[0] << 2) | (group[1] >> 4)));
        if (count >= 3) out.push_back(char(((group[1] & 0x0F) << 4) | (group[2] >> 2)));
        if (count >= 4) out.push_back(char(((group[2] & 0x03) << 6) | group[3]));
    };
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t sextet = inverse[static_cast<unsigned char>(text[i])];
        if (sextet == kSkip) continue;
        group[filled++] = sextet;
        if (filled == 4) {
            flush(4);
            filled = 0;
        }
    }
    flush(filled);
    return ns::Data(std::string_view(out));
}

ns::Data dataFromBase64String(std::string_view text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return {};
    }
    return base64DecodeBytes(text.data(), text.size());
}

std::string base64EncodedString(const ns::Data& data) {
    return base64EncodeBytes(data.bytes(), data.length(), false);
}

}  // namespace ql
