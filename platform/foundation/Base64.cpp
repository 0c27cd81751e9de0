#include "platform/foundation/Base64.h"

#include <array>
#include <cstdint>

namespace ql::ns {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::int8_t kPadding = -2;
constexpr std::int8_t kUnknown = -1;

constexpr std::array<std::int8_t, 256> makeDecodingTable() {
    std::array<std::int8_t, 256> table{};
    table.fill(kUnknown);
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    table['='] = kPadding;
    return table;
}

constexpr std::array<std::int8_t, 256> kDecodingTable = makeDecodingTable();

}  // namespace

std::string base64EncodedString(const Data& data, unsigned options) {
    std::size_t lineLength = 0;
    if (options & Base64Encoding64CharacterLineLength)
        lineLength = 64;
    else if (options & Base64Encoding76CharacterLineLength)
        lineLength = 76;
    std::string lineEnd;
    const bool cr = options & Base64EncodingEndLineWithCarriageReturn;
    const bool lf = options & Base64EncodingEndLineWithLineFeed;
    if (cr || !lf) lineEnd += '\r';
    if (lf || !cr) lineEnd += '\n';

    const std::uint8_t* in = data.bytes();
    const std::size_t length = data.length();
    std::string text;
    const std::size_t encodedLength = (length + 2) / 3 * 4;
    text.reserve(encodedLength + (lineLength ? encodedLength / lineLength * lineEnd.size() : 0));
    std::size_t column = 0;
    auto put = [&](char c) {
        if (lineLength && column == lineLength) {
            text += lineEnd;
            column = 0;
        }
        text += c;
        ++column;
    };
    std::size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        std::uint32_t group = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
        put(kAlphabet[group >> 18]);
        put(kAlphabet[(group >> 12) & 63]);
        put(kAlphabet[(group >> 6) & 63]);
        put(kAlphabet[group & 63]);
    }
    if (std::size_t rest = length - i) {
        std::uint32_t group = std::uint32_t{in[i]} << 16;
        if (rest == 2) group |= std::uint32_t{in[i + 1]} << 8;
        put(kAlphabet[group >> 18]);
        put(kAlphabet[(group >> 12) & 63]);
        put(rest == 2 ? kAlphabet[(group >> 6) & 63] : '=');
        put('=');
    }
    return text;
}

std::optional<Data> dataWithBase64EncodedString(std::string_view text, unsigned options) {
    const bool ignoreUnknown = options & Base64DecodingIgnoreUnknownCharacters;
    Data data;
    data.setLength(text.size() / 4 * 3);
    std::uint8_t* out = data.mutableBytes();
    std::size_t written = 0;
    std::uint32_t group = 0;
    int inGroup = 0;  // symbols of the current group of four, padding included
    int padding = 0;  // "=" seen so far; only more "=" may follow the first
    for (char c : text) {
        std::int8_t value = kDecodingTable[static_cast<unsigned char>(c)];
        if (value == kUnknown) {
            if (ignoreUnknown) continue;
            return std::nullopt;
        }
        if (value == kPadding) {
            // Padding stands only for the third and fourth symbols of the last group.
            if (inGroup < 2) return std::nullopt;
            ++padding;
        } else {
            if (padding) return std::nullopt;
            group = (group << 6) | static_cast<std::uint32_t>(value);
        }
        if (++inGroup == 4) {
            group <<= 6 * padding;
            out[written++] = static_cast<std::uint8_t>(group >> 16);
            if (padding < 2) out[written++] = static_cast<std::uint8_t>(group >> 8);
            if (padding < 1) out[written++] = static_cast<std::uint8_t>(group);
            group = 0;
            inGroup = 0;
        }
    }
    if (inGroup != 0) return std::nullopt;
    data.setLength(written);
    return data;
}

}  // namespace ql::ns
