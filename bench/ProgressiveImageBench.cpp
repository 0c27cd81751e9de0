// Progressive against plain image loads. A picture of 1, 4 or 12 MB (PNG, progressive JPEG, animated GIF)
// is downloaded from a server on 127.0.0.1, once plainly and once with partial images, one after the
// other in each iteration; the counters give both times and their ratio, which should stay near 1 at
// every size: a progressive load reads each byte once, like a plain one.

#include <benchmark/benchmark.h>

#include <gif_lib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "images/webimage/WebImageDownloader.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Timer.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageEncoding.h"
#include "bench/BenchmarkMain.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/ReferenceJPEG.h"

using namespace ql;

namespace {

enum Kind { PNG, ProgressiveJPEG, GIF };

// Photograph-like content: smooth shading under fine grain, which none of the formats squeezes away.
std::uint8_t shade(int x, int y, int c, unsigned& noise) {
    noise = noise * 1103515245u + 12345u;
    return static_cast<std::uint8_t>((x * (c + 1) / 3 + y * (3 - c) / 2 + static_cast<int>((noise >> 16) % 48)) & 0xFF);
}

std::string encodePNG(int side) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(side) * side * 4);
    unsigned noise = 7;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            for (int c = 0; c < 4; ++c)
                rgba[(static_cast<std::size_t>(y) * side + x) * 4 + c] = c == 3 ? 255 : shade(x, y, c, noise);
    cg::ImageLayout layout;
    layout.alphaInfo = cg::ImageAlphaInfo::NoneSkipLast;
    return std::string(cg::encodePNG(*cg::Image::fromRGBA(side, side, rgba.data(), layout))->view());
}

std::string encodeProgressiveJPEG(int side) {
    test::ReferenceJPEG jpeg;
    jpeg.width = jpeg.height = side;
    jpeg.progressive = true;
    jpeg.sample = [noise = 11u](int x, int y, int c) mutable { return shade(x, y, c, noise); };
    return jpeg.encode();
}

// `frames` frames of 200 × 200 grain in a 256-colour palette.
std::string encodeGIF(int frames) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, [](GifFileType* g, const GifByteType* d, int n) {
        static_cast<std::string*>(g->UserData)->append(reinterpret_cast<const char*>(d), static_cast<std::size_t>(n));
        return n;
    }, &error);
    std::vector<GifColorType> colors(256);
    for (int i = 0; i < 256; ++i) colors[static_cast<std::size_t>(i)] = {static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i), static_cast<GifByteType>(i * 7)};
    ColorMapObject* map = GifMakeMapObject(256, colors.data());
    EGifSetGifVersion(gif, true);
    constexpr int kSide = 200;
    EGifPutScreenDesc(gif, kSide, kSide, 8, 0, map);
    std::vector<GifPixelType> line(kSide);
    unsigned noise = 3;
    for (int frame = 0; frame < frames; ++frame) {
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 4, NO_TRANSPARENT_COLOR};
        GifByteType extension[4];
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(EGifGCBToExtension(&control, extension)), extension);
        EGifPutImageDesc(gif, 0, 0, kSide, kSide, false, nullptr);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) line[static_cast<std::size_t>(x)] = shade(x, y + frame, 0, noise);
            EGifPutLine(gif, line.data(), kSide);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

std::string encode(Kind kind, double scale) {
    switch (kind) {
    case PNG: return encodePNG(static_cast<int>(std::lround(512 * std::sqrt(scale))));
    case ProgressiveJPEG: return encodeProgressiveJPEG(static_cast<int>(std::lround(512 * std::sqrt(scale))));
    default: return encodeGIF(std::max(1, static_cast<int>(std::lround(8 * scale))));
    }
}

// A picture of about `megabytes`, found by scaling a small one by the size it came to.
const std::string& picture(Kind kind, int megabytes) {
    static std::map<std::pair<Kind, int>, std::string> made;
    auto& bytes = made[{kind, megabytes}];
    if (bytes.empty()) {
        const double sample = static_cast<double>(encode(kind, 1).size());
        bytes = encode(kind, megabytes * 1048576.0 / sample);
    }
    return bytes;
}

struct Fixture {
    ns::TemporarySandbox sandbox;
    test::LoopbackServer server;
};

bench::SharedFixture<Fixture> shared;

Fixture& fixture() { return shared.get(); }

// One download to its end on the main run loop; the partial images it reported.
int download(const std::string& path, bool progressive, double* seconds) {
    auto downloader = std::make_shared<WebImageDownloader>();
    bool finished = false, failed = false;
    int partials = 0;
    const auto start = std::chrono::steady_clock::now();
    downloader->downloadImageWithURL(*ns::URL::fromString(fixture().server.url(path)),
                                     progressive ? std::uint64_t{WebImageFetchProgressive} : 0, {},
                                     [&](std::shared_ptr<ui::Image> image, auto, auto, bool done) {
                                         if (!done) {
                                             ++partials;
                                             return;
                                         }
                                         failed = !image;
                                         finished = true;
                                     });
    auto poll = ns::Timer::scheduledTimer(0.001, true, [](ns::Timer&) {});
    ns::RunLoop::main()->runUntil([&] { return finished; }, 120);
    poll->invalidate();
    *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return failed || !finished ? -1 : partials;
}

void BM_ProgressiveAgainstPlainLoad(benchmark::State& state, Kind kind) {
    const int megabytes = static_cast<int>(state.range(0));
    const std::string& bytes = picture(kind, megabytes);
    const std::string path = "/picture-" + std::to_string(kind) + "-" + std::to_string(megabytes);
    fixture().server.handle(path, [&bytes](const httplib::Request&, httplib::Response& response) {
        response.set_content(bytes, "application/octet-stream");
    });
    double plain = 0, progressive = 0;
    int partials = 0;
    for (auto _ : state) {
        double once = 0;
        if (download(path, false, &once) < 0) state.SkipWithError("plain load failed");
        plain += once;
        partials = download(path, true, &once);
        if (partials < 0) state.SkipWithError("progressive load failed");
        progressive += once;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["MB"] = static_cast<double>(bytes.size()) / 1048576.0;
    state.counters["plain_ms"] = plain / n * 1000;
    state.counters["progressive_ms"] = progressive / n * 1000;
    state.counters["ratio"] = progressive / plain;
    state.counters["partials"] = partials;
}
BENCHMARK_CAPTURE(BM_ProgressiveAgainstPlainLoad, png, PNG)->Arg(1)->Arg(4)->Arg(12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProgressiveAgainstPlainLoad, progressive_jpeg, ProgressiveJPEG)
    ->Arg(1)->Arg(4)->Arg(12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProgressiveAgainstPlainLoad, gif, GIF)->Arg(1)->Arg(4)->Arg(12)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return ql::bench::runBenchmarksThenEnd(argc, argv, shared); }
