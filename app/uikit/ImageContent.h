#pragma once
// Pictures of the app's own artwork: the variant drawn for the current device class, backgrounds that
// stretch in the middle, pictures read straight from their file, plain colour fills and rescaled copies.
// A picture that is missing gives nullptr, which views show as nothing.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/graphics/Geometry.h"

namespace ql::ui {
class Color;
class Image;
}  // namespace ql::ui

namespace ql {

// "name_iphone4.png", "_iphone5", "_iphone6", "_iphone6p" or "_ipad" for device classes 0 to 4; the
// plain name for any other class.
std::string imageNameForDevice(std::string_view name, std::uint64_t deviceModel);
// The picture of imageNameForDevice for the current device.
std::shared_ptr<ui::Image> imageWithDevice(std::string_view name);

// The named picture, stretched in stretch mode between the caps; when the name finds no picture there,
// imageWithContentFileName of it (not resizable). nullptr for an empty name.
std::shared_ptr<ui::Image> resizableImageName(std::string_view name, const cg::EdgeInsets& capInsets);
// "name.type" is read from that file of the main bundle, past the image cache; a name without "." is
// the named picture.
std::shared_ptr<ui::Image> imageWithContentFileName(std::string_view name);
// A picture of the refresh header's artwork folder.
std::shared_ptr<ui::Image> imagesNamedFromCustomBundle(std::string_view name);

// A bitmap of the size (scale 1) filled with the colour.
std::shared_ptr<ui::Image> imageWithColor(const ui::Color& color, cg::Size size);
// The image drawn into a new bitmap of the size (scale 1).
std::shared_ptr<ui::Image> scaleImageToSize(const ui::Image& image, cg::Size size);

}  // namespace ql
