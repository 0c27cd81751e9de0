#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageFile.h"
#include "platform/graphics/ImageCodecs.h"
#include "platform/graphics/ImageEncoding.h"
#include "platform/graphics/ImageSource.h"
#include "tests/support/ReferenceJPEG.h"

namespace ql::cg {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A picture with colour ramps, translucency and a hard edge.
std::shared_ptr<const Image> samplePicture(int width, int height, bool alpha) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height * 4));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &rgba[static_cast<std::size_t>((y * width + x) * 4)];
            p[0] = static_cast<std::uint8_t>(x * 255 / (width - 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / (height - 1));
            p[2] = x < width / 2 ? 40 : 220;
            p[3] = alpha ? static_cast<std::uint8_t>(255 - y * 200 / (height - 1)) : 255;
        }
    }
    ImageLayout layout;
    layout.alphaInfo = alpha ? ImageAlphaInfo::Last : ImageAlphaInfo::NoneSkipLast;
    return Image::fromRGBA(width, height, rgba.data(), layout);
}

ns::Data prefix(const ns::Data& data, std::size_t length) { return data.subdata(0, length); }

// Files the encoders under test do not write, made with the libraries directly.
Bytes writePNG(int width, int height, int colorType, int bitDepth, const std::function<void(png_structp, png_infop)>& setup,
               const Bytes& samples) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, [](png_structp p, png_bytep d, png_size_t n) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
        o->insert(o->end(), d, d + n);
    }, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth, colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (setup) setup(png, info);
    png_write_info(png, info);
    const std::size_t stride = samples.size() / static_cast<std::size_t>(height);
    for (int y = 0; y < height; ++y) png_write_row(png, const_cast<png_bytep>(samples.data() + static_cast<std::size_t>(y) * stride));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes writeJPEG(int width, int height, int components, bool progressive) {
    test::ReferenceJPEG jpeg;
    jpeg.width = width;
    jpeg.height = height;
    jpeg.components = components;
    jpeg.progressive = progressive;
    const std::string bytes = jpeg.encode();
    return Bytes(bytes.begin(), bytes.end());
}

struct GifFrame {
    int left, top, width, height;
    std::vector<GifPixelType> indices;
    int delay;  // hundredths; -1 for no control block
    int transparent;
    int disposal;
};

// A GIF with a four-colour palette: 0 red, 1 green, 2 blue, 3 white.
Bytes writeGIF(int width, int height, const std::vector<GifFrame>& frames) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, [](GifFileType* g, const GifByteType* d, int n) {
        auto* o = static_cast<Bytes*>(g->UserData);
        o->insert(o->end(), d, d + n);
        return n;
    }, &error);
    const GifColorType colors[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, width, height, 2, 0, map);
    for (const GifFrame& f : frames) {
        if (f.delay >= 0) {
            GraphicsControlBlock gcb{f.disposal, false, f.delay, f.transparent};
            GifByteType ext[4];
            const std::size_t n = EGifGCBToExtension(&gcb, ext);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
        }
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, false, nullptr);
        for (int y = 0; y < f.height; ++y)
            EGifPutLine(gif, const_cast<GifPixelType*>(f.indices.data() + y * f.width), f.width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

void putU32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

TEST(ImageCodecTests, PNGRoundTripsExactly) {
    for (const bool alpha : {true, false}) {
        const auto original = samplePicture(24, 16, alpha);
        const auto png = encodePNG(*original);
        ASSERT_TRUE(png);
        ImageSource source(*png);
        EXPECT_EQ(source.type(), ImageType::PNG);
        ASSERT_EQ(source.count(), 1u);
        const auto props = source.properties(0);
        ASSERT_TRUE(props);
        EXPECT_EQ(props->pixelWidth, 24);
        EXPECT_EQ(props->hasAlpha, alpha);
        const auto decoded = source.createImage(0);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->hasAlpha(), alpha);
        EXPECT_EQ(0, std::memcmp(decoded->pixels(), original->pixels(), 24 * 16 * 4));
    }

    // A grey context's image is written and read as grey.
    auto gray = BitmapContext::create(3, 2, 8, 0, ColorSpace::deviceGray(), 0);
    gray->setFillColor(Color::gray(0.5, 1));
    gray->fillRect({0, 0, 3, 2});
    const auto grayPNG = encodePNG(*gray->makeImage());
    const auto grayProps = ImageSource(*grayPNG).properties(0);
    EXPECT_EQ(grayProps->colorModel, ColorSpaceModel::Monochrome);
    EXPECT_EQ(decodeImage(*grayPNG)->pixel(1, 1), (Image::Pixel{128, 128, 128, 255}));
}

