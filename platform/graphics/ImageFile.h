#pragma once
// cg::ImageFile: a picture in a file, read to be shown, most often smaller than it is. Only a regular file
// is read: a FIFO, socket or device is refused without waiting on it, and so is a file larger than
// kMaxImageFileBytes. Opening reads the header only. A PNG or JPEG is then decoded as it is read, in
// pieces, so that no file is held whole, and reduced while it is decoded, so that the pixel budget bounds
// what is decoded rather than the file: a picture over the budget comes out reduced instead of not at all.
// A GIF, which its decoder reads whole, is read whole.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/graphics/ImageSource.h"

namespace ql::cg {

inline constexpr std::size_t kMaxImageFileBytes = std::size_t{256} << 20;

class ImageFile {
public:
    // Nullptr unless `path` names a regular file of at most kMaxImageFileBytes whose header reads as a PNG,
    // JPEG or GIF picture.
    static std::unique_ptr<ImageFile> open(const std::string& path);
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    ImageType type() const { return type_; }
    // The header's: the picture's full size in pixels as stored, and the orientation it is shown in.
    const ImageProperties& properties() const { return properties_; }

    // The picture (a GIF's first frame), reduced while decoding by the largest factor the format offers up
    // to `maxReduction` (1 keeps every pixel), and by as much more as the pixel budget needs. As stored: the
    // orientation is not applied. Nullptr when the rest of the file does not read as that picture.
    std::shared_ptr<const Image> createImage(double maxReduction);

    // The small copy of the picture that a JPEG's EXIF block may carry, decoded, as stored; nullptr without
    // one, and when its proportions differ from the picture's: then it was not turned with the picture, or
    // has bars around it, and would show the picture some other way than the picture itself.
    std::shared_ptr<const Image> embeddedThumbnail() const;

private:
    ImageFile(int descriptor, std::size_t size) : descriptor_(descriptor), size_(size) {}
    // Reads the next piece into `head_`; false at the end of the file or on an error.
    bool readMore(std::size_t piece);

    int descriptor_;
    std::size_t size_;
    ImageType type_ = ImageType::Unknown;
    ImageProperties properties_;
    // The bytes read for the header (all of a GIF).
    std::vector<std::uint8_t> head_;
    std::vector<std::uint8_t> thumbnail_;
};

}  // namespace ql::cg
