#include "images/webimage/ImageDecoding.h"

#include <utility>
#include <vector>

#include "images/webimage/ImageGIF.h"
#include "platform/foundation/Text.h"
#include "platform/graphics/ImageSource.h"
#include "platform/ui/Screen.h"

namespace ql {

std::optional<std::string> wi_contentTypeForImageData(const ns::Data& data) {
    if (data.empty()) return std::nullopt;
    switch (data.bytes()[0]) {
        case 0xFF: return "image/jpeg";
        case 0x89: return "image/png";
        case 0x47: return "image/gif";
        case 0x49:
        case 0x4D: return "image/tiff";
        case 0x52: {
            if (data.length() < 12) return std::nullopt;
            const std::string_view head = data.view().substr(0, 12);
            if (head.starts_with("RIFF") && head.ends_with("WEBP")) return "image/webp";
            return std::nullopt;
        }
        default: return std::nullopt;
    }
}

ui::ImageOrientation wi_exifOrientationToiOSOrientation(long exifOrientation) {
    switch (exifOrientation) {
        case 1: return ui::ImageOrientation::Up;
        case 2: return ui::ImageOrientation::UpMirrored;
        case 3: return ui::ImageOrientation::Down;
        case 4: return ui::ImageOrientation::DownMirrored;
        case 5: return ui::ImageOrientation::LeftMirrored;
        case 6: return ui::ImageOrientation::Right;
        case 7: return ui::ImageOrientation::RightMirrored;
        case 8: return ui::ImageOrientation::Left;
        default: return ui::ImageOrientation::Up;
    }
}

namespace {

ui::ImageOrientation orientationOf(cg::ImageSource& source) {
    const auto properties = source.properties(0);
    if (!properties || !properties->orientation) return ui::ImageOrientation::Up;
    return wi_exifOrientationToiOSOrientation(*properties->orientation);
}

}  // namespace

ui::ImageOrientation wi_imageOrientationFromImageData(const ns::Data& data) {
    cg::ImageSource source(data);
    return orientationOf(source);
}

std::shared_ptr<ui::Image> wi_imageWithData(const std::optional<ns::Data>& data) {
    if (!data) return nullptr;
    if (wi_contentTypeForImageData(*data) == "image/gif") return wi_animatedGIFWithData(*data);
    cg::ImageSource source(*data);
    return wi_imageWithSource(source);
}

std::shared_ptr<ui::Image> wi_imageWithSource(cg::ImageSource& source) {
    // One source answers both the pixels and the orientation, so the data is parsed once.
    auto bitmap = source.createImage(0);
    if (!bitmap) return nullptr;
    return ui::Image::imageWithCGImage(std::move(bitmap), 1, orientationOf(source));
}

std::shared_ptr<ui::Image> ScaledImageForCacheKey(std::string_view key, const std::shared_ptr<ui::Image>& image) {
    if (!image) return nullptr;
    if (!image->images().empty()) {
        std::vector<std::shared_ptr<ui::Image>> frames;
        frames.reserve(image->images().size());
        for (const auto& frame : image->images()) frames.push_back(ScaledImageForCacheKey(key, frame));
        return ui::Image::animatedImageWithImages(std::move(frames), image->duration());
    }
    double scale = ui::Screen::mainScreen().scale();
    if (ns::utf16Length(key) >= 8) {
        if (key.find("@2x.") != std::string_view::npos) scale = 2;
        if (key.find("@3x.") != std::string_view::npos) scale = 3;
    }
    return ui::Image::imageWithCGImage(image->CGImage(), scale, image->imageOrientation());
}

std::shared_ptr<ui::Image> decodedImageWithImage(const std::shared_ptr<ui::Image>& image) {
    if (!image || !image->images().empty() || !image->CGImage()) return image;
    const cg::Image& bitmap = *image->CGImage();
    switch (bitmap.alphaInfo()) {
        case cg::ImageAlphaInfo::PremultipliedLast:
        case cg::ImageAlphaInfo::PremultipliedFirst:
        case cg::ImageAlphaInfo::Last:
        case cg::ImageAlphaInfo::First: return image;
        default: break;
    }
    // Bitmaps are held decoded already (premultiplied ARGB), so drawing one into a fresh context would
    // copy the same pixels: what the redraw changes is only how the bitmap is described. Scale and
    // orientation stay, so that a picture taken sideways or a "@2x" image keeps its shape once decoded.
    cg::ImageLayout layout = bitmap.layout();
    layout.alphaInfo = cg::ImageAlphaInfo::PremultipliedFirst;
    layout.bitsPerPixel = 32;
    switch (layout.colorModel) {
        case cg::ColorSpaceModel::Monochrome:
        case cg::ColorSpaceModel::Indexed:
        case cg::ColorSpaceModel::Unknown: layout.colorModel = cg::ColorSpaceModel::RGB; break;
        default: break;
    }
    return ui::Image::imageWithCGImage(bitmap.withLayout(layout), image->scale(), image->imageOrientation());
}

}  // namespace ql
