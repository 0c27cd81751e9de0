#pragma once
// The small image functions the web-image cache and its downloads share: sniffing the format of image
// bytes, turning bytes into an image (animated for GIF, oriented by EXIF otherwise), giving an image the
// scale its cache key names ("@2x."), and decoding an image ahead of its first display.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/graphics/ImageSource.h"
#include "platform/ui/Image.h"

namespace ql {

// "image/jpeg", "image/png", "image/gif", "image/tiff" or "image/webp" by the first bytes; nothing for
// other or empty data.
std::optional<std::string> wi_contentTypeForImageData(const ns::Data& data);

// The image in the data: animated for a GIF of several frames, else the first image turned as its EXIF
// orientation says. Nothing for missing or undecodable data (WebP is recognised but not decoded).
std::shared_ptr<ui::Image> wi_imageWithData(const std::optional<ns::Data>& data);
// The first image of a source, turned as its EXIF orientation says; nothing when it has none.
std::shared_ptr<ui::Image> wi_imageWithSource(cg::ImageSource& source);
// The orientation the data's first image carries; up when it carries none.
ui::ImageOrientation wi_imageOrientationFromImageData(const ns::Data& data);
// EXIF values 1 to 8 to the platform's orientations; anything else is up.
ui::ImageOrientation wi_exifOrientationToiOSOrientation(long exifOrientation);

// The image at the screen's scale, or at 2 or 3 when the key names an "@2x." or "@3x." file; an animated
// image has each frame scaled the same way.
std::shared_ptr<ui::Image> ScaledImageForCacheKey(std::string_view key, const std::shared_ptr<ui::Image>& image);

// The image ready to draw without further decoding. Animated images and images with alpha come back as they
// are; opaque ones are redrawn into a bitmap with premultiplied alpha first, keeping their scale and
// orientation.
std::shared_ptr<ui::Image> decodedImageWithImage(const std::shared_ptr<ui::Image>& image);

}  // namespace ql
