#include "app/uikit/ImageContent.h"

#include "platform/foundation/Bundle.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "ui/DeviceModel.h"

namespace ql {

std::string imageNameForDevice(std::string_view name, std::uint64_t deviceModel) {
    static constexpr std::string_view kSuffixes[] = {"_iphone4.png", "_iphone5.png", "_iphone6.png", "_iphone6p.png",
                                                     "_ipad.png"};
    if (deviceModel >= std::size(kSuffixes)) return std::string(name);
    return std::string(name) + std::string(kSuffixes[deviceModel]);
}

std::shared_ptr<ui::Image> imageWithDevice(std::string_view name) {
    return ui::Image::imageNamed(imageNameForDevice(name, deviceModel()));
}

std::shared_ptr<ui::Image> resizableImageName(std::string_view name, const cg::EdgeInsets& capInsets) {
    if (name.empty()) return nullptr;
    if (auto image = ui::Image::imageNamed(name)) {
        return image->resizableImageWithCapInsets(capInsets, ui::ImageResizingMode::Stretch);
    }
    return imageWithContentFileName(name);
}

std::shared_ptr<ui::Image> imageWithContentFileName(std::string_view name) {
    if (name.empty()) return nullptr;
    const auto dot = name.find('.');
    if (dot == std::string_view::npos) return ui::Image::imageNamed(name);
    const std::string_view base = name.substr(0, dot);
    std::string_view type = name.substr(dot + 1);
    type = type.substr(0, type.find('.'));
    const auto path = ns::Bundle::main().pathForResource(base, type);
    return path ? ui::Image::imageWithContentsOfFile(*path) : nullptr;
}

std::shared_ptr<ui::Image> imagesNamedFromCustomBundle(std::string_view name) {
    if (name.empty()) return nullptr;
    return ui::Image::imageWithContentsOfFile(ns::Bundle::main().resourcePath() + "/ShareViewUI.bundle/RefreshHeader" +
                                              std::string(name));
}

// Both draw in a context of their own, ended however the drawing ends; a size no context can have gives
// no picture, and leaves any context of the caller's alone.
std::shared_ptr<ui::Image> imageWithColor(const ui::Color& color, cg::Size size) {
    ui::ImageContextScope context(size, false, 1);
    if (!context.context()) return nullptr;
    color.setFill();
    context.context()->fillRect({{0, 0}, size});
    return context.image();
}

std::shared_ptr<ui::Image> scaleImageToSize(const ui::Image& image, cg::Size size) {
    ui::ImageContextScope context(size, false, 1);
    if (!context.context()) return nullptr;
    image.drawInRect({{0, 0}, size});
    return context.image();
}

}  // namespace ql
