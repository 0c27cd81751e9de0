#include "images/webimage/ImageGIF.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/graphics/ImageFile.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Screen.h"

namespace ql {

float wi_frameDurationAtIndex(std::size_t index, cg::ImageSource& source) {
    float duration = 0.1f;
    if (const auto properties = source.properties(index)) {
        if (properties->gifUnclampedDelayTime) duration = static_cast<float>(*properties->gifUnclampedDelayTime);
        else if (properties->gifDelayTime) duration = static_cast<float>(*properties->gifDelayTime);
    }
    // Browsers and the platform treat delays this short as "as fast as possible", which GIFs rely on.
    if (duration < 0.011f) duration = 0.1f;
    return duration;
}

std::shared_ptr<ui::Image> wi_animatedGIFWithData(const ns::Data& data) {
    cg::ImageSource source(data);
    const std::size_t count = source.count();
    if (count <= 1) return ui::Image::imageWithData(data);
    const double scale = ui::Screen::mainScreen().scale();
    std::vector<std::shared_ptr<ui::Image>> frames;
    frames.reserve(count);
    double duration = 0;
    for (std::size_t i = 0; i < count; ++i) {
        auto bitmap = source.createImage(i);
        if (!bitmap) continue;
        duration += wi_frameDurationAtIndex(i, source);
        frames.push_back(ui::Image::imageWithCGImage(std::move(bitmap), scale, ui::ImageOrientation::Up));
    }
    if (duration == 0) duration = 0.1 * static_cast<double>(count);
    return ui::Image::animatedImageWithImages(std::move(frames), duration);
}

std::shared_ptr<ui::Image> wi_animatedGIFNamed(std::string_view name) {
    const std::string base(name);
    if (ui::Screen::mainScreen().scale() > 1) {
        if (auto path = ns::Bundle::main().pathForResource(base + "@2x", "gif")) {
            if (auto data = ns::dataWithContentsOfFile(*path, cg::kMaxImageFileBytes)) return wi_animatedGIFWithData(*data);
        }
    }
    if (auto path = ns::Bundle::main().pathForResource(base, "gif")) {
        if (auto data = ns::dataWithContentsOfFile(*path, cg::kMaxImageFileBytes)) return wi_animatedGIFWithData(*data);
    }
    return ui::Image::imageNamed(name);
}

std::shared_ptr<ui::Image> wi_animatedImageByScalingAndCroppingToSize(const std::shared_ptr<ui::Image>& image,
                                                                      cg::Size size) {
    if (!image) return nullptr;
    const cg::Size own = image->size();
    if ((size.width == own.width && size.height == own.height) || (size.width == 0 && size.height == 0)) return image;
    const double widthFactor = size.width / own.width;
    const double heightFactor = size.height / own.height;
    const double factor = std::max(widthFactor, heightFactor);
    const cg::Size scaled{own.width * factor, own.height * factor};
    cg::Point origin{0, 0};
    if (widthFactor > heightFactor) origin.y = (size.height - scaled.height) * 0.5;
    else if (widthFactor < heightFactor) origin.x = (size.width - scaled.width) * 0.5;

    std::vector<std::shared_ptr<ui::Image>> frames;
    const auto& sources = image->images().empty() ? std::vector<std::shared_ptr<ui::Image>>{image} : image->images();
    for (const auto& frame : sources) {
        const ui::ImageContextScope scope(size, false, 0);
        if (!scope.context()) return nullptr;
        frame->drawInRect({origin, scaled});
        frames.push_back(scope.image());
    }
    return ui::Image::animatedImageWithImages(std::move(frames), image->duration());
}

}  // namespace ql
