#pragma once
// The decoders behind ImageSource. They never throw and never trust sizes in headers beyond the image
// limits; `partial` asks for the rows (or frames) decoded before the data ran out instead of failing.
// Internal to the graphics library.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageEncoding.h"
#include "platform/graphics/ImageSource.h"

namespace ql::cg {

struct DecodedImage {
    std::shared_ptr<const Image> image;
    ImageProperties properties;
};

std::optional<ImageProperties> readPNGProperties(std::span<const std::uint8_t> bytes);
std::optional<DecodedImage> decodePNG(std::span<const std::uint8_t> bytes, bool partial);

std::optional<ImageProperties> readJPEGProperties(std::span<const std::uint8_t> bytes);
std::optional<DecodedImage> decodeJPEG(std::span<const std::uint8_t> bytes, bool partial);

// Every frame, composed onto the logical screen as a viewer shows it.
std::vector<DecodedImage> decodeGIF(std::span<const std::uint8_t> bytes, bool partial);

// The orientation tag (1 to 8) of an EXIF block (the APP1 payload after "Exif\0\0"), if it has one; a tag
// of any other value reads as 1 (up).
std::optional<int> exifOrientation(std::span<const std::uint8_t> tiff);
// A minimal EXIF block holding only the orientation, with its "Exif\0\0" prefix.
std::vector<std::uint8_t> exifBlockWithOrientation(int orientation);

}  // namespace ql::cg