TEST(ImageCodecTests, PNGEncodingsOfEveryKindDecode) {
    // 16-bit RGB keeps its depth in the description; the pixels are read at 8 bits.
    Bytes deep(4 * 2 * 6);
    for (std::size_t i = 0; i < deep.size(); i += 2) deep[i] = 0x80;
    const auto wide = decodeImage(ns::Data(writePNG(4, 2, PNG_COLOR_TYPE_RGB, 16, nullptr, deep)));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->bitsPerComponent(), 16);
    EXPECT_FALSE(wide->hasAlpha());
    EXPECT_EQ(wide->pixel(0, 0), (Image::Pixel{128, 128, 128, 255}));

    // A palette with a transparent entry.
    const Bytes indices = {0, 1, 1, 0};
    const auto paletted = decodeImage(ns::Data(writePNG(2, 2, PNG_COLOR_TYPE_PALETTE, 8, [](png_structp p, png_infop i) {
        png_color palette[2] = {{255, 0, 0}, {0, 0, 255}};
        png_set_PLTE(p, i, palette, 2);
        png_byte alpha[1] = {0};
        png_set_tRNS(p, i, alpha, 1, nullptr);
    }, indices)));
    ASSERT_TRUE(paletted);
    EXPECT_TRUE(paletted->hasAlpha());
    EXPECT_EQ(paletted->pixel(0, 0).a, 0);
    EXPECT_EQ(paletted->pixel(1, 0), (Image::Pixel{0, 0, 255, 255}));

    // One-bit grey.
    const Bytes bits = {0b10000000, 0b01000000};
    const auto mono = decodeImage(ns::Data(writePNG(2, 2, PNG_COLOR_TYPE_GRAY, 1, nullptr, bits)));
    ASSERT_TRUE(mono);
    EXPECT_EQ(mono->pixel(0, 0), (Image::Pixel{255, 255, 255, 255}));
    EXPECT_EQ(mono->pixel(1, 0), (Image::Pixel{0, 0, 0, 255}));
    EXPECT_EQ(mono->pixel(1, 1).r, 255);
}

TEST(ImageCodecTests, JPEGRoundTripWithinToleranceAndOrientation) {
    const auto original = samplePicture(32, 24, false);
    const auto best = encodeJPEG(*original, 1.0);
    const auto small = encodeJPEG(*original, 0.1);
    ASSERT_TRUE(best && small);
    EXPECT_LT(small->length(), best->length());
    ImageSource source(*best);
    EXPECT_EQ(source.type(), ImageType::JPEG);
    const auto decoded = source.createImage(0);
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->hasAlpha());
    EXPECT_FALSE(source.properties(0)->orientation);
    int worst = 0;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 32; ++x) {
            const auto a = decoded->pixel(x, y), b = original->pixel(x, y);
            worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
        }
    }
    EXPECT_LE(worst, 24);

    // The orientation travels as an EXIF tag and leaves the pixels as they are.
    const auto rotated = encodeJPEG(*original, 0.8, 6);
    ImageSource oriented(*rotated);
    ASSERT_TRUE(oriented.properties(0));
    EXPECT_EQ(oriented.properties(0)->orientation, 6);
    EXPECT_EQ(oriented.createImage(0)->width(), 32);

    // Transparent parts come out black.
    auto clear = BitmapContext::createForImage({4, 4}, false, 1);
    const auto black = decodeImage(*encodeJPEG(*clear->makeImage(), 1));
    EXPECT_LE(black->pixel(2, 2).r, 2);
    EXPECT_EQ(black->pixel(2, 2).a, 255);
}

TEST(ImageCodecTests, JPEGColourModels) {
    const auto cmyk = ns::Data(writeJPEG(8, 8, 4, false));
    ImageSource source(cmyk);
    ASSERT_TRUE(source.properties(0));
    EXPECT_EQ(source.properties(0)->colorModel, ColorSpaceModel::CMYK);
    const auto image = source.createImage(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->layout().colorModel, ColorSpaceModel::CMYK);

    const auto gray = decodeImage(ns::Data(writeJPEG(8, 8, 1, false)));
    ASSERT_TRUE(gray);
    EXPECT_EQ(gray->layout().colorModel, ColorSpaceModel::Monochrome);
    const auto p = gray->pixel(3, 3);
    EXPECT_EQ(p.r, p.g);
    EXPECT_EQ(p.g, p.b);
}

