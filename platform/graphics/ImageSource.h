#pragma once
// cg::ImageSource: reads the images in encoded data (PNG, JPEG, GIF with all its frames) and their
// properties. A source made over data that is still arriving (`incomplete`) answers from what is there:
// header properties as soon as the header is in, and images of the part decoded so far. A source over
// complete data refuses truncated or corrupt input instead. Not for concurrent use.

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/graphics/Image.h"

namespace ql::cg {

enum class ImageType { Unknown, PNG, JPEG, GIF };

// By signature.
ImageType imageTypeOf(std::span<const std::uint8_t> bytes);

struct ImageProperties {
    int pixelWidth = 0;
    int pixelHeight = 0;
    // The EXIF orientation (1 to 8) when the image carries one.
    std::optional<int> orientation;
    // GIF frames: the delay as written (seconds), and as the platform clamps it (0.1 below 0.011).
    std::optional<double> gifUnclampedDelayTime;
    std::optional<double> gifDelayTime;
    bool hasAlpha = false;
    int depth = 8;  // bits per component as encoded
    ColorSpaceModel colorModel = ColorSpaceModel::RGB;
    bool isProgressive = false;
};

class ImageSource {
public:
    explicit ImageSource(ns::Data data, bool incomplete = false);
    ~ImageSource();

    ImageType type() const { return type_; }
    // The number of images (GIF frames); 0 when the data holds none that can be read.
    std::size_t count();
    std::optional<ImageProperties> properties(std::size_t index);
    std::shared_ptr<const Image> createImage(std::size_t index);

private:
    void decode();

    ns::Data data_;
    bool incomplete_;
    ImageType type_;
    bool decoded_ = false;
    std::optional<ImageProperties> header_;
    std::vector<std::shared_ptr<const Image>> images_;
    std::vector<ImageProperties> properties_;
};

// The first image of the data, or nullptr.
std::shared_ptr<const Image> decodeImage(const ns::Data& data);

}  // namespace ql::cg
