#include "platform/graphics/ImageSource.h"

#include <algorithm>
#include <cstdint>
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
    : data_(std::move(data)), incomplete_(incomplete), type_(imageTypeOf(data_.span())), final_(true) {
    readHeader(data_.span());
}

ImageSource::ImageSource() : incomplete_(true), type_(ImageType::Unknown) {}

ImageSource::~ImageSource() = default;

void ImageSource::readHeader(std::span<const std::uint8_t> bytes) {
    switch (type_) {
    case ImageType::PNG: header_ = readPNGProperties(bytes); break;
    case ImageType::JPEG: header_ = readJPEGProperties(bytes); break;
    default: break;
    }
}

void ImageSource::updateData(const ns::Data& data, bool final) {
    if (final_) return;
    final_ = final;
    incomplete_ = !final;
    const auto bytes = data.span();
    if (type_ == ImageType::Unknown) type_ = imageTypeOf(bytes);
    if (!header_) readHeader(bytes);
    auto forgetDecoded = [this] {
        framesDecoded_ = 0;
        images_.clear();
        properties_.clear();
    };
    if (isStill()) {
        if (!decoder_) decoder_ = type_ == ImageType::PNG ? makePNGDecoder() : makeJPEGDecoder();
        if (bytes.size() > fed_) decoder_->feed(bytes.subspan(fed_));
        fed_ = std::max(fed_, bytes.size());
        forgetDecoded();
    } else if (type_ == ImageType::GIF) {
        if (final) {
            data_ = data;
            forgetDecoded();
            return;
        }
        // The first frame is decoded when asked for, once, from its own bytes: only those are kept.
        if (!scanner_) scanner_ = std::make_unique<GIFFrameScanner>();
        if (data_.empty()) {
            if (auto end = scanner_->firstFrameEnd(bytes)) {
                data_ = data.subdata(0, *end);
                forgetDecoded();
            }
        }
    }
}

void ImageSource::decode(std::size_t frames) {
    if (framesDecoded_ >= frames) return;
    framesDecoded_ = incomplete_ ? frames : SIZE_MAX;
    images_.clear();
    properties_.clear();
    std::optional<DecodedImage> single;
    switch (type_) {
    case ImageType::PNG:
    case ImageType::JPEG:
        if (decoder_) single = decoder_->image(incomplete_);
        else if (type_ == ImageType::PNG) single = decodePNG(data_.span(), incomplete_);
        else single = decodeJPEG(data_.span(), incomplete_);
        break;
    case ImageType::GIF:
        // Data still arriving is decoded only as far as asked for (an incremental source holds the first
        // frame's bytes at most then); complete data all through, so that an animation over the pixel budget
        // is refused whichever frame is asked for.
        for (DecodedImage& frame : decodeGIF(data_.span(), incomplete_, incomplete_ ? frames : SIZE_MAX)) {
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
    if (isStill()) {
        if (!header_) return 0;
        if (incomplete_) return 1;
    }
    decode(SIZE_MAX);
    return images_.size();
}

std::optional<ImageProperties> ImageSource::properties(std::size_t index) {
    if (isStill() && index == 0) return header_;
    decode(index == SIZE_MAX ? index : index + 1);
    if (index >= properties_.size()) return std::nullopt;
    return properties_[index];
}

std::shared_ptr<const Image> ImageSource::createImage(std::size_t index) {
    decode(index == SIZE_MAX ? index : index + 1);
    return index < images_.size() ? images_[index] : nullptr;
}

std::shared_ptr<const Image> decodeImage(const ns::Data& data) { return ImageSource(data).createImage(0); }

}  // namespace ql::cg