TEST(ImageCodecTests, ExifOrientationParsing) {
    const Bytes written = exifBlockWithOrientation(3);
    ASSERT_EQ(0, std::memcmp(written.data(), "Exif\0\0", 6));
    EXPECT_EQ(exifOrientation(std::span(written).subspan(6)), 3);
    // Little-endian, the orientation as the second of two entries.
    const Bytes little = {'I', 'I', 42, 0, 8, 0, 0, 0, 2, 0,
                          0x0F, 0x01, 2, 0, 4, 0, 0, 0, 'A', 'B', 'C', 0,
                          0x12, 0x01, 3, 0, 1, 0, 0, 0, 8, 0, 0, 0,
                          0, 0, 0, 0};
    EXPECT_EQ(exifOrientation(little), 8);
    // A directory pointing past the end, an entry cut short, a wrong type, no tag at all.
    Bytes outside = little;
    outside[4] = 200;
    EXPECT_FALSE(exifOrientation(outside));
    EXPECT_FALSE(exifOrientation(std::span(little).first(30)));
    Bytes wrongType = little;
    wrongType[24] = 4;
    EXPECT_FALSE(exifOrientation(wrongType));
    Bytes noTag = little;
    noTag[8] = 1;
    EXPECT_FALSE(exifOrientation(noTag));
    EXPECT_FALSE(exifOrientation(Bytes{'M', 'M', 0, 43, 0, 0, 0, 8}));
    // Values no orientation has read as up, as the image class shows them.
    for (std::uint16_t value : {0, 9, 255, 65535}) {
        Bytes odd = little;
        odd[30] = static_cast<std::uint8_t>(value & 0xFF);
        odd[31] = static_cast<std::uint8_t>(value >> 8);
        EXPECT_EQ(exifOrientation(odd), 1) << value;
        const Bytes block = exifBlockWithOrientation(value);
        EXPECT_EQ(exifOrientation(std::span(block).subspan(6)), 1) << value;
    }
}

TEST(ImageCodecTests, GIFFramesDelaysAndComposition) {
    const std::vector<GifPixelType> full(16, 0);                  // 4×4 red
    const std::vector<GifPixelType> patch = {1, 3, 3, 1};         // 2×2: green, transparent white, green
    const std::vector<GifPixelType> corner = {2};                 // 1×1 blue
    const Bytes gif = writeGIF(4, 4, {
        {0, 0, 4, 4, full, 10, NO_TRANSPARENT_COLOR, DISPOSAL_UNSPECIFIED},
        {1, 1, 2, 2, patch, 0, 3, DISPOSE_BACKGROUND},
        {3, 3, 1, 1, corner, 50, NO_TRANSPARENT_COLOR, DISPOSE_DO_NOT},
        {0, 0, 1, 1, corner, -1, NO_TRANSPARENT_COLOR, DISPOSE_DO_NOT},
    });
    ImageSource source{ns::Data(gif)};
    EXPECT_EQ(source.type(), ImageType::GIF);
    ASSERT_EQ(source.count(), 4u);
    EXPECT_EQ(source.properties(0)->gifDelayTime, 0.1);
    EXPECT_EQ(source.properties(1)->gifUnclampedDelayTime, 0.0);
    EXPECT_EQ(source.properties(1)->gifDelayTime, 0.1);
    EXPECT_EQ(source.properties(2)->gifDelayTime, 0.5);
    EXPECT_FALSE(source.properties(3)->gifDelayTime);

    const Image::Pixel red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255};
    const auto second = source.createImage(1);
    EXPECT_EQ(second->width(), 4);
    EXPECT_EQ(second->pixel(1, 1), green);
    EXPECT_EQ(second->pixel(2, 1), red);  // transparent index shows the frame below
    EXPECT_EQ(second->pixel(0, 0), red);
    // The second frame's area was cleared to transparent before the third was drawn.
    const auto third = source.createImage(2);
    EXPECT_EQ(third->pixel(1, 1).a, 0);
    EXPECT_EQ(third->pixel(3, 3), blue);
    EXPECT_TRUE(third->hasAlpha());
    EXPECT_EQ(source.createImage(3)->pixel(0, 0), blue);
    EXPECT_FALSE(source.createImage(4));

    // The last frame needs no trailer; data cut inside a frame is refused unless it is still arriving.
    const ns::Data whole(gif);
    EXPECT_EQ(ImageSource(prefix(whole, gif.size() - 1)).count(), 4u);
    EXPECT_EQ(ImageSource(prefix(whole, gif.size() - 8)).count(), 0u);
    EXPECT_EQ(ImageSource(prefix(whole, gif.size() - 8), true).count(), 3u);
}

