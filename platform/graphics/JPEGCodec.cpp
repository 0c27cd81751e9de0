#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "platform/graphics/ImageCodecs.h"

// libjpeg reports errors through error_exit, which must not return: it longjmps back to the function that
// set the jump. Those functions keep no objects with destructors in their frames and mark what they change
// afterwards volatile; the decoder state and buffers live in their callers.

namespace ql::cg {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void onOutput(j_common_ptr) {}

// Reads from memory. When the data runs out it supplies an end-of-image marker, so that the decoder stops
// with what it has, and remembers how far output had got.
struct Source {
    jpeg_source_mgr pub;
    bool ranOut = false;
    JDIMENSION scanlineAtEnd = 0;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo) {
    auto* source = reinterpret_cast<Source*>(cinfo->src);
    if (!source->ranOut) {
        source->ranOut = true;
        source->scanlineAtEnd = cinfo->output_scanline;
    }
    source->pub.next_input_byte = kEndOfImage;
    source->pub.bytes_in_buffer = 2;
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
    auto* source = reinterpret_cast<Source*>(cinfo->src);
    while (count > 0 && static_cast<std::size_t>(count) > source->pub.bytes_in_buffer) {
        count -= static_cast<long>(source->pub.bytes_in_buffer);
        fillInput(cinfo);
        if (source->pub.next_input_byte == kEndOfImage) return;
    }
    if (count > 0) {
        source->pub.next_input_byte += count;
        source->pub.bytes_in_buffer -= static_cast<std::size_t>(count);
    }
}

void termSource(j_decompress_ptr) {}

struct Decoder {
    jpeg_decompress_struct cinfo{};
    ErrorManager error{};
    Source source{};
    bool created = false;

    explicit Decoder(std::span<const std::uint8_t> bytes) {
        cinfo.err = jpeg_std_error(&error.pub);
        error.pub.error_exit = onError;
        error.pub.output_message = onOutput;
        source.pub.init_source = initSource;
        source.pub.fill_input_buffer = fillInput;
        source.pub.skip_input_data = skipInput;
        source.pub.resync_to_restart = jpeg_resync_to_restart;
        source.pub.term_source = termSource;
        source.pub.next_input_byte = bytes.data();
        source.pub.bytes_in_buffer = bytes.size();
    }
    ~Decoder() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

bool readHeader(Decoder& d) {
    if (setjmp(d.error.jump)) return false;
    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    d.cinfo.src = &d.source.pub;
    jpeg_save_markers(&d.cinfo, JPEG_APP0 + 1, 0xFFFF);
    return jpeg_read_header(&d.cinfo, TRUE) == JPEG_HEADER_OK;
}

bool isCMYK(const jpeg_decompress_struct& cinfo) {
    return cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
}

ImageProperties propertiesOf(const jpeg_decompress_struct& cinfo) {
    ImageProperties p;
    p.pixelWidth = static_cast<int>(cinfo.image_width);
    p.pixelHeight = static_cast<int>(cinfo.image_height);
    p.depth = 8;
    p.colorModel = cinfo.jpeg_color_space == JCS_GRAYSCALE ? ColorSpaceModel::Monochrome
                   : isCMYK(cinfo)                          ? ColorSpaceModel::CMYK
                                                            : ColorSpaceModel::RGB;
    p.isProgressive = cinfo.progressive_mode != 0;
    static constexpr std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length < 6 || std::memcmp(m->data, kExif, 6) != 0) continue;
        p.orientation = exifOrientation({m->data + 6, m->data_length - 6});
        break;
    }
    return p;
}

// Decodes scanlines onto the end of `pixels` (premultiplied ARGB, here always opaque) and returns the rows
// done. With `stopAtEnd` it gives up as soon as the data runs out, so that a short file promising a large
// image is refused without decoding it all.
JDIMENSION readPixels(Decoder& d, std::vector<std::uint32_t>* pixels, std::uint8_t* row, bool stopAtEnd) {
    volatile JDIMENSION rows = 0;
    if (setjmp(d.error.jump)) return rows;
    jpeg_decompress_struct& cinfo = d.cinfo;
    const bool cmyk = isCMYK(cinfo);
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    const bool inverted = cinfo.saw_Adobe_marker;
#if defined(JCS_EXTENSIONS) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (!cmyk) {
        // Opaque blue, green, red, alpha bytes are a native ARGB word here, so libjpeg-turbo writes the rows
        // straight into the bitmap and no conversion pass is needed.
        cinfo.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height && !(stopAtEnd && d.source.ranOut)) {
            pixels->resize(pixels->size() + cinfo.output_width);
            auto rowPointer = reinterpret_cast<JSAMPROW>(pixels->data() + pixels->size() - cinfo.output_width);
            if (jpeg_read_scanlines(&cinfo, &rowPointer, 1) != 1) {
                pixels->resize(pixels->size() - cinfo.output_width);
                break;
            }
            rows = rows + 1;
        }
        if (stopAtEnd && d.source.ranOut) return rows;
        jpeg_finish_decompress(&cinfo);
        return rows;
    }
#endif
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height && !(stopAtEnd && d.source.ranOut)) {
        JSAMPROW rowPointer = row;
        if (jpeg_read_scanlines(&cinfo, &rowPointer, 1) != 1) break;
        pixels->resize(pixels->size() + cinfo.output_width);
        std::uint32_t* out = pixels->data() + pixels->size() - cinfo.output_width;
        for (JDIMENSION x = 0; x < cinfo.output_width; ++x) {
            unsigned r, g, b;
            if (cmyk) {
                // Adobe's encoders store CMYK inverted.
                const std::uint8_t* s = row + 4 * x;
                const unsigned c = inverted ? s[0] : 255 - s[0], m = inverted ? s[1] : 255 - s[1];
                const unsigned y = inverted ? s[2] : 255 - s[2], k = inverted ? s[3] : 255 - s[3];
                r = (c * k + 127) / 255;
                g = (m * k + 127) / 255;
                b = (y * k + 127) / 255;
            } else {
                r = row[3 * x];
                g = row[3 * x + 1];
                b = row[3 * x + 2];
            }
            out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
        rows = rows + 1;
    }
    if (stopAtEnd && d.source.ranOut) return rows;
    jpeg_finish_decompress(&cinfo);
    return rows;
}

}  // namespace

