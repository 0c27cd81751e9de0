#pragma once
// Encoding bitmaps as PNG (lossless, with alpha when the bitmap's layout has it) and JPEG.

#include <optional>

#include "platform/foundation/Data.h"
#include "platform/graphics/Image.h"

namespace ql::cg {

std::optional<ns::Data> encodePNG(const Image& image);
// Quality from 0 (smallest) to 1 (best); an EXIF orientation other than 1 is written into the file. Alpha
// is dropped: transparent parts come out as if drawn over black.
std::optional<ns::Data> encodeJPEG(const Image& image, double quality, int exifOrientation = 1);

}  // namespace ql::cg
