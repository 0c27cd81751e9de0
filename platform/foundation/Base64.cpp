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

// The text on one line, written straight into place: large bodies are encoded for the web engine.
std::string encodedOnOneLine(std::span<const std::uint8_t> bytes) {
    std::string text((bytes.size() + 2) / 3 * 4, '=');
    const std::uint8_t* in = bytes.data();
    char* out = text.data();
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3, out += 4) {
        const std::uint32_t group = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
        out[0] = kAlphabet[group >> 18];
        out[1] = kAlphabet[(group >> 12) & 63];
        out[2] = kAlphabet[(group >> 6) & 63];
        out[3] = kAlphabet[group & 63];
    }
    if (const std::size_t rest = bytes.size() - i) {
        std::uint32_t group = std::uint32_t{in[i]} << 16;
        if (rest == 2) group |= std::uint32_t{in[i + 1]} << 8;
        out[0] = kAlphabet[group >> 18];
        out[1] = kAlphabet[(group >> 12) & 63];
        if (rest == 2) out[2] = kAlphabet[(group >> 6) & 63];
    }
    return text;
}

}  // namespace

std::string base64EncodedString(std::span<const std::uint8_t> bytes, unsigned options) {
    std::size_t lineLength = 0;
    if (options & Base64Encoding64CharacterLineLength)
        lineLength = 64;
    else if (options & Base64Encoding76CharacterLineLength)
        lineLength = 76;
    std::string text = encodedOnOneLine(bytes);
    if (lineLength == 0 || text.size() <= lineLength) return text;
    std::string lineEnd;
    const bool cr = options & Base64EncodingEndLineWithCarriageReturn;
    const bool lf = options & Base64EncodingEndLineWithLineFeed;
    if (cr || !lf) lineEnd += '\r';
    if (lf || !cr) lineEnd += '\n';
    std::string lines;
    lines.reserve(text.size() + text.size() / lineLength * lineEnd.size());
    for (std::size_t at = 0; at < text.size(); at += lineLength) {
        if (at > 0) lines += lineEnd;
        lines.append(text, at, lineLength);
    }
    return lines;
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
