#pragma once
// PKUtil: the picker's look: colours from six hexadecimal digits, stretched images and images read from the
// app's resources by path.

#include <memory>
#include <string_view>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"

namespace ql {

class PKUtil {
public:
    // "282828" → the opaque colour of red 0x28, green 0x28, blue 0x28 (of 255); either case. A text whose
    // first six characters are not all hexadecimal digits gives none.
    static std::shared_ptr<ui::Color> getColor(std::string_view hex);
    static std::shared_ptr<ui::Image> stretchImage(const std::shared_ptr<ui::Image>& image, const cg::EdgeInsets& capInsets,
                                                   ui::ImageResizingMode resizingMode);
    // The image in the file at `relativePath` inside the main bundle's resources ("ImageResources.bundle/
    // icon.png"); none when there is no such image.
    static std::shared_ptr<ui::Image> loadImageFromBundle(std::string_view relativePath);
};

}  // namespace ql
