#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/graphics/ImageCodecs.h"

// libjpeg reports errors through error_exit, which must not return: it longjmps back to the function that
// set the jump. Those functions keep no objects with destructors in their frames; the decoder state and
// buffers live in the decoder object.

namespace ql::cg {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void onOutput(j_common_ptr) {}

// Reads the data as it arrives. When the data runs out, the decoder suspends and goes on from the same place
// once more is fed: bytes it has not used yet are kept until then, everything before is let go.
struct Source {
    jpeg_source_mgr pub;
    std::vector<JOCTET> kept;
    std::size_t skipPending = 0;
};

void initSource(j_decompress_ptr) {}
boolean fillInput(j_decompress_ptr) { return FALSE; }

void skipInput(j_decompress_ptr cinfo, long count) {
    auto* source = reinterpret_cast<Source*>(cinfo->src);
    const std::size_t wanted = count > 0 ? static_cast<std::size_t>(count) : 0;
    const std::size_t now = std::min(wanted, source->pub.bytes_in_buffer);
    source->pub.next_input_byte += now;
    source->pub.bytes_in_buffer -= now;
    source->skipPending += wanted - now;
}

void termSource(j_decompress_ptr) {}

bool isCMYK(const jpeg_decompress_struct& cinfo) {
    return cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
}

std::optional<std::span<const std::uint8_t>> exifPayload(const jpeg_decompress_struct& cinfo);

ImageProperties propertiesOf(const jpeg_decompress_struct& cinfo) {
    ImageProperties p;
    p.pixelWidth = static_cast<int>(cinfo.image_width);
    p.pixelHeight = static_cast<int>(cinfo.image_height);
    p.depth = 8;
    p.colorModel = cinfo.jpeg_color_space == JCS_GRAYSCALE ? ColorSpaceModel::Monochrome
                   : isCMYK(cinfo)                          ? ColorSpaceModel::CMYK
                                                            : ColorSpaceModel::RGB;
    p.isProgressive = cinfo.progressive_mode != 0;
    if (auto exif = exifPayload(cinfo)) p.orientation = exifOrientation(*exif);
    return p;
}

// The EXIF block of the first APP1 marker that holds one, after its "Exif\0\0".
std::optional<std::span<const std::uint8_t>> exifPayload(const jpeg_decompress_struct& cinfo) {
    static constexpr std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length < 6 || std::memcmp(m->data, kExif, 6) != 0) continue;
        return std::span<const std::uint8_t>(m->data + 6, m->data_length - 6);
    }
    return std::nullopt;
}

// What libjpeg may set aside for a picture it must hold whole before the first pixel comes out (a
// progressive one's coefficients): within the pixel budget that is at most six bytes a pixel; past it, the
// picture is refused rather than buffered, however far its output is reduced.
constexpr long kWorkingMemory = static_cast<long>(8 * kMaxImagePixels);

#if defined(JCS_EXTENSIONS) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
// Opaque blue, green, red, alpha bytes are a native ARGB word here, so libjpeg-turbo writes the rows straight
// into the bitmap and no conversion pass is needed.
constexpr bool kDirectRows = true;
constexpr J_COLOR_SPACE kColourRows = JCS_EXT_BGRA;
#else
constexpr bool kDirectRows = false;
constexpr J_COLOR_SPACE kColourRows = JCS_RGB;
#endif

// A single-scan image is decoded row by row as its data arrives. A multi-scan (progressive) one is read in
// buffered-image mode: its scans are absorbed as they arrive, and pixels are worked out only when an image
// is asked for, from the scans complete by then, or once at the end.
class JPEGDecoder : public IncrementalDecoder {
public:
    explicit JPEGDecoder(bool headerOnly = false, Reduction reduction = {}) : headerOnly_(headerOnly), reduction_(reduction) {
        cinfo_.err = jpeg_std_error(&error_.pub);
        error_.pub.error_exit = onError;
        error_.pub.output_message = onOutput;
        source_.pub.init_source = initSource;
        source_.pub.fill_input_buffer = fillInput;
        source_.pub.skip_input_data = skipInput;
        source_.pub.resync_to_restart = jpeg_resync_to_restart;
        source_.pub.term_source = termSource;
    }
    ~JPEGDecoder() override {
        if (created_) jpeg_destroy_decompress(&cinfo_);
    }
    JPEGDecoder(const JPEGDecoder&) = delete;
    JPEGDecoder& operator=(const JPEGDecoder&) = delete;

