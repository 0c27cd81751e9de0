#include "images/picker/PKUtil.h"

#include "ui/HexColorComponent.h"

namespace ql {

std::shared_ptr<ui::Color> PKUtil::getColor(std::string_view hex) {
    if (hex.size() < 6) return nullptr;
    const auto red = hexColorComponent(hex.substr(0, 2));
    const auto green = hexColorComponent(hex.substr(2, 2));
    const auto blue = hexColorComponent(hex.substr(4, 2));
    if (!red || !green || !blue) return nullptr;
    return ui::Color::colorWithRed(*red, *green, *blue, 1);
}

std::shared_ptr<ui::Image> PKUtil::stretchImage(const std::shared_ptr<ui::Image>& image, const cg::EdgeInsets& capInsets,
                                                ui::ImageResizingMode resizingMode) {
    return image ? image->resizableImageWithCapInsets(capInsets, resizingMode) : nullptr;
}

}  // namespace ql
