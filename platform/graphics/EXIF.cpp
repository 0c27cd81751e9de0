#include <cstdint>
#include <optional>

#include "platform/graphics/ImageCodecs.h"

namespace ql::cg {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kThumbnailOffsetTag = 0x0201;
constexpr std::uint16_t kThumbnailLengthTag = 0x0202;
constexpr std::uint16_t kShortType = 3;
constexpr std::uint16_t kLongType = 4;

struct TIFFReader {
    std::span<const std::uint8_t> bytes;
    bool bigEndian;

    bool has(std::size_t offset, std::size_t length) const {
        return offset <= bytes.size() && length <= bytes.size() - offset;
    }
    std::uint16_t u16(std::size_t at) const {
        return bigEndian ? static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1])
                         : static_cast<std::uint16_t>(bytes[at + 1] << 8 | bytes[at]);
    }
    std::uint32_t u32(std::size_t at) const {
        return bigEndian ? std::uint32_t{u16(at)} << 16 | u16(at + 2) : std::uint32_t{u16(at + 2)} << 16 | u16(at);
    }
};

// The TIFF block's reader once its byte order and magic number check out.
std::optional<TIFFReader> tiffReader(std::span<const std::uint8_t> tiff) {
    if (tiff.size() < 8) return std::nullopt;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!little && !big) return std::nullopt;
    const TIFFReader r{tiff, big};
    if (r.u16(2) != 42) return std::nullopt;
    return r;
}

// Where the directory at `ifd` keeps the entry of the tag; nothing when it has none or is cut short first.
std::optional<std::size_t> findEntry(const TIFFReader& r, std::size_t ifd, std::uint16_t tag) {
    if (!r.has(ifd, 2)) return std::nullopt;
    const std::size_t entries = r.u16(ifd);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        if (!r.has(entry, 12)) return std::nullopt;
        if (r.u16(entry) == tag) return entry;
    }
    return std::nullopt;
}

// The value of a one-number SHORT or LONG entry of the directory at `ifd`.
std::optional<std::uint32_t> numberEntry(const TIFFReader& r, std::size_t ifd, std::uint16_t tag) {
    const auto entry = findEntry(r, ifd, tag);
    if (!entry || r.u32(*entry + 4) != 1) return std::nullopt;
    const std::uint16_t type = r.u16(*entry + 2);
    if (type == kShortType) return r.u16(*entry + 8);
    if (type == kLongType) return r.u32(*entry + 8);
    return std::nullopt;
}

}  // namespace

std::optional<std::span<const std::uint8_t>> exifThumbnail(std::span<const std::uint8_t> tiff) {
    const auto reader = tiffReader(tiff);
    if (!reader) return std::nullopt;
    const TIFFReader& r = *reader;
    // The thumbnail's directory follows the picture's: its offset is stored right after the first one's entries.
    const std::size_t first = r.u32(4);
    if (!r.has(first, 2)) return std::nullopt;
    const std::size_t next = first + 2 + 12 * std::size_t{r.u16(first)};
    if (!r.has(next, 4)) return std::nullopt;
    const std::size_t second = r.u32(next);
    if (second == 0 || second == first) return std::nullopt;
    const auto offset = numberEntry(r, second, kThumbnailOffsetTag);
    const auto length = numberEntry(r, second, kThumbnailLengthTag);
    if (!offset || !length || *length == 0 || !r.has(*offset, *length)) return std::nullopt;
    return tiff.subspan(*offset, *length);
}

std::optional<int> exifOrientation(std::span<const std::uint8_t> tiff) {
    const auto reader = tiffReader(tiff);
    if (!reader) return std::nullopt;
    const TIFFReader& r = *reader;
    const auto entry = findEntry(r, r.u32(4), kOrientationTag);
    if (!entry || r.u16(*entry + 2) != kShortType || r.u32(*entry + 4) < 1) return std::nullopt;
    const int orientation = r.u16(*entry + 8);
    // A value no orientation has is shown upright, and said to be.
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

std::vector<std::uint8_t> exifBlockWithOrientation(int orientation) {
    const auto high = static_cast<std::uint8_t>(orientation >> 8 & 0xFF);
    const auto low = static_cast<std::uint8_t>(orientation & 0xFF);
    return {'E', 'x', 'i', 'f', 0, 0,
            'M', 'M', 0, 42, 0, 0, 0, 8,  // big-endian TIFF header, first directory at 8
            0, 1,                          // one entry
            0x01, 0x12, 0, kShortType, 0, 0, 0, 1, high, low, 0, 0,
            0, 0, 0, 0};                   // no further directory
}

}  // namespace ql::cg