    void feed(std::span<const std::uint8_t> bytes) override {
        if (stage_ == Stage::Failed || stage_ == Stage::Done) return;
        const std::size_t skipped = std::min(source_.skipPending, bytes.size());
        source_.skipPending -= skipped;
        bytes = bytes.subspan(skipped);
        if (bytes.empty()) return;
        if (source_.pub.bytes_in_buffer == 0) {
            // Read in place; only what is left unread is copied afterwards.
            source_.pub.next_input_byte = bytes.data();
            source_.pub.bytes_in_buffer = bytes.size();
        } else {
            std::vector<JOCTET> joined(source_.pub.next_input_byte, source_.pub.next_input_byte + source_.pub.bytes_in_buffer);
            joined.insert(joined.end(), bytes.begin(), bytes.end());
            source_.kept = std::move(joined);
            source_.pub.next_input_byte = source_.kept.data();
            source_.pub.bytes_in_buffer = source_.kept.size();
        }
        advance();
        fresh_ = true;
        if (source_.pub.bytes_in_buffer > 0 && source_.pub.next_input_byte != source_.kept.data()) {
            std::vector<JOCTET> unread(source_.pub.next_input_byte, source_.pub.next_input_byte + source_.pub.bytes_in_buffer);
            source_.kept = std::move(unread);
            source_.pub.next_input_byte = source_.kept.data();
        }
        if (source_.pub.bytes_in_buffer == 0) source_.kept.clear();
    }

    std::optional<DecodedImage> image(bool partial) override {
        if (!properties_ || headerOnly_ || stage_ == Stage::Failed) return std::nullopt;
        if (stage_ == Stage::Done) return whole();
        if (!partial || reduced_) return std::nullopt;
        if (cinfo_.buffered_image) {
            // Pixels are worked out again only when scans have arrived since.
            if (fresh_ && completedScans_ > 0 && !finishingOutput_) {
                fresh_ = false;
                if (!outputPass(completedScans_)) return std::nullopt;
                latest_ = pixelImage(cinfo_.output_height, false);
            }
            if (!latest_) return std::nullopt;
            return decoded(latest_);
        }
        const std::size_t rows = stage_ >= Stage::Finish ? cinfo_.output_height : cinfo_.output_scanline;
        if (stage_ < Stage::Rows || rows == 0) return std::nullopt;
        return decoded(pixelImage(rows, false));
    }

    const std::optional<ImageProperties>& properties() const { return properties_; }
    bool finished() const override { return stage_ == Stage::Done || stage_ == Stage::Failed; }
    std::optional<ImageProperties> header() const override { return properties_; }
    std::vector<std::uint8_t> embeddedThumbnail() const override { return thumbnail_; }

private:
    enum class Stage { Header, Start, Rows, Scans, Finish, Done, Failed };

    // The scaled transform makes m/8 of each side, for m from 1 to 8: the most reduced output the reduction
    // allows, made smaller still while it is over the budget and the reduction lets the budget decide.
    bool chooseScale() {
        const double most = reduction_.maxReduction >= 1 ? std::min(reduction_.maxReduction, 8.0) : 1.0;
        unsigned eighths = static_cast<unsigned>(std::ceil(8 / most - 1e-9));
        const auto scaleTo = [this](unsigned m) {
            cinfo_.scale_num = m;
            cinfo_.scale_denom = 8;
            jpeg_calc_output_dimensions(&cinfo_);
        };
        scaleTo(eighths);
        while (reduction_.fitBudget && eighths > 1 && !imageSizeAllowed(cinfo_.output_width, cinfo_.output_height)) scaleTo(--eighths);
        reduced_ = eighths < 8;
        return imageSizeAllowed(cinfo_.output_width, cinfo_.output_height);
    }

