#pragma once
// GIF conveniences of the web-image components: animated images from GIF data or a GIF resource, the
// delay of one frame, and an animated image scaled and cropped to fill a size.

#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/ImageSource.h"
#include "platform/ui/Image.h"

namespace ql {

// All frames with their delays; a GIF of one frame (or other image data) gives the still image.
std::shared_ptr<ui::Image> wi_animatedGIFWithData(const ns::Data& data);
// Seconds: the unclamped delay, else the delay, else 0.1; anything below 0.011 counts as 0.1.
float wi_frameDurationAtIndex(std::size_t index, cg::ImageSource& source);
// The main bundle's "<name>@2x.gif" on screens above scale 1, else "<name>.gif", else the image named so.
std::shared_ptr<ui::Image> wi_animatedGIFNamed(std::string_view name);
// Each frame scaled to cover `size` and centred on the axis that overflows; the image itself when the size
// is zero or already the image's.
std::shared_ptr<ui::Image> wi_animatedImageByScalingAndCroppingToSize(const std::shared_ptr<ui::Image>& image,
                                                                      cg::Size size);

}  // namespace ql
