#include <png.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/graphics/ImageCodecs.h"
#include "platform/graphics/Pixels.h"

// libpng reports errors by longjmp. The functions that call setjmp keep no objects with destructors in
// their frames and mark what they change afterwards volatile; buffers live in their callers.

namespace ql::cg {

namespace {

struct Input {
    std::span<const std::uint8_t> bytes;
    std::size_t position = 0;
};

void readInput(png_structp png, png_bytep out, png_size_t length) {
    auto* input = static_cast<Input*>(png_get_io_ptr(png));
    if (input->bytes.size() - input->position < length) png_error(png, "data ends early");
    std::memcpy(out, input->bytes.data() + input->position, length);
    input->position += length;
}

[[noreturn]] void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

class ReadHandle {
public:
    explicit ReadHandle(Input* input) {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
        if (png_) info_ = png_create_info_struct(png_);
        if (info_) {
            png_set_read_fn(png_, input, readInput);
            png_set_user_limits(png_, kMaxImageDimension, kMaxImageDimension);
        }
    }
    ~ReadHandle() { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
    ReadHandle(const ReadHandle&) = delete;
    ReadHandle& operator=(const ReadHandle&) = delete;
    bool valid() const { return png_ && info_; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

struct Header {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    bool interlaced = false;
    bool transparency = false;
    std::optional<int> orientation;
};

void readOrientation(png_structp png, png_infop info, Header* header) {
#ifdef PNG_eXIf_SUPPORTED
    png_bytep exif = nullptr;
    png_uint_32 length = 0;
    if (png_get_eXIf_1(png, info, &length, &exif) && exif && length > 0) header->orientation = exifOrientation({exif, length});
#else
    (void)png;
    (void)info;
    (void)header;
#endif
}

bool readHeader(png_structp png, png_infop info, Header* header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->bitDepth = png_get_bit_depth(png, info);
    header->colorType = png_get_color_type(png, info);
    header->interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    header->transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    readOrientation(png, info, header);
    return true;
}

// Decoding runs libpng's incremental reader, which takes data as it comes and hands out rows as soon as
// they are complete, so that a file cut short still yields the rows before the cut.
struct Progress {
    Header header;
    bool haveHeader = false;
    // Reading stops at the header.
    bool headerOnly = false;
    Reduction reduction;
    // Every `factor`-th pixel of every `factor`-th row is kept, in a bitmap of width × height.
    std::size_t factor = 1;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    // Zeroed lazily by the system, so that a header promising a large image costs nothing until rows come.
    std::unique_ptr<std::uint8_t, decltype(&std::free)> rgba{nullptr, &std::free};
    int passes = 1;
    int lastPass = -1;
    png_uint_32 rowsInLastPass = 0;
    bool ended = false;
};

void onInfo(png_structp png, png_infop info) {
    auto* progress = static_cast<Progress*>(png_get_progressive_ptr(png));
    Header& header = progress->header;
    header.width = png_get_image_width(png, info);
    header.height = png_get_image_height(png, info);
    header.bitDepth = png_get_bit_depth(png, info);
    header.colorType = png_get_color_type(png, info);
    header.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    header.transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    readOrientation(png, info, &header);
    progress->haveHeader = true;
    if (progress->headerOnly) png_error(png, "header read");
    progress->factor = subsamplingFactor(progress->reduction, header.width, header.height);
    progress->width = static_cast<png_uint_32>((header.width + progress->factor - 1) / progress->factor);
    progress->height = static_cast<png_uint_32>((header.height + progress->factor - 1) / progress->factor);
    if (!imageSizeAllowed(progress->width, progress->height)) png_error(png, "image too large");
    // 8-bit RGBA whatever the encoding.
    if (header.bitDepth == 16) png_set_strip_16(png);
    if (header.colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (header.colorType == PNG_COLOR_TYPE_GRAY && header.bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (header.transparency) png_set_tRNS_to_alpha(png);
    if (header.colorType == PNG_COLOR_TYPE_GRAY || header.colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    progress->passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != header.width * 4) png_error(png, "unexpected row layout");
    progress->rgba.reset(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(progress->width) * progress->height, 4)));
    if (!progress->rgba) png_error(png, "out of memory");
}

// Keeps the row's pixels that fall on the subsampling grid. A row of an interlaced image holds, in their
// places, only the pixels of its pass: every step-th from the pass's first column.
void keepSubsampled(Progress& progress, png_const_bytep row, png_uint_32 number, int pass) {
    static constexpr png_uint_32 kFirstColumn[7] = {0, 4, 0, 2, 0, 1, 0};
    static constexpr png_uint_32 kColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};
    const std::size_t n = progress.factor;
    if (!row || number % n != 0) return;
    const bool interlaced = progress.header.interlaced && pass >= 0 && pass < 7;
    const png_uint_32 first = interlaced ? kFirstColumn[pass] : 0;
    const png_uint_32 step = interlaced ? kColumnStep[pass] : 1;
    std::uint8_t* out = progress.rgba.get() + (number / n) * progress.width * 4;
    for (png_uint_32 x = first; x < progress.header.width; x += step) {
        if (x % n == 0) std::memcpy(out + (x / n) * 4, row + static_cast<std::size_t>(x) * 4, 4);
    }
}

void onRow(png_structp png, png_bytep row, png_uint_32 number, int pass) {
    auto* progress = static_cast<Progress*>(png_get_progressive_ptr(png));
    if (!progress->rgba || number >= progress->header.height) return;
    if (progress->factor == 1) {
        png_progressive_combine_row(png, progress->rgba.get() + static_cast<std::size_t>(number) * progress->header.width * 4, row);
    } else {
        keepSubsampled(*progress, row, number, pass);
    }
    if (pass != progress->lastPass) {
        progress->lastPass = pass;
        progress->rowsInLastPass = 0;
    }
    progress->rowsInLastPass = number + 1;
}

void onEnd(png_structp png, png_infop) { static_cast<Progress*>(png_get_progressive_ptr(png))->ended = true; }

bool processData(png_structp png, png_infop info, std::span<const std::uint8_t> bytes) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_process_data(png, info, const_cast<png_bytep>(bytes.data()), bytes.size());
    return true;
}

ImageProperties propertiesOf(const Header& header) {
    ImageProperties p;
    p.pixelWidth = static_cast<int>(header.width);
    p.pixelHeight = static_cast<int>(header.height);
    p.hasAlpha = (header.colorType & PNG_COLOR_MASK_ALPHA) != 0 || header.transparency;
    p.depth = header.colorType == PNG_COLOR_TYPE_PALETTE ? 8 : header.bitDepth;
    p.colorModel = (header.colorType & PNG_COLOR_MASK_COLOR) ? ColorSpaceModel::RGB : ColorSpaceModel::Monochrome;
    p.isProgressive = header.interlaced;
    p.orientation = header.orientation;
    return p;
}

bool isPNG(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0;
}

}  // namespace

std::optional<ImageProperties> readPNGProperties(std::span<const std::uint8_t> bytes) {
    if (!isPNG(bytes)) return std::nullopt;
    Input input{bytes};
    ReadHandle handle(&input);
    Header header;
    if (!handle.valid() || !readHeader(handle.png(), handle.info(), &header)) return std::nullopt;
    return propertiesOf(header);
}

namespace {

class PNGDecoder : public IncrementalDecoder {
public:
    explicit PNGDecoder(Reduction reduction = {}, bool headerOnly = false) {
        progress_.reduction = reduction;
        progress_.headerOnly = headerOnly;
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
        info_ = png_ ? png_create_info_struct(png_) : nullptr;
        if (!info_) {
            failed_ = true;
            return;
        }
        png_set_user_limits(png_, kMaxImageDimension, kMaxImageDimension);
        png_set_progressive_read_fn(png_, &progress_, onInfo, onRow, onEnd);
    }
    ~PNGDecoder() override { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
    PNGDecoder(const PNGDecoder&) = delete;
    PNGDecoder& operator=(const PNGDecoder&) = delete;

    void feed(std::span<const std::uint8_t> bytes) override {
        // libpng checks the signature itself and keeps what it has not used yet.
        if (!failed_ && !progress_.ended && !bytes.empty() && !processData(png_, info_, bytes)) failed_ = true;
    }

    bool finished() const override { return failed_ || progress_.ended; }

    std::optional<ImageProperties> header() const override {
        if (!progress_.haveHeader) return std::nullopt;
        return propertiesOf(progress_.header);
    }

    std::optional<DecodedImage> image(bool partial) override {
        if (!progress_.rgba) return std::nullopt;
        const Header& header = progress_.header;
        std::size_t usable = header.height;
        const bool allRows =
            progress_.lastPass == (header.interlaced ? 6 : 0) && progress_.rowsInLastPass == header.height;
        if (!partial && !(allRows && !failed_ && progress_.ended)) return std::nullopt;
        if (!allRows) {
            // Rows of an interlaced image are not final before its last pass.
            if (!partial || header.interlaced || progress_.rowsInLastPass == 0 || progress_.factor > 1) return std::nullopt;
            usable = progress_.rowsInLastPass;
        }
        const std::size_t factor = progress_.factor;
        DecodedImage out;
        out.properties = propertiesOf(header);
        ImageLayout layout;
        layout.bitsPerComponent = std::max(8, out.properties.depth);
        const int components =
            (out.properties.colorModel == ColorSpaceModel::RGB ? 3 : 1) + (out.properties.hasAlpha ? 1 : 0);
        layout.bitsPerPixel = components * layout.bitsPerComponent;
        layout.alphaInfo = out.properties.hasAlpha ? ImageAlphaInfo::Last : ImageAlphaInfo::None;
        layout.colorModel = out.properties.colorModel;
        if (factor > 1) usable = progress_.height;
        out.image = Image::fromRGBA(static_cast<int>(progress_.width), static_cast<int>(usable), progress_.rgba.get(), layout);
        if (!out.image) return std::nullopt;
        out.properties.pixelWidth = static_cast<int>(progress_.width);
        out.properties.pixelHeight = static_cast<int>(usable);
        return out;
    }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    Progress progress_;
    bool failed_ = false;
};

}  // namespace

std::unique_ptr<IncrementalDecoder> makePNGDecoder(Reduction reduction) { return std::make_unique<PNGDecoder>(reduction); }

std::unique_ptr<IncrementalDecoder> makePNGHeaderReader() { return std::make_unique<PNGDecoder>(Reduction{}, true); }

std::optional<DecodedImage> decodePNG(std::span<const std::uint8_t> bytes, bool partial) {
    if (!isPNG(bytes)) return std::nullopt;
    PNGDecoder decoder;
    decoder.feed(bytes);
    return decoder.image(partial);
}

namespace {

struct Output {
    std::vector<std::uint8_t>* bytes;
};

void writeOutput(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Output*>(png_get_io_ptr(png));
    out->bytes->insert(out->bytes->end(), data, data + length);
}

void flushOutput(png_structp) {}

bool writeRows(png_structp png, png_infop info, png_bytep* rows, png_uint_32 width, png_uint_32 height, int colorType) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, width, height, 8, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

std::optional<ns::Data> encodePNG(const Image& image) {
    const bool alpha = image.hasAlpha();
    const bool gray = image.layout().colorModel == ColorSpaceModel::Monochrome;
    const int colorType = gray ? (alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                               : (alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
    const std::size_t channels = (gray ? 1 : 3) + (alpha ? 1 : 0);
    const std::size_t width = static_cast<std::size_t>(image.width()), height = static_cast<std::size_t>(image.height());
    std::vector<std::uint8_t> samples(width * height * channels);
    for (std::size_t i = 0; i < width * height; ++i) {
        const auto c = straightRGBA(image.pixels()[i]);
        std::uint8_t* out = samples.data() + i * channels;
        if (gray) out[0] = c[0];
        else std::copy(c.begin(), c.begin() + 3, out);
        if (alpha) out[channels - 1] = c[3];
    }
    std::vector<png_bytep> rows(height);
    for (std::size_t y = 0; y < height; ++y) rows[y] = samples.data() + y * width * channels;

    std::vector<std::uint8_t> encoded;
    Output output{&encoded};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (info) {
        png_set_write_fn(png, &output, writeOutput, flushOutput);
        ok = writeRows(png, info, rows.data(), static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), colorType);
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok) return std::nullopt;
    return ns::Data(std::move(encoded));
}

}  // namespace ql::cg