    // Runs the decoder as far as the data fed allows.
    void advance() {
        if (setjmp(error_.jump)) {
            stage_ = Stage::Failed;
            return;
        }
        while (true) {
            switch (stage_) {
            case Stage::Header: {
                if (!created_) {
                    jpeg_create_decompress(&cinfo_);
                    created_ = true;
                    cinfo_.src = &source_.pub;
                    cinfo_.mem->max_memory_to_use = kWorkingMemory;
                    jpeg_save_markers(&cinfo_, JPEG_APP0 + 1, 0xFFFF);
                }
                const int read = jpeg_read_header(&cinfo_, TRUE);
                if (read == JPEG_SUSPENDED) return;
                if (read != JPEG_HEADER_OK) {
                    stage_ = Stage::Failed;
                    return;
                }
                properties_ = propertiesOf(cinfo_);
                if (headerOnly_) {
                    if (auto exif = exifPayload(cinfo_)) {
                        if (auto thumbnail = exifThumbnail(*exif)) thumbnail_.assign(thumbnail->begin(), thumbnail->end());
                    }
                    stage_ = Stage::Done;
                    return;
                }
                cmyk_ = isCMYK(cinfo_);
                cinfo_.out_color_space = cmyk_ ? JCS_CMYK : kColourRows;
                cinfo_.buffered_image = jpeg_has_multiple_scans(&cinfo_);
                if (!chooseScale()) {
                    stage_ = Stage::Failed;
                    return;
                }
                pixels_.reserve(static_cast<std::size_t>(cinfo_.output_width) * cinfo_.output_height);
                stage_ = Stage::Start;
                break;
            }
            case Stage::Start:
                if (!jpeg_start_decompress(&cinfo_)) return;
                row_.resize(static_cast<std::size_t>(cinfo_.output_width) * 4);
                stage_ = cinfo_.buffered_image ? Stage::Scans : Stage::Rows;
                break;
            case Stage::Rows:
                while (cinfo_.output_scanline < cinfo_.output_height) {
                    if (!readRow()) return;
                }
                stage_ = Stage::Finish;
                break;
            case Stage::Scans: {
                if (finishingOutput_) {
                    if (!jpeg_finish_output(&cinfo_)) return;
                    finishingOutput_ = false;
                }
                const int got = jpeg_consume_input(&cinfo_);
                if (got == JPEG_SUSPENDED) return;
                if (got == JPEG_SCAN_COMPLETED) completedScans_ = cinfo_.input_scan_number;
                if (got == JPEG_REACHED_EOI) {
                    // Everything is in: the one output pass a whole image needs.
                    jpeg_start_output(&cinfo_, cinfo_.input_scan_number);
                    while (cinfo_.output_scanline < cinfo_.output_height) {
                        if (!readRow()) break;
                    }
                    if (cinfo_.output_scanline < cinfo_.output_height || !jpeg_finish_output(&cinfo_)) {
                        stage_ = Stage::Failed;
                        return;
                    }
                    stage_ = Stage::Finish;
                }
                break;
            }
            case Stage::Finish:
                if (!jpeg_finish_decompress(&cinfo_)) return;
                stage_ = Stage::Done;
                return;
            case Stage::Done:
            case Stage::Failed: return;
            }
        }
    }

    // The pixels of the scans up to `scan` as they stand, for a partial image. The pass ends when the next
    // scan begins, which may have to wait for data.
    bool outputPass(int scan) {
        if (setjmp(error_.jump)) {
            stage_ = Stage::Failed;
            return false;
        }
        // A passing stage is worked out the quick way, without smoothing the blocks of early scans; the
        // whole image, at the end, the careful way.
        const J_DCT_METHOD method = cinfo_.dct_method;
        const boolean smoothing = cinfo_.do_block_smoothing;
        cinfo_.dct_method = JDCT_IFAST;
        cinfo_.do_block_smoothing = FALSE;
        const bool started = jpeg_start_output(&cinfo_, scan);
        cinfo_.dct_method = method;
        cinfo_.do_block_smoothing = smoothing;
        if (!started) return false;
        while (cinfo_.output_scanline < cinfo_.output_height) {
            if (!readRow()) break;
        }
        finishingOutput_ = !jpeg_finish_output(&cinfo_);
        return true;
    }

