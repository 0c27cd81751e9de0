#include "tests/images/webimage/WebImageTestSupport.h"

#include "tests/support/ReferenceJPEG.h"

#include <gif_lib.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>

#include "images/webimage/ImageCache.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"

namespace ql::test {

namespace {

// Every web-image test program runs in a sandbox of its own.
[[maybe_unused]] const auto* const kSandbox = ::testing::AddGlobalTestEnvironment(new WebImageSandbox);

}  // namespace

void WebImageSandbox::SetUp() { sandbox_ = std::make_unique<ns::TemporarySandbox>(); }

void WebImageSandbox::TearDown() {
    // Files the shared cache still writes would land in the folder being removed.
    ImageCache::sharedImageCache()->ioQueue()->sync([] {});
    sandbox_.reset();
}

bool pumpUntil(const std::function<bool()>& condition, double seconds) {
    // Downloads finish on their own threads without posting to the main loop: a short repeating timer makes
    // the loop look at the condition again.
    auto poll = ns::Timer::scheduledTimer(0.002, true, [](ns::Timer&) {});
    const bool satisfied = ns::RunLoop::main()->runUntil(condition, seconds);
    poll->invalidate();
    return satisfied;
}

void drainMainQueue() {
    auto drained = std::make_shared<std::atomic<bool>>(false);
    ns::DispatchQueue::main()->async([drained] { *drained = true; });
    pumpUntil([&] { return drained->load(); });
}

void settleImageCache() {
    ImageCache::sharedImageCache()->ioQueue()->sync([] {});
    drainMainQueue();
}

namespace {

std::uint8_t rampValue(int x, int y, int c, std::uint8_t tint) {
    return static_cast<std::uint8_t>((x * 5 + y * 3 + c * 60 + tint) & 0xFF);
}

}  // namespace

std::string jpegBytes(int width, int height, int exifOrientation, bool progressive, std::uint8_t tint) {
    test::ReferenceJPEG jpeg;
    jpeg.width = width;
    jpeg.height = height;
    jpeg.progressive = progressive;
    jpeg.exifOrientation = exifOrientation;
    jpeg.sample = [tint](int x, int y, int c) { return rampValue(x, y, c, tint); };
    return jpeg.encode();
}

std::string pngBytes(int width, int height, bool alpha) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, [](png_structp p, png_bytep d, png_size_t n) {
        static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(d), n);
    }, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int channels = alpha ? 4 : 3;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width * channels));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                row[static_cast<std::size_t>(x * channels + c)] = c == 3 ? 128 : rampValue(x, y, c, 0);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string gifBytes(int frames, int delay) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, [](GifFileType* g, const GifByteType* d, int n) {
        static_cast<std::string*>(g->UserData)->append(reinterpret_cast<const char*>(d), static_cast<std::size_t>(n));
        return n;
    }, &error);
    const GifColorType colors[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    constexpr int kSide = 8;
    EGifPutScreenDesc(gif, kSide, kSide, 2, 0, map);
    std::vector<GifPixelType> line(kSide);
    for (int frame = 0; frame < frames; ++frame) {
        if (delay >= 0) {
            GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, delay, NO_TRANSPARENT_COLOR};
            GifByteType extension[4];
            const std::size_t length = EGifGCBToExtension(&control, extension);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension);
        }
        EGifPutImageDesc(gif, 0, 0, kSide, kSide, false, nullptr);
        std::fill(line.begin(), line.end(), static_cast<GifPixelType>(frame % 4));
        for (int y = 0; y < kSide; ++y) EGifPutLine(gif, line.data(), kSide);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

std::shared_ptr<const cg::Image> rampBitmap(int width, int height, bool alpha) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height * 4));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 4; ++c)
                rgba[static_cast<std::size_t>((y * width + x) * 4 + c)] = c == 3 ? (alpha ? 128 : 255) : rampValue(x, y, c, 0);
    cg::ImageLayout layout;
    layout.alphaInfo = alpha ? cg::ImageAlphaInfo::Last : cg::ImageAlphaInfo::NoneSkipLast;
    return cg::Image::fromRGBA(width, height, rgba.data(), layout);
}

// ---- Picture endpoint ----

PictureEndpoint::PictureEndpoint(LoopbackServer& server, std::string path, std::string bytes, std::string contentType)
    : state_(std::make_shared<State>()) {
    state_->bytes = std::move(bytes);
    server.handle(path, [state = state_, contentType](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(state->mutex);
        const std::string etag = "\"v" + std::to_string(state->version) + "\"";
        response.set_header("ETag", etag);
        response.set_header("Cache-Control", "no-cache");
        if (request.get_header_value("If-None-Match") == etag) {
            ++state->notModified;
            response.status = 304;
            return;
        }
        response.set_content(state->bytes, contentType);
    });
}

void PictureEndpoint::replace(std::string bytes) {
    std::lock_guard lock(state_->mutex);
    state_->bytes = std::move(bytes);
    ++state_->version;
}

std::string PictureEndpoint::etag() const {
    std::lock_guard lock(state_->mutex);
    return "\"v" + std::to_string(state_->version) + "\"";
}

int PictureEndpoint::notModifiedCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->notModified;
}

// ---- Notifications ----

NotificationCounter::NotificationCounter(std::string_view name) : count_(std::make_shared<std::atomic<int>>(0)) {
    token_ = ns::NotificationCenter::defaultCenter().addObserverForName(
        name, nullptr, nullptr, [count = count_](const ns::Notification&) { ++*count; });
}

NotificationCounter::~NotificationCounter() { ns::NotificationCenter::defaultCenter().removeObserver(token_.get()); }

}  // namespace ql::test