TEST(ImageCodecTests, TruncatedDataNeverCrashes) {
    const auto png = *encodePNG(*samplePicture(16, 12, true));
    const auto jpeg = *encodeJPEG(*samplePicture(16, 12, false), 0.7);
    const auto progressive = ns::Data(writeJPEG(16, 16, 3, true));
    const auto gif = ns::Data(writeGIF(3, 3, {{0, 0, 3, 3, std::vector<GifPixelType>(9, 1), 5, NO_TRANSPARENT_COLOR, 0},
                                              {0, 0, 3, 3, std::vector<GifPixelType>(9, 2), 5, NO_TRANSPARENT_COLOR, 0}}));
    for (const ns::Data* data : {&png, &jpeg, &progressive, &gif}) {
        for (std::size_t length = 0; length < data->length(); ++length) {
            const ns::Data cut = prefix(*data, length);
            // Complete data that is cut short gives no image. Only a GIF's trailer may be missing, which makes a
            // GIF cut between frames a shorter animation.
            if (data == &gif) {
                EXPECT_LT(ImageSource(cut).count(), length + 1 < data->length() ? 2u : 3u) << length;
            } else {
                EXPECT_FALSE(decodeImage(cut)) << length;
            }
            ImageSource arriving(cut, true);
            if (const auto partial = arriving.createImage(0)) {
                EXPECT_GT(partial->height(), 0);
                EXPECT_LE(partial->height(), 16);
            }
        }
    }
    // Part of a sequential file gives its top rows; part of a progressive one the whole picture, coarser.
    const auto tall = ns::Data(writeJPEG(32, 256, 3, false));
    const auto top = ImageSource(prefix(tall, tall.length() * 3 / 4), true).createImage(0);
    ASSERT_TRUE(top);
    EXPECT_GT(top->height(), 64);
    EXPECT_LT(top->height(), 256);
    EXPECT_EQ(top->width(), 32);
    const auto coarse = ImageSource(prefix(progressive, progressive.length() * 3 / 4), true).createImage(0);
    ASSERT_TRUE(coarse);
    EXPECT_EQ(coarse->height(), 16);
    const auto rows = ImageSource(prefix(png, png.length() * 3 / 4), true).createImage(0);
    ASSERT_TRUE(rows);
    EXPECT_LT(rows->height(), 12);

    // Headers are readable before the pixels arrive.
    ImageSource early(prefix(png, 45), true);
    EXPECT_EQ(early.count(), 1u);
    ASSERT_TRUE(early.properties(0));
    EXPECT_EQ(early.properties(0)->pixelHeight, 12);
    EXPECT_FALSE(early.createImage(0));
}

TEST(ImageCodecTests, HostileHeadersAndGarbage) {
    // A valid PNG whose header claims 100000 × 100000 pixels.
    const ns::Data small = *encodePNG(*samplePicture(4, 4, false));
    Bytes png(small.bytes(), small.bytes() + small.length());
    putU32(png, 16, 100000);
    putU32(png, 20, 100000);
    putU32(png, 29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)));
    EXPECT_FALSE(decodeImage(ns::Data(png)));

    // A JPEG frame header claiming 60000 × 60000.
    Bytes jpeg = writeJPEG(8, 8, 3, false);
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = 0xEA;
            jpeg[i + 6] = 0x60;
            jpeg[i + 7] = 0xEA;
            jpeg[i + 8] = 0x60;
            break;
        }
    }
    EXPECT_FALSE(decodeImage(ns::Data(jpeg)));

    // A GIF screen of 65535 × 65535.
    Bytes gif = writeGIF(2, 2, {{0, 0, 2, 2, std::vector<GifPixelType>(4, 0), 1, NO_TRANSPARENT_COLOR, 0}});
    gif[6] = gif[7] = gif[8] = gif[9] = 0xFF;
    EXPECT_FALSE(decodeImage(ns::Data(gif)));

    EXPECT_FALSE(decodeImage(ns::Data()));
    EXPECT_FALSE(decodeImage(ns::Data(std::string_view("RIFF\0\0\0\0WEBPVP8 ", 16))));
    EXPECT_EQ(ImageSource(ns::Data(std::string_view("hello"))).type(), ImageType::Unknown);
    Bytes noise(512);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 131 + 7);
    for (const Bytes& header : {Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, Bytes{0xFF, 0xD8, 0xFF},
                                Bytes{'G', 'I', 'F', '8', '9', 'a'}}) {
        Bytes bad = header;
        bad.insert(bad.end(), noise.begin(), noise.end());
        EXPECT_FALSE(decodeImage(ns::Data(bad)));
    }
}

