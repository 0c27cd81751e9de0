#include "images/picker/PKUtil.h"

#include "platform/foundation/Bundle.h"
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

std::shared_ptr<ui::Image> PKUtil::loadImageFromBundle(std::string_view relativePath) {
    // Joined as one path component is appended to another: one separator between them.
    while (relativePath.starts_with('/')) relativePath.remove_prefix(1);
    std::string path = ns::Bundle::main().resourcePath();
    if (!path.ends_with('/')) path += '/';
    return ui::Image::imageWithContentsOfFile(path + std::string(relativePath));
}

}  // namespace ql
