#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "platform/graphics/ImageCodecs.h"

namespace ql::cg {

namespace {

struct Input {
    std::span<const std::uint8_t> bytes;
    std::size_t position = 0;
};

int readInput(GifFileType* gif, GifByteType* out, int length) {
    auto* input = static_cast<Input*>(gif->UserData);
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(length, 0)), input->bytes.size() - input->position);
    std::memcpy(out, input->bytes.data() + input->position, n);
    input->position += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// The frames of one animation together may not take more than this many pixels.
constexpr std::size_t kFramePixelBudget = kMaxImagePixels;

// The logical screen, `width` × `height` pixels, of which every `factor`-th pixel of every `factor`-th row
// is kept, in a bitmap of `keptWidth` × `keptHeight`.
struct Canvas {
    int width = 0;
    int height = 0;
    int factor = 1;
    int keptWidth = 0;
    int keptHeight = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t* at(int x, int y) {
        return x % factor || y % factor ? nullptr
                                        : &pixels[static_cast<std::size_t>(y / factor) * static_cast<std::size_t>(keptWidth) +
                                                  static_cast<std::size_t>(x / factor)];
    }
};

// Reads the current image's indices and paints the opaque ones onto the canvas.
bool paintFrame(GifFileType* gif, Canvas& canvas, int transparentIndex) {
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || desc.Width <= 0 || desc.Height <= 0 || desc.Width > kMaxImageDimension ||
        desc.Height > kMaxImageDimension)
        return false;
    std::vector<GifPixelType> line(static_cast<std::size_t>(desc.Width));
    // Interlaced rows arrive in four passes: every 8th from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    const int passes = desc.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = desc.Interlace ? kStart[pass] : 0;
        const int step = desc.Interlace ? kStep[pass] : 1;
        for (int row = start; row < desc.Height; row += step) {
            if (DGifGetLine(gif, line.data(), desc.Width) != GIF_OK) return false;
            const int y = desc.Top + row;
            if (y < 0 || y >= canvas.height || y % canvas.factor) continue;
            for (int column = 0; column < desc.Width; ++column) {
                const int x = desc.Left + column;
                const int index = line[static_cast<std::size_t>(column)];
                if (x < 0 || x >= canvas.width || index == transparentIndex || index >= map->ColorCount) continue;
                std::uint32_t* pixel = canvas.at(x, y);
                if (!pixel) continue;
                const GifColorType& c = map->Colors[index];
                *pixel = 0xFF000000u | (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
            }
        }
    }
    return true;
}

void clearRect(Canvas& canvas, const GifImageDesc& desc) {
    // The kept pixels inside the frame's rectangle.
    const auto kept = [&](int low, int high, int limit) {
        const int f = canvas.factor;
        return std::pair{(std::max(0, low) + f - 1) / f, (std::min(limit, high) + f - 1) / f};
    };
    const auto [x0, x1] = kept(desc.Left, desc.Left + desc.Width, canvas.width);
    const auto [y0, y1] = kept(desc.Top, desc.Top + desc.Height, canvas.height);
    for (int y = y0; y < y1; ++y)
        std::fill_n(canvas.pixels.begin() + static_cast<std::ptrdiff_t>(y) * canvas.keptWidth + x0, std::max(0, x1 - x0), 0u);
}

}  // namespace

