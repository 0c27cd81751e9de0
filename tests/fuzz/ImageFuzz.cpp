// The image decoders on arbitrary bytes, as complete data and as data still arriving: they must give
// premultiplied images within the size limits or none, never crash; a complete decode must come back
// unchanged from a PNG round trip; a source over complete data never shows more images than one over
// the same bytes still arriving; an incremental source fed in pieces ends with the whole decode's image; and
// the decoders reducing while they decode keep within the limits too.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/graphics/ImageCodecs.h"
#include "platform/graphics/ImageEncoding.h"
#include "platform/graphics/ImageSource.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace ql;

namespace {

using fuzz::check;

void checkImage(const cg::Image& image) {
    check(cg::imageSizeAllowed(static_cast<std::size_t>(image.width()), static_cast<std::size_t>(image.height())));
    for (int i = 0; i < image.width() * image.height(); ++i) {
        const std::uint32_t p = image.pixels()[i];
        const std::uint32_t alpha = p >> 24;
        // Premultiplied: no colour channel above alpha.
        check(((p >> 16) & 0xFF) <= alpha && ((p >> 8) & 0xFF) <= alpha && (p & 0xFF) <= alpha);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const ns::Data data(bytes, size);
    cg::ImageSource complete(data);
    cg::ImageSource arriving(data, true);
    const std::size_t count = complete.count();
    check(count <= arriving.count());
    for (std::size_t i = 0; i < count; ++i) {
        const auto image = complete.createImage(i);
        check(image != nullptr);
        checkImage(*image);
        const auto properties = complete.properties(i);
        check(properties.has_value());
        // The round trip only for pictures small enough to keep the fuzzer fast.
        if (i == 0 && image->width() * image->height() <= (1 << 20)) {
            const auto png = cg::encodePNG(*image);
            check(png.has_value());
            const auto again = cg::decodeImage(*png);
            check(again && again->width() == image->width() && again->height() == image->height());
            check(std::memcmp(again->pixels(), image->pixels(), static_cast<std::size_t>(image->bytesPerRow()) * image->height()) == 0);
        }
    }
    for (std::size_t i = 0; i < arriving.count() + 1; ++i) {
        if (const auto image = arriving.createImage(i)) checkImage(*image);
        arriving.properties(i);
    }
    // Read in pieces as it arrives, the data ends with the first image a whole decode gives.
    cg::ImageSource incremental;
    const std::size_t piece = size / 7 + 1;
    for (std::size_t length = piece; length < size; length += piece) {
        incremental.updateData(data.subdata(0, length), false);
        if (const auto image = incremental.createImage(0)) checkImage(*image);
    }
    incremental.updateData(data, true);
    const auto first = incremental.createImage(0);
    const auto whole = complete.createImage(0);
    check(static_cast<bool>(first) == static_cast<bool>(whole));
    if (first && whole) {
        check(first->width() == whole->width() && first->height() == whole->height());
        check(std::memcmp(first->pixels(), whole->pixels(), static_cast<std::size_t>(whole->bytesPerRow()) * whole->height()) == 0);
    }
    // Reduced while decoding, as picture files are read to be shown: within the limits, whatever the header
    // promises, and never larger than the whole decode.
    const cg::Reduction reduction{3, true};
    std::unique_ptr<cg::IncrementalDecoder> decoders[] = {cg::makePNGDecoder(reduction), cg::makeJPEGDecoder(reduction)};
    for (auto& decoder : decoders) {
        decoder->feed({bytes, size});
        const auto reduced = decoder->image(false);
        if (!reduced) continue;
        checkImage(*reduced->image);
        if (whole) check(reduced->image->width() <= whole->width() && reduced->image->height() <= whole->height());
    }
    for (const auto& frame : cg::decodeGIF({bytes, size}, false, 1, reduction)) {
        if (frame.image) checkImage(*frame.image);
    }
    return 0;
}
