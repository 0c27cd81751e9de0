#pragma once
// The decoders behind ImageSource. They never throw and never trust sizes in headers beyond the image
// limits; `partial` asks for the rows (or frames) decoded before the data ran out instead of failing.
// Internal to the graphics library.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageEncoding.h"
#include "platform/graphics/ImageSource.h"

namespace ql::cg {

struct DecodedImage {
    std::shared_ptr<const Image> image;
    ImageProperties properties;
};

// How far a decoder may reduce a picture while decoding it: by up to `maxReduction` each way (1 keeps every
// pixel), and with `fitBudget` by as much more as it takes to bring a picture larger than the pixel budget
// within it, where it would otherwise refuse the picture. Reduced pictures are decoded only whole.
struct Reduction {
    double maxReduction = 1;
    bool fitBudget = false;
};

// The smallest whole factor that brings a picture of that size within the image limits by keeping every
// n-th pixel of every n-th row.
inline std::size_t subsamplingForBudget(std::size_t width, std::size_t height) {
    if (width == 0 || height == 0) return 1;
    std::size_t n = 1;
    while (!imageSizeAllowed((width + n - 1) / n, (height + n - 1) / n)) ++n;
    return n;
}

// The factor of subsampling for `reduction` of a picture of that size.
inline std::size_t subsamplingFactor(const Reduction& reduction, std::size_t width, std::size_t height) {
    std::size_t n = reduction.maxReduction >= 2 ? static_cast<std::size_t>(std::min(reduction.maxReduction, 65536.0)) : 1;
    if (reduction.fitBudget) n = std::max(n, subsamplingForBudget(width, height));
    return n;
}

std::optional<ImageProperties> readPNGProperties(std::span<const std::uint8_t> bytes);
std::optional<DecodedImage> decodePNG(std::span<const std::uint8_t> bytes, bool partial);

std::optional<ImageProperties> readJPEGProperties(std::span<const std::uint8_t> bytes);
std::optional<DecodedImage> decodeJPEG(std::span<const std::uint8_t> bytes, bool partial);

// The frames up to `maxFrames`, composed onto the logical screen as a viewer shows them. An animation whose
// frames together exceed the pixel budget gives none.
std::vector<DecodedImage> decodeGIF(std::span<const std::uint8_t> bytes, bool partial,
                                    std::size_t maxFrames = SIZE_MAX, Reduction reduction = {});

// Walks a GIF's blocks as its data grows, without decoding them, to learn where the first frame ends, so
// that a first frame still arriving is decoded once, when it is whole. Each call reads on from where the
// last stopped; `bytes` is all the data so far.
class GIFFrameScanner {
public:
    std::optional<std::size_t> firstFrameEnd(std::span<const std::uint8_t> bytes);

private:
    enum class Phase { Header, Block, SubBlocks };
    Phase phase_ = Phase::Header;
    std::size_t position_ = 0;
    bool inFrame_ = false;
    bool failed_ = false;
    std::optional<std::size_t> end_;
};

// A decoder that keeps its state between pieces of data, so that every byte is read once however the data
// arrives. `feed` takes the bytes after those fed before and keeps what it still needs of them.
class IncrementalDecoder {
public:
    virtual ~IncrementalDecoder() = default;
    virtual void feed(std::span<const std::uint8_t> bytes) = 0;
    // The image of what has been fed: only a whole one, or with `partial` the part decoded so far (rows
    // from the top, or a progressive image at the detail reached). Nothing when there is none yet or the
    // data is broken.
    virtual std::optional<DecodedImage> image(bool partial) = 0;
    // Whether more data would change nothing: the image is whole, or the data is broken.
    virtual bool finished() const = 0;
    // The header's properties, once the header is in.
    virtual std::optional<ImageProperties> header() const = 0;
    // A picture file's own small copy of the picture, encoded, as the header carries it (a JPEG's EXIF
    // thumbnail); empty when it has none.
    virtual std::vector<std::uint8_t> embeddedThumbnail() const { return {}; }
};

std::unique_ptr<IncrementalDecoder> makePNGDecoder(Reduction reduction = {});
std::unique_ptr<IncrementalDecoder> makeJPEGDecoder(Reduction reduction = {});
// Decoders that read the header only: finished once it is in.
std::unique_ptr<IncrementalDecoder> makePNGHeaderReader();
std::unique_ptr<IncrementalDecoder> makeJPEGHeaderReader();

// The orientation tag (1 to 8) of an EXIF block (the APP1 payload after "Exif\0\0"), if it has one; a tag
// of any other value reads as 1 (up).
std::optional<int> exifOrientation(std::span<const std::uint8_t> tiff);
// The JPEG thumbnail of an EXIF block (the APP1 payload after "Exif\0\0"), from its second directory.
std::optional<std::span<const std::uint8_t>> exifThumbnail(std::span<const std::uint8_t> tiff);
// A minimal EXIF block holding only the orientation, with its "Exif\0\0" prefix.
std::vector<std::uint8_t> exifBlockWithOrientation(int orientation);

}  // namespace ql::cg