Bytes writeInterlacedPNG(int width, int height, Bytes samples) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, [](png_structp p, png_bytep d, png_size_t n) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
        o->insert(o->end(), d, d + n);
    }, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) rows[static_cast<std::size_t>(y)] = samples.data() + static_cast<std::size_t>(y * width * 3);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Whether two bitmaps hold the same pixels.
bool samePixels(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.pixels(), a.pixels() + static_cast<std::size_t>(a.width()) * a.height(), b.pixels());
}

// Feeds `data` to an incremental source in pieces of `piece` bytes (each update passing all so far), checking
// the partial images on the way; returns the source after its final update.
std::unique_ptr<ImageSource> fedInPieces(const ns::Data& data, std::size_t piece, bool rowsFromTheTop) {
    auto source = std::make_unique<ImageSource>();
    int lastHeight = 0;
    for (std::size_t length = piece; length < data.length(); length += piece) {
        source->updateData(prefix(data, length), false);
        if (const auto partial = source->createImage(0)) {
            // Rows only ever grow; a progressive image is whole from its first scan on.
            EXPECT_GE(partial->height(), lastHeight) << length;
            if (!rowsFromTheTop) {
                EXPECT_EQ(partial->height(), source->properties(0)->pixelHeight) << length;
            }
            lastHeight = partial->height();
        }
    }
    EXPECT_GT(lastHeight, 0);
    source->updateData(data, true);
    return source;
}

TEST(ImageCodecTests, IncrementalSourcesEndWithTheImageOfAWholeDecode) {
    Bytes interlacedSamples(40 * 30 * 3);
    for (std::size_t i = 0; i < interlacedSamples.size(); ++i) interlacedSamples[i] = static_cast<std::uint8_t>(i * 37 % 251);
    const struct {
        const char* name;
        ns::Data data;
        bool rowsFromTheTop;
    } cases[] = {
        {"png", *encodePNG(*samplePicture(40, 30, true)), true},
        {"interlaced png", ns::Data(writeInterlacedPNG(40, 30, interlacedSamples)), true},
        {"jpeg", ns::Data(writeJPEG(48, 64, 3, false)), true},
        {"progressive jpeg", ns::Data(writeJPEG(48, 64, 3, true)), false},
        {"progressive grey jpeg", ns::Data(writeJPEG(48, 64, 1, true)), false},
        {"cmyk jpeg", ns::Data(writeJPEG(48, 64, 4, false)), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto whole = decodeImage(c.data);
        ASSERT_TRUE(whole);
        for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{300}}) {
            SCOPED_TRACE(piece);
            auto source = fedInPieces(c.data, piece, c.rowsFromTheTop);
            EXPECT_EQ(source->count(), 1u);
            const auto image = source->createImage(0);
            ASSERT_TRUE(image);
            EXPECT_TRUE(samePixels(*image, *whole));
            EXPECT_EQ(image->layout().colorModel, whole->layout().colorModel);
            EXPECT_EQ(image->alphaInfo(), whole->alphaInfo());
        }
    }

    // Data that ends short, or turns to garbage, gives no whole image.
    const ns::Data jpeg(writeJPEG(48, 64, 3, true));
    ImageSource cut;
    cut.updateData(prefix(jpeg, jpeg.length() / 2), false);
    cut.updateData(prefix(jpeg, jpeg.length() - 1), true);
    EXPECT_FALSE(cut.createImage(0));
    Bytes spoilt(jpeg.bytes(), jpeg.bytes() + jpeg.length());
    std::fill(spoilt.begin() + static_cast<std::ptrdiff_t>(spoilt.size() / 3), spoilt.end(), 0xFF);
    ImageSource garbage;
    garbage.updateData(ns::Data(spoilt), true);
    EXPECT_FALSE(garbage.createImage(0));
    // Nothing changes after the final update.
    garbage.updateData(jpeg, true);
    EXPECT_FALSE(garbage.createImage(0));
}

