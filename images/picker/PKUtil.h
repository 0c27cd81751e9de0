#pragma once
// PKUtil: the picker's look: colours from six hexadecimal digits and stretched images.

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
};

}  // namespace ql
