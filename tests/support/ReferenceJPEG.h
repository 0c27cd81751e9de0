#pragma once
// JPEG files written with libjpeg directly, not with the platform's encoder, so that tests and benchmarks of
// the decoders read files made by an independent writer.

#include <cstdint>
#include <functional>
#include <string>

namespace ql::test {

struct ReferenceJPEG {
    int width = 8;
    int height = 8;
    // 1 (grey), 3 (RGB) or 4 (CMYK).
    int components = 3;
    int quality = 90;
    bool progressive = false;
    // An EXIF orientation tag (1 to 8) in an APP1 block; 0 writes none.
    int exifOrientation = 0;
    // A JPEG file carried in the EXIF block as the picture's thumbnail; empty writes none.
    std::string exifThumbnail;
    // Sample `c` of the pixel at (x, y).
    std::function<std::uint8_t(int x, int y, int c)> sample = [](int x, int y, int c) {
        return static_cast<std::uint8_t>((x * 7 + y * 3 + c * 50) & 0xFF);
    };
    // When set, fills row y (width × components samples) at once, in place of `sample`: for large pictures.
    std::function<void(int y, std::uint8_t* row)> fillRow;

    std::string encode() const;
};

}  // namespace ql::test