TEST(ImageCodecTests, AnArrivingGIFShowsItsFirstFrameOnceThatIsWhole) {
    std::vector<GifFrame> frames;
    for (int i = 0; i < 6; ++i) {
        std::vector<GifPixelType> indices(64 * 64);
        for (std::size_t p = 0; p < indices.size(); ++p) indices[p] = static_cast<GifPixelType>((p / 64 + p + static_cast<std::size_t>(i)) % 4);
        frames.push_back({0, 0, 64, 64, indices, 10, NO_TRANSPARENT_COLOR, DISPOSE_DO_NOT});
    }
    const ns::Data gif(writeGIF(64, 64, frames));
    ImageSource all(gif);
    ASSERT_EQ(all.count(), 6u);
    const auto first = all.createImage(0);

    ImageSource arriving;
    bool seen = false;
    for (std::size_t length = 1; length < gif.length(); length += 5) {
        arriving.updateData(prefix(gif, length), false);
        // Shown once its data and its end mark are in: never before it decodes, always once the next begins.
        const std::size_t whole = ImageSource(prefix(gif, length), true).count();
        const auto shown = arriving.createImage(0);
        if (whole >= 2) {
            EXPECT_TRUE(shown) << length;
        }
        if (shown) {
            EXPECT_GE(whole, 1u) << length;
            EXPECT_TRUE(samePixels(*shown, *first));
            EXPECT_LE(arriving.count(), 1u);
            EXPECT_FALSE(arriving.createImage(1));
            seen = true;
        }
    }
    EXPECT_TRUE(seen);
    arriving.updateData(gif, true);
    ASSERT_EQ(arriving.count(), 6u);
    EXPECT_TRUE(samePixels(*arriving.createImage(5), *all.createImage(5)));
}

TEST(ImageCodecTests, AnAnimationOverThePixelBudgetIsRefusedNotCutShort) {
    // 2048 × 2048 pixels a frame: eight frames fill the budget exactly, a ninth is over it.
    const std::vector<GifPixelType> dot = {1};
    auto animation = [&](int count) {
        std::vector<GifFrame> frames(static_cast<std::size_t>(count), GifFrame{5, 5, 1, 1, dot, 4, NO_TRANSPARENT_COLOR, DISPOSE_DO_NOT});
        return ns::Data(writeGIF(2048, 2048, frames));
    };
    EXPECT_EQ(ImageSource(animation(8)).count(), 8u);
    const ns::Data over = animation(9);
    EXPECT_EQ(ImageSource(over).count(), 0u);
    EXPECT_FALSE(decodeImage(over));
    EXPECT_EQ(ImageSource(over, true).count(), 0u);
    // While it arrives, only its first frame is decoded, which is within the budget.
    EXPECT_TRUE(ImageSource(over, true).createImage(0));
}

TEST(ImageCodecTests, AFrameLargerThanTheScreenCountsWithItsOwnArea) {
    // A small screen does not make a huge frame cheap: all of its pixels are decoded.
    const int side = 5800;  // just over the budget
    const GifFrame huge{0, 0, side, side, std::vector<GifPixelType>(static_cast<std::size_t>(side) * side, 1), 4,
                        NO_TRANSPARENT_COLOR, DISPOSE_DO_NOT};
    const ns::Data data(writeGIF(2, 2, {huge}));
    EXPECT_EQ(ImageSource(data).count(), 0u);
    EXPECT_FALSE(decodeImage(data));
    // A frame that overhangs the screen but fits the budget is still shown, clipped to the screen.
    const GifFrame overhanging{0, 0, 64, 64, std::vector<GifPixelType>(64 * 64, 1), 4, NO_TRANSPARENT_COLOR,
                               DISPOSE_DO_NOT};
    const auto image = decodeImage(ns::Data(writeGIF(2, 2, {overhanging})));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 2);
    EXPECT_EQ(image->pixel(1, 1).g, 255);
}

