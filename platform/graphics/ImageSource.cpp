#include "platform/graphics/ImageSource.h"

#include <cstring>

#include "platform/graphics/ImageCodecs.h"

namespace ql::cg {

ImageType imageTypeOf(std::span<const std::uint8_t> bytes) {
    static constexpr std::uint8_t kPNG[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), kPNG, 8) == 0) return ImageType::PNG;
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return ImageType::JPEG;
    if (bytes.size() >= 6 && (std::memcmp(bytes.data(), "GIF87a", 6) == 0 || std::memcmp(bytes.data(), "GIF89a", 6) == 0))
        return ImageType::GIF;
    return ImageType::Unknown;
}

ImageSource::ImageSource(ns::Data data, bool incomplete)
    : data_(std::move(data)), incomplete_(incomplete), type_(imageTypeOf(data_.span())) {
    switch (type_) {
    case ImageType::PNG: header_ = readPNGProperties(data_.span()); break;
    case ImageType::JPEG: header_ = readJPEGProperties(data_.span()); break;
    default: break;
    }
}

ImageSource::~ImageSource() = default;

void ImageSource::decode() {
    if (decoded_) return;
    decoded_ = true;
    std::optional<DecodedImage> single;
    switch (type_) {
    case ImageType::PNG: single = decodePNG(data_.span(), incomplete_); break;
    case ImageType::JPEG: single = decodeJPEG(data_.span(), incomplete_); break;
    case ImageType::GIF:
        for (DecodedImage& frame : decodeGIF(data_.span(), incomplete_)) {
            if (!frame.image) continue;
            images_.push_back(std::move(frame.image));
            properties_.push_back(frame.properties);
        }
        break;
    case ImageType::Unknown: break;
    }
    if (single && single->image) {
        images_.push_back(std::move(single->image));
        properties_.push_back(single->properties);
    }
}

std::size_t ImageSource::count() {
    // Still images count once their header is readable, before any pixel is decoded.
    if (type_ == ImageType::PNG || type_ == ImageType::JPEG) {
        if (!header_) return 0;
        if (incomplete_) return 1;
        decode();
        return images_.size();
    }
    decode();
    return images_.size();
}

std::optional<ImageProperties> ImageSource::properties(std::size_t index) {
    if ((type_ == ImageType::PNG || type_ == ImageType::JPEG) && index == 0) return header_;
    decode();
    if (index >= properties_.size()) return std::nullopt;
    return properties_[index];
}

std::shared_ptr<const Image> ImageSource::createImage(std::size_t index) {
    decode();
    return index < images_.size() ? images_[index] : nullptr;
}

std::shared_ptr<const Image> decodeImage(const ns::Data& data) { return ImageSource(data).createImage(0); }

}  // namespace ql::cg
