#include "platform/graphics/ImageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "platform/graphics/ImageCodecs.h"

namespace ql::cg {

namespace {

// Pieces read while looking for the header, and while decoding.
constexpr std::size_t kHeaderPiece = std::size_t{64} << 10;
constexpr std::size_t kDecodePiece = std::size_t{1} << 20;
// A header that has not ended by then (markers upon markers) is not read further.
constexpr std::size_t kMaxHeaderBytes = std::size_t{16} << 20;

bool regularWithinBound(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_size >= 0 && static_cast<std::size_t>(info.st_size) <= kMaxImageFileBytes;
}

std::unique_ptr<IncrementalDecoder> headerReaderFor(ImageType type) {
    switch (type) {
    case ImageType::PNG: return makePNGHeaderReader();
    case ImageType::JPEG: return makeJPEGHeaderReader();
    default: return nullptr;
    }
}

// Whether two sizes have the same proportions, but for the rounding of the smaller one's sides.
bool sameProportions(int w1, int h1, int w2, int h2) {
    const double cross = static_cast<double>(w1) * h2 - static_cast<double>(h1) * w2;
    const double tolerance = static_cast<double>(std::max(w1, h1)) * std::max(w2, h2) * 0.02;
    return std::abs(cross) <= tolerance;
}

}  // namespace

std::unique_ptr<ImageFile> ImageFile::open(const std::string& path) {
    // Looked at before it is opened: opening a device can do things, and opening a FIFO can wait.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !regularWithinBound(info)) return nullptr;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) return nullptr;
    // The name may have been given to something else in between.
    if (::fstat(descriptor, &info) != 0 || !regularWithinBound(info)) {
        ::close(descriptor);
        return nullptr;
    }
    std::unique_ptr<ImageFile> file(new ImageFile(descriptor, static_cast<std::size_t>(info.st_size)));
    if (!file->readMore(kHeaderPiece)) return nullptr;
    file->type_ = imageTypeOf(file->head_);
    if (file->type_ == ImageType::GIF) {
        while (file->readMore(kDecodePiece)) {}
        // The logical screen's size; the first frame says the rest.
        const auto& b = file->head_;
        if (b.size() < 10) return nullptr;
        file->properties_.pixelWidth = b[6] | b[7] << 8;
        file->properties_.pixelHeight = b[8] | b[9] << 8;
        return file;
    }
    auto reader = headerReaderFor(file->type_);
    if (!reader) return nullptr;
    reader->feed(file->head_);
    while (!reader->finished() && file->head_.size() < kMaxHeaderBytes) {
        const std::size_t before = file->head_.size();
        if (!file->readMore(kHeaderPiece)) break;
        reader->feed(std::span<const std::uint8_t>(file->head_).subspan(before));
    }
    auto header = reader->header();
    if (!header) return nullptr;
    file->properties_ = *header;
    file->thumbnail_ = reader->embeddedThumbnail();
    return file;
}

ImageFile::~ImageFile() { ::close(descriptor_); }

bool ImageFile::readMore(std::size_t piece) {
    const std::size_t at = head_.size();
    if (at >= size_) return false;
    head_.resize(at + std::min(piece, size_ - at));
    while (true) {
        const ssize_t got = ::pread(descriptor_, head_.data() + at, head_.size() - at, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        head_.resize(at + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        return got > 0;
    }
}

std::shared_ptr<const Image> ImageFile::createImage(double maxReduction) {
    const Reduction reduction{maxReduction, true};
    if (type_ == ImageType::GIF) {
        auto frames = decodeGIF(head_, false, 1, reduction);
        return frames.empty() ? nullptr : frames.front().image;
    }
    auto decoder = type_ == ImageType::PNG ? makePNGDecoder(reduction) : makeJPEGDecoder(reduction);
    decoder->feed(head_);
    // The rest comes in pieces and is let go of once fed: the decoder keeps only what it has not used.
    std::vector<std::uint8_t> piece(kDecodePiece);
    for (std::size_t at = head_.size(); !decoder->finished() && at < size_;) {
        const ssize_t got = ::pread(descriptor_, piece.data(), std::min(piece.size(), size_ - at), static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        decoder->feed(std::span<const std::uint8_t>(piece.data(), static_cast<std::size_t>(got)));
        at += static_cast<std::size_t>(got);
    }
    auto decoded = decoder->image(false);
    return decoded ? decoded->image : nullptr;
}

std::shared_ptr<const Image> ImageFile::embeddedThumbnail() const {
    if (thumbnail_.empty()) return nullptr;
    auto decoded = decodeJPEG(thumbnail_, false);
    if (!decoded || !decoded->image) return nullptr;
    const Image& image = *decoded->image;
    if (!sameProportions(image.width(), image.height(), properties_.pixelWidth, properties_.pixelHeight)) return nullptr;
    return decoded->image;
}

}  // namespace ql::cg