std::optional<ImageProperties> readJPEGProperties(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8) return std::nullopt;
    Decoder d(bytes);
    if (!readHeader(d)) return std::nullopt;
    // A header completed by the supplied end marker is no header yet.
    if (d.source.ranOut) return std::nullopt;
    return propertiesOf(d.cinfo);
}

std::optional<DecodedImage> decodeJPEG(std::span<const std::uint8_t> bytes, bool partial) {
    if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8) return std::nullopt;
    Decoder d(bytes);
    if (!readHeader(d) || d.source.ranOut) return std::nullopt;
    const std::size_t width = d.cinfo.image_width, height = d.cinfo.image_height;
    if (!imageSizeAllowed(width, height)) return std::nullopt;
    DecodedImage out;
    out.properties = propertiesOf(d.cinfo);
    std::vector<std::uint32_t> pixels;
    pixels.reserve(width * height);
    std::vector<std::uint8_t> row(width * 4);
    const JDIMENSION rows = readPixels(d, &pixels, row.data(), !partial);
    std::size_t usable = rows;
    if (d.source.ranOut) {
        if (!partial) return std::nullopt;
        // A progressive image is whole after each scan, only coarser; a sequential one is good down to
        // where the data ended.
        if (!out.properties.isProgressive) usable = std::min<std::size_t>(usable, d.source.scanlineAtEnd);
    } else if (usable < height) {
        return std::nullopt;
    }
    if (usable == 0) return std::nullopt;
    pixels.resize(usable * width);
    ImageLayout layout;
    layout.colorModel = out.properties.colorModel;
    layout.bitsPerPixel = layout.colorModel == ColorSpaceModel::Monochrome ? 8 : 32;
    layout.alphaInfo = layout.colorModel == ColorSpaceModel::RGB ? ImageAlphaInfo::NoneSkipLast : ImageAlphaInfo::None;
    out.image = Image::create(static_cast<int>(width), static_cast<int>(usable), std::move(pixels), layout);
    if (!out.image) return std::nullopt;
    out.properties.pixelHeight = static_cast<int>(usable);
    return out;
}

namespace {

struct Encoder {
    jpeg_compress_struct cinfo{};
    ErrorManager error{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool created = false;

    Encoder() {
        cinfo.err = jpeg_std_error(&error.pub);
        error.pub.error_exit = onError;
        error.pub.output_message = onOutput;
    }
    ~Encoder() {
        if (created) jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

bool writeJPEG(Encoder& e, const std::uint8_t* samples, int width, int height, bool gray, int quality,
               const std::vector<std::uint8_t>& exif) {
    if (setjmp(e.error.jump)) return false;
    jpeg_create_compress(&e.cinfo);
    e.created = true;
    jpeg_mem_dest(&e.cinfo, &e.buffer, &e.size);
    e.cinfo.image_width = static_cast<JDIMENSION>(width);
    e.cinfo.image_height = static_cast<JDIMENSION>(height);
    e.cinfo.input_components = gray ? 1 : 3;
    e.cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&e.cinfo);
    jpeg_set_quality(&e.cinfo, quality, TRUE);
    // At high quality colour keeps full resolution, so that the hard colour edges of interface pictures
    // survive; below that it is halved both ways, as usual.
    if (quality >= 90 && !gray) {
        for (int c = 0; c < e.cinfo.num_components; ++c) e.cinfo.comp_info[c].h_samp_factor = e.cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&e.cinfo, TRUE);
    if (!exif.empty()) jpeg_write_marker(&e.cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    const std::size_t stride = static_cast<std::size_t>(width) * (gray ? 1 : 3);
    while (e.cinfo.next_scanline < e.cinfo.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(samples + e.cinfo.next_scanline * stride);
        jpeg_write_scanlines(&e.cinfo, &row, 1);
    }
    jpeg_finish_compress(&e.cinfo);
    return true;
}

}  // namespace

std::optional<ns::Data> encodeJPEG(const Image& image, double quality, int orientation) {
    const bool gray = image.layout().colorModel == ColorSpaceModel::Monochrome;
    const std::size_t count = static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height());
    // Without alpha in the format, transparent parts come out as if drawn over black: the premultiplied
    // colour is exactly that.
    std::vector<std::uint8_t> samples(count * (gray ? 1 : 3));
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = image.pixels()[i];
        if (gray) {
            samples[i] = static_cast<std::uint8_t>((p >> 16) & 0xFF);
        } else {
            samples[3 * i] = static_cast<std::uint8_t>((p >> 16) & 0xFF);
            samples[3 * i + 1] = static_cast<std::uint8_t>((p >> 8) & 0xFF);
            samples[3 * i + 2] = static_cast<std::uint8_t>(p & 0xFF);
        }
    }
    const int q = std::isfinite(quality) ? static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100)) : 100;
    const std::vector<std::uint8_t> exif =
        orientation >= 2 && orientation <= 8 ? exifBlockWithOrientation(orientation) : std::vector<std::uint8_t>{};
    Encoder e;
    if (!writeJPEG(e, samples.data(), image.width(), image.height(), gray, std::max(q, 1), exif)) return std::nullopt;
    return ns::Data(e.buffer, e.size);
}

}  // namespace ql::cg
