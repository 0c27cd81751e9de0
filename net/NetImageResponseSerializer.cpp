#include "net/NetImageResponseSerializer.h"

#include <mutex>
#include <vector>

#include "net/NetStrings.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageSource.h"
#include "platform/ui/Screen.h"

namespace ql {

namespace {

constexpr std::string_view kImageScaleKey = "imageScale";
constexpr std::string_view kInflatesKey = "automaticallyInflatesResponseImage";
constexpr std::size_t kMaximumInflatedPixels = 1024 * 1024;

std::shared_ptr<ui::Image> animatedImage(cg::ImageSource& source) {
    std::vector<std::shared_ptr<ui::Image>> frames;
    double duration = 0;
    for (std::size_t index = 0; index < source.count(); ++index) {
        auto bitmap = source.createImage(index);
        if (!bitmap) continue;
        frames.push_back(ui::Image::imageWithCGImage(std::move(bitmap)));
        if (auto properties = source.properties(index)) duration += properties->gifDelayTime.value_or(0);
    }
    return ui::Image::animatedImageWithImages(std::move(frames), duration);
}

// The bitmap of a PNG or JPEG reply, decoded by the type the reply names.
std::shared_ptr<const cg::Image> bitmapByMIMEType(const std::shared_ptr<ns::URLResponse>& response, const ns::Data& data) {
    if (!response || !response->MIMEType()) return nullptr;
    const std::string& type = *response->MIMEType();
    const cg::ImageType expected = type == "image/png" ? cg::ImageType::PNG
                                   : type == "image/jpeg" ? cg::ImageType::JPEG
                                                          : cg::ImageType::Unknown;
    if (expected == cg::ImageType::Unknown || cg::imageTypeOf(data.span()) != expected) return nullptr;
    auto bitmap = cg::ImageSource(data).createImage(0);
    if (bitmap && expected == cg::ImageType::JPEG && bitmap->layout().colorModel == cg::ColorSpaceModel::CMYK)
        return nullptr;
    return bitmap;
}

// Opaque bitmaps skip their fourth byte; everything else is drawn with premultiplied alpha first.
std::uint32_t redrawBitmapInfo(cg::ImageAlphaInfo alpha) {
    switch (alpha) {
        case cg::ImageAlphaInfo::None:
        case cg::ImageAlphaInfo::NoneSkipFirst: return static_cast<std::uint32_t>(cg::ImageAlphaInfo::NoneSkipFirst);
        case cg::ImageAlphaInfo::NoneSkipLast: return static_cast<std::uint32_t>(cg::ImageAlphaInfo::NoneSkipLast);
        default: return static_cast<std::uint32_t>(cg::ImageAlphaInfo::PremultipliedFirst);
    }
}

}  // namespace

std::shared_ptr<ui::Image> net_safeImageWithData(const ns::Data& data) {
    static std::mutex decoding;
    std::lock_guard lock(decoding);
    if (cg::imageTypeOf(data.span()) == cg::ImageType::GIF) {
        cg::ImageSource source(data);
        if (source.count() > 1) return animatedImage(source);
    }
    return ui::Image::imageWithData(data);
}

std::shared_ptr<ui::Image> NetImageFromDataAtScale(const ns::Data& data, double scale) {
    auto image = net_safeImageWithData(data);
    if (!image || !image->images().empty()) return image;
    return ui::Image::imageWithCGImage(image->CGImage(), scale, image->imageOrientation());
}

std::shared_ptr<ui::Image> NetInflatedImageFromData(const std::shared_ptr<ns::URLResponse>& response,
                                                    const std::optional<ns::Data>& data, double scale) {
    if (!data || data->empty()) return nullptr;
    std::shared_ptr<const cg::Image> bitmap = bitmapByMIMEType(response, *data);
    std::shared_ptr<ui::Image> image = NetImageFromDataAtScale(*data, scale);
    if (!bitmap) {
        if (!image || !image->images().empty()) return image;
        bitmap = image->CGImage();
        if (!bitmap) return nullptr;
    }

    const auto width = static_cast<std::size_t>(bitmap->width());
    const auto height = static_cast<std::size_t>(bitmap->height());
    if (width * height > kMaximumInflatedPixels || bitmap->bitsPerComponent() > 8) return image;

    auto context = cg::BitmapContext::create(width, height, static_cast<std::size_t>(bitmap->bitsPerComponent()), 0,
                                             cg::ColorSpace::deviceRGB(), redrawBitmapInfo(bitmap->alphaInfo()));
    if (!context) return image;
    context->drawImage(cg::Rect{0, 0, static_cast<double>(width), static_cast<double>(height)}, *bitmap);
    auto inflated = context->takeImage();
    if (!inflated) return image;
    return ui::Image::imageWithCGImage(std::move(inflated), scale,
                                       image ? image->imageOrientation() : ui::ImageOrientation::Up);
}

NetImageResponseSerializer::NetImageResponseSerializer() : imageScale_(ui::Screen::mainScreen().scale()) {
    setAcceptableContentTypes(ContentTypes{"image/tiff", "image/jpeg", "image/gif", "image/png", "image/ico",
                                           "image/x-icon", "image/bmp", "image/x-bmp", "image/x-xbitmap",
                                           "image/x-win-bitmap"});
}

std::shared_ptr<NetImageResponseSerializer> NetImageResponseSerializer::serializer() {
    return std::make_shared<NetImageResponseSerializer>();
}

ns::Value NetImageResponseSerializer::responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                                                const std::optional<ns::Data>& data,
                                                                std::optional<ns::Error>* error) const {
    if (!validateForParsing(response, data, error)) return ns::Value();
    std::shared_ptr<ui::Image> image;
    if (automaticallyInflatesResponseImage_) image = NetInflatedImageFromData(response, data, imageScale_);
    else if (data) image = NetImageFromDataAtScale(*data, imageScale_);
    if (image) return ns::Value(image);
    // Bytes that are no image are a failure, never a success without an object.
    if (data && !data->empty() && error) {
        *error = NetErrorAddingUnderlyingError(
            NetResponseSerializationError(NetURLErrorCannotDecodeContentData,
                                          NetLocalizedString("Data failed decoding as an image"), response, data),
            *error);
    }
    return ns::Value();
}

void NetImageResponseSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    NetHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(ns::Value(imageScale_), kImageScaleKey);
    coder.encodeBool(automaticallyInflatesResponseImage_, kInflatesKey);
}

bool NetImageResponseSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!NetHTTPResponseSerializer::initWithCoder(coder)) return false;
    imageScale_ = coder.decodeObjectOfClass(*ns::Class::named("NSNumber"), kImageScaleKey).doubleValue();
    automaticallyInflatesResponseImage_ = coder.decodeBoolForKey(kInflatesKey);
    return true;
}

std::shared_ptr<ns::Object> NetImageResponseSerializer::copy() const {
    auto made = makeSameClass<NetImageResponseSerializer>();
    if (!made) return nullptr;
    made->imageScale_ = imageScale_;
    made->automaticallyInflatesResponseImage_ = automaticallyInflatesResponseImage_;
    return made;
}

}  // namespace ql