std::vector<DecodedImage> decodeGIF(std::span<const std::uint8_t> bytes, bool partial, std::size_t maxFrames,
                                    Reduction reduction) {
    if (bytes.size() < 6 || std::memcmp(bytes.data(), "GIF8", 4) != 0) return {};
    Input input{bytes};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&input, readInput, &error));
    if (!gif) return {};

    Canvas canvas;
    canvas.width = gif->SWidth;
    canvas.height = gif->SHeight;
    std::vector<DecodedImage> frames;
    // Reduced, a frame keeps fewer pixels than it decodes: the budget then bounds the pixels kept, and the
    // indices read may go to four times that, enough for one frame of the largest camera pictures.
    std::size_t budget = reduction.fitBudget ? 4 * kFramePixelBudget : kFramePixelBudget;
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    bool haveControl = false;
    bool complete = false;
    bool failed = false;

    while (!complete && !failed && frames.size() < maxFrames) {
        GifRecordType type;
        if (DGifGetRecordType(gif.get(), &type) != GIF_OK) {
            // Data that ends right after a whole frame only lacks its trailer.
            failed = !(input.position == bytes.size() && !frames.empty());
            break;
        }
        switch (type) {
        case IMAGE_DESC_RECORD_TYPE: {
            if (DGifGetImageDesc(gif.get()) != GIF_OK) {
                failed = true;
                break;
            }
            const GifImageDesc& desc = gif->Image;
            if (canvas.pixels.empty()) {
                // A zero logical screen takes the first frame's extent.
                if (canvas.width <= 0 || canvas.height <= 0) {
                    canvas.width = desc.Left + desc.Width;
                    canvas.height = desc.Top + desc.Height;
                }
                const auto width = static_cast<std::size_t>(std::max(canvas.width, 0));
                const auto height = static_cast<std::size_t>(std::max(canvas.height, 0));
                canvas.factor = static_cast<int>(subsamplingFactor(reduction, width, height));
                canvas.keptWidth = (canvas.width + canvas.factor - 1) / canvas.factor;
                canvas.keptHeight = (canvas.height + canvas.factor - 1) / canvas.factor;
                if (width == 0 || height == 0 || !imageSizeAllowed(static_cast<std::size_t>(canvas.keptWidth),
                                                                   static_cast<std::size_t>(canvas.keptHeight))) {
                    failed = true;
                    break;
                }
                canvas.pixels.assign(static_cast<std::size_t>(canvas.keptWidth) * static_cast<std::size_t>(canvas.keptHeight), 0u);
            }
            // An animation over the budget is refused as a whole, like a still image over it, rather than
            // shown cut short. Every pixel of a frame is decoded, on the screen or not, so a frame larger
            // than the screen counts with its own area.
            const std::size_t frameArea = static_cast<std::size_t>(std::max(desc.Width, 0)) *
                                          static_cast<std::size_t>(std::max(desc.Height, 0));
            const std::size_t framePixels = std::max(canvas.pixels.size(), frameArea);
            if (framePixels > budget) return {};
            budget -= framePixels;
            const std::vector<std::uint32_t> before =
                control.DisposalMode == DISPOSE_PREVIOUS ? canvas.pixels : std::vector<std::uint32_t>{};
            if (!paintFrame(gif.get(), canvas, haveControl ? control.TransparentColor : NO_TRANSPARENT_COLOR)) {
                failed = true;
                break;
            }
            DecodedImage frame;
            frame.properties.pixelWidth = canvas.keptWidth;
            frame.properties.pixelHeight = canvas.keptHeight;
            frame.properties.hasAlpha = std::any_of(canvas.pixels.begin(), canvas.pixels.end(),
                                                    [](std::uint32_t p) { return (p >> 24) == 0; });
            frame.properties.colorModel = ColorSpaceModel::RGB;
            frame.properties.isProgressive = desc.Interlace;
            if (haveControl) {
                const double delay = control.DelayTime / 100.0;
                frame.properties.gifUnclampedDelayTime = delay;
                frame.properties.gifDelayTime = delay < 0.011 ? 0.1 : delay;
            }
            ImageLayout layout;
            layout.alphaInfo = frame.properties.hasAlpha ? ImageAlphaInfo::Last : ImageAlphaInfo::NoneSkipLast;
            frame.image = Image::create(canvas.keptWidth, canvas.keptHeight, canvas.pixels, layout);
            frames.push_back(std::move(frame));
            if (control.DisposalMode == DISPOSE_BACKGROUND) clearRect(canvas, desc);
            else if (control.DisposalMode == DISPOSE_PREVIOUS) canvas.pixels = before;
            control = {DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
            haveControl = false;
            break;
        }
        case EXTENSION_RECORD_TYPE: {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK) {
                failed = true;
                break;
            }
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                haveControl = DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK;
            }
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK) {
                    failed = true;
                    break;
                }
            }
            break;
        }
        case TERMINATE_RECORD_TYPE: complete = true; break;
        default: break;
        }
    }
    if (failed && !partial) return {};
    return frames;
}

std::optional<std::size_t> GIFFrameScanner::firstFrameEnd(std::span<const std::uint8_t> bytes) {
    auto colorTableSize = [](std::uint8_t packed) -> std::size_t {
        return (packed & 0x80) ? 3 * (std::size_t{1} << ((packed & 0x07) + 1)) : 0;
    };
    while (!end_ && !failed_) {
        const std::size_t available = bytes.size() > position_ ? bytes.size() - position_ : 0;
        const std::uint8_t* at = bytes.data() + position_;
        switch (phase_) {
        case Phase::Header:
            // Signature and logical screen, then the global colour table.
            if (available < 13) return std::nullopt;
            if (std::memcmp(at, "GIF8", 4) != 0) {
                failed_ = true;
                break;
            }
            position_ += 13 + colorTableSize(at[10]);
            phase_ = Phase::Block;
            break;
        case Phase::Block:
            if (available < 1) return std::nullopt;
            if (at[0] == 0x21) {
                if (available < 2) return std::nullopt;
                position_ += 2;
                phase_ = Phase::SubBlocks;
            } else if (at[0] == 0x2C) {
                // The descriptor, its local colour table and the code size; the pixels follow in sub-blocks.
                if (available < 10) return std::nullopt;
                const std::size_t length = 10 + colorTableSize(at[9]) + 1;
                if (available < length) return std::nullopt;
                position_ += length;
                inFrame_ = true;
                phase_ = Phase::SubBlocks;
            } else {
                failed_ = true;  // the trailer before any frame, or no GIF block at all
            }
            break;
        case Phase::SubBlocks:
            if (available < 1) return std::nullopt;
            if (at[0] == 0) {
                position_ += 1;
                if (inFrame_) end_ = position_;
                phase_ = Phase::Block;
            } else {
                if (available < std::size_t{at[0]} + 1) return std::nullopt;
                position_ += std::size_t{at[0]} + 1;
            }
            break;
        }
    }
    return end_;
}

}  // namespace ql::cg