// A file of those bytes in a folder of its own, gone with the object.
class PictureFile {
public:
    explicit PictureFile(const Bytes& bytes) {
        char folder[] = "/tmp/quillory-picture-XXXXXX";
        folder_ = ::mkdtemp(folder);
        std::ofstream(path(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ~PictureFile() { std::filesystem::remove_all(folder_); }
    std::string path() const { return folder_ + "/picture"; }

private:
    std::string folder_;
};

// Whether `reduced` keeps every n-th pixel of every n-th row of `whole`.
::testing::AssertionResult subsampled(const Image& reduced, const Image& whole, int n) {
    if (reduced.width() != (whole.width() + n - 1) / n || reduced.height() != (whole.height() + n - 1) / n)
        return ::testing::AssertionFailure() << reduced.width() << "x" << reduced.height();
    for (int y = 0; y < reduced.height(); ++y) {
        for (int x = 0; x < reduced.width(); ++x) {
            if (!(reduced.pixel(x, y) == whole.pixel(x * n, y * n))) return ::testing::AssertionFailure() << "at " << x << "," << y;
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(ImageCodecTests, PictureFilesDecodeReducedByKeepingEveryNthPixel) {
    const auto picture = samplePicture(40, 30, true);
    const std::vector<std::uint8_t> rgba = picture->rgbaBytes();
    Bytes interlacedSamples;
    for (std::size_t i = 0; i < rgba.size(); i += 4) interlacedSamples.insert(interlacedSamples.end(), rgba.begin() + i, rgba.begin() + i + 3);
    std::vector<GifPixelType> indices(40 * 30);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<GifPixelType>((i * 7 / 5 + i / 40) % 4);
    const GifFrame frame{0, 0, 40, 30, indices, -1, NO_TRANSPARENT_COLOR, DISPOSE_DO_NOT};
    const auto png = encodePNG(*picture);
    ASSERT_TRUE(png);
    const Bytes plain(png->bytes(), png->bytes() + png->length());
    for (const Bytes& bytes : {plain, writeInterlacedPNG(40, 30, interlacedSamples), writeGIF(40, 30, {frame})}) {
        const auto whole = decodeImage(ns::Data(bytes));
        ASSERT_TRUE(whole);
        const PictureFile file(bytes);
        auto opened = ImageFile::open(file.path());
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->properties().pixelWidth, 40);
        EXPECT_EQ(opened->properties().pixelHeight, 30);
        for (int n : {1, 3, 4}) {
            const auto reduced = opened->createImage(n + 0.5);
            ASSERT_TRUE(reduced) << n;
            EXPECT_TRUE(subsampled(*reduced, *whole, n)) << int(imageTypeOf(bytes)) << " by " << n;
        }
    }

    // JPEG by its scaled transform, to the eighth at most.
    const Bytes jpeg = writeJPEG(64, 48, 3, false);
    const PictureFile jpegFile(jpeg);
    auto opened = ImageFile::open(jpegFile.path());
    ASSERT_TRUE(opened);
    const auto whole = decodeImage(ns::Data(jpeg));
    EXPECT_TRUE(samePixels(*opened->createImage(1), *whole));
    EXPECT_EQ(opened->createImage(2)->size(), (Size{32, 24}));
    EXPECT_EQ(opened->createImage(3)->size(), (Size{24, 18})) << "three eighths";
    EXPECT_EQ(opened->createImage(100)->size(), (Size{8, 6}));

    // A picture over the pixel budget is reduced as far as it takes, where the source refuses it.
    const int side = 5800;
    const Bytes stripes(static_cast<std::size_t>(side / 8) * side, 0xF0);
    const Bytes over = writePNG(side, side, PNG_COLOR_TYPE_GRAY, 1, nullptr, stripes);
    EXPECT_FALSE(decodeImage(ns::Data(over)));
    const PictureFile overFile(over);
    auto large = ImageFile::open(overFile.path());
    ASSERT_TRUE(large);
    const auto reduced = large->createImage(1);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced->width(), side / 2);
    EXPECT_EQ(reduced->pixel(0, 0).r, 255);
    EXPECT_EQ(reduced->pixel(2, 0).r, 0) << "every other pixel of the white-four, black-four stripes";
}

}  // namespace
}  // namespace ql::cg
