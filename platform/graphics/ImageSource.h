#pragma once
// cg::ImageSource: reads the images in encoded data (PNG, JPEG, GIF with all its frames) and their
// properties. A source made over data that is still arriving (`incomplete`) answers from what is there:
// header properties as soon as the header is in, and images of the part decoded so far. A source over
// complete data refuses truncated or corrupt input instead. Frames are decoded only as far as asked for.
// An incremental source is given the data again each time more has arrived, and reads only what is new,
// keeping its decoder's state in between; while data is still arriving it offers a GIF's first frame only,
// once that frame is whole. Not for concurrent use.

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/graphics/Image.h"

namespace ql::cg {

enum class ImageType { Unknown, PNG, JPEG, GIF };

class IncrementalDecoder;
class GIFFrameScanner;

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
    // Incremental: empty until updated.
    ImageSource();
    ~ImageSource();
    ImageSource(const ImageSource&) = delete;
    ImageSource& operator=(const ImageSource&) = delete;

    // All the data so far, `final` once it is complete; nothing changes after the final update. Only a
    // final GIF is kept: still images are decoded as they come and hold no copy of the data.
    void updateData(const ns::Data& data, bool final);

    ImageType type() const { return type_; }
    // The number of images (GIF frames); 0 when the data holds none that can be read.
    std::size_t count();
    std::optional<ImageProperties> properties(std::size_t index);
    std::shared_ptr<const Image> createImage(std::size_t index);

private:
    bool isStill() const { return type_ == ImageType::PNG || type_ == ImageType::JPEG; }
    // Decodes the still image, or the frames up to `frames`, unless that is done already.
    void decode(std::size_t frames);
    void readHeader(std::span<const std::uint8_t> bytes);

    ns::Data data_;
    bool incomplete_;
    ImageType type_;
    std::optional<ImageProperties> header_;
    // Incremental sources: the still image's decoder, how many bytes it has had, and a GIF's first frame.
    std::unique_ptr<IncrementalDecoder> decoder_;
    std::size_t fed_ = 0;
    bool final_ = false;
    std::unique_ptr<GIFFrameScanner> scanner_;
    // What is decoded: images and their properties, and how many frames were asked for (0: nothing yet).
    std::size_t framesDecoded_ = 0;
    std::vector<std::shared_ptr<const Image>> images_;
    std::vector<ImageProperties> properties_;
};

// The first image of the data, or nullptr.
std::shared_ptr<const Image> decodeImage(const ns::Data& data);

}  // namespace ql::cg