    // One output row into its place in the bitmap; false when the decoder has to wait for data.
    bool readRow() {
        const std::size_t width = cinfo_.output_width;
        const std::size_t y = cinfo_.output_scanline;
        if (pixels_.size() < (y + 1) * width) pixels_.resize((y + 1) * width);
        std::uint32_t* out = pixels_.data() + y * width;
        if (kDirectRows && !cmyk_) {
            auto rowPointer = reinterpret_cast<JSAMPROW>(out);
            return jpeg_read_scanlines(&cinfo_, &rowPointer, 1) == 1;
        }
        JSAMPROW rowPointer = row_.data();
        if (jpeg_read_scanlines(&cinfo_, &rowPointer, 1) != 1) return false;
        const bool inverted = cinfo_.saw_Adobe_marker;
        for (std::size_t x = 0; x < width; ++x) {
            unsigned r, g, b;
            if (cmyk_) {
                // Adobe's encoders store CMYK inverted.
                const std::uint8_t* s = row_.data() + 4 * x;
                const unsigned c = inverted ? s[0] : 255 - s[0], m = inverted ? s[1] : 255 - s[1];
                const unsigned yy = inverted ? s[2] : 255 - s[2], k = inverted ? s[3] : 255 - s[3];
                r = (c * k + 127) / 255;
                g = (m * k + 127) / 255;
                b = (yy * k + 127) / 255;
            } else {
                r = row_[3 * x];
                g = row_[3 * x + 1];
                b = row_[3 * x + 2];
            }
            out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
        return true;
    }

    // The first `rows` rows; the finished bitmap hands its pixels over instead of copying them.
    std::shared_ptr<const Image> pixelImage(std::size_t rows, bool handOver) {
        const std::size_t width = cinfo_.output_width;
        ImageLayout layout;
        layout.colorModel = properties_->colorModel;
        layout.bitsPerPixel = layout.colorModel == ColorSpaceModel::Monochrome ? 8 : 32;
        layout.alphaInfo = layout.colorModel == ColorSpaceModel::RGB ? ImageAlphaInfo::NoneSkipLast : ImageAlphaInfo::None;
        std::vector<std::uint32_t> pixels;
        if (handOver) {
            pixels = std::move(pixels_);
        } else {
            pixels.assign(pixels_.begin(), pixels_.begin() + static_cast<std::ptrdiff_t>(rows * width));
        }
        return Image::create(static_cast<int>(width), static_cast<int>(rows), std::move(pixels), layout);
    }

    std::optional<DecodedImage> whole() {
        if (!whole_) whole_ = pixelImage(cinfo_.output_height, true);
        return decoded(whole_);
    }

    std::optional<DecodedImage> decoded(std::shared_ptr<const Image> image) const {
        if (!image) return std::nullopt;
        DecodedImage out;
        out.properties = *properties_;
        out.properties.pixelHeight = image->height();
        out.image = std::move(image);
        return out;
    }

    const bool headerOnly_;
    const Reduction reduction_;
    bool reduced_ = false;
    std::vector<std::uint8_t> thumbnail_;
    jpeg_decompress_struct cinfo_{};
    ErrorManager error_{};
    Source source_{};
    bool created_ = false;
    Stage stage_ = Stage::Header;
    std::optional<ImageProperties> properties_;
    bool cmyk_ = false;
    int completedScans_ = 0;
    bool finishingOutput_ = false;
    bool fresh_ = false;
    std::vector<std::uint32_t> pixels_;
    std::vector<std::uint8_t> row_;
    std::shared_ptr<const Image> latest_;
    std::shared_ptr<const Image> whole_;
};

bool isJPEG(std::span<const std::uint8_t> bytes) { return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8; }

}  // namespace

std::unique_ptr<IncrementalDecoder> makeJPEGDecoder(Reduction reduction) {
    return std::make_unique<JPEGDecoder>(false, reduction);
}

std::unique_ptr<IncrementalDecoder> makeJPEGHeaderReader() { return std::make_unique<JPEGDecoder>(true); }

std::optional<ImageProperties> readJPEGProperties(std::span<const std::uint8_t> bytes) {
    if (!isJPEG(bytes)) return std::nullopt;
    JPEGDecoder decoder(true);
    decoder.feed(bytes);
    return decoder.properties();
}

std::optional<DecodedImage> decodeJPEG(std::span<const std::uint8_t> bytes, bool partial) {
    if (!isJPEG(bytes)) return std::nullopt;
    JPEGDecoder decoder;
    decoder.feed(bytes);
    return decoder.image(partial);
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
