// The photo picker opening on camera albums, measured as a person meets it: from presenting the picker
// until its grid stands at the album's last photos. "main_ms" is the main thread's CPU time over that (what
// holds the screen); "shown_ms" the wall time until the thumbnails of the cells on screen are in, made by
// the library's workers. Each opening starts cold: the kept thumbnails are given back first.
//
//   AlbumOf40TwelveMegapixelPhotos   40 photos of 4032 × 3024, as a phone takes them (no embedded thumbnail)
//   AlbumOf5000Photos                5,000 such photos: listing, the grid and its first screen

#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "images/picker/PKImagePickerController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/photos/AssetImages.h"
#include "platform/ui/NavigationController.h"
#include "tests/platform/photos/PhotoLibraryFixture.h"
#include "tests/support/ReferenceJPEG.h"
#include "tests/ui/BootedDevice.h"

namespace {

using namespace ql;
namespace fs = std::filesystem;

double threadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// A photo as a phone's camera writes one: smooth light with sensor noise, 4032 × 3024 at quality 90
// (about 4.7 MB), so that its decoding costs what a real one does.
const std::string& cameraPhoto() {
    static const std::string bytes = [] {
        test::ReferenceJPEG jpeg;
        jpeg.width = 4032;
        jpeg.height = 3024;
        jpeg.quality = 90;
        unsigned seed = 1;
        jpeg.fillRow = [&seed](int y, std::uint8_t* row) {
            for (int x = 0; x < 4032; ++x) {
                seed = seed * 1103515245 + 12345;
                const int noise = static_cast<int>((seed >> 16) % 24);
                row[3 * x] = static_cast<std::uint8_t>(x * 255 / 4032 + noise);
                row[3 * x + 1] = static_cast<std::uint8_t>(y * 255 / 3024 + noise);
                row[3 * x + 2] = static_cast<std::uint8_t>(128 + 60 * ((x / 97 + y / 89) % 2) + noise);
            }
        };
        return jpeg.encode();
    }();
    return bytes;
}

// The camera roll of `count` photos: one file written, the others links to it, each its own asset.
void fillRoll(int count) {
    const fs::path roll = fs::path(al::AssetsLibrary::folder()) / "Saved Photos";
    const fs::path first = roll / "IMG_0001.JPG";
    std::ofstream(first, std::ios::binary) << cameraPhoto();
    for (int i = 2; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", i);
        fs::create_hard_link(first, roll / name);
    }
}

void openPicker(benchmark::State& state, int photos) {
    test::PhotoLibraryFixture library;
    fillRoll(photos);
    test::BootedDevice app(sim::ScreenProfile::phone375x667());
    double mainTotal = 0, shownTotal = 0;
    for (auto _ : state) {
        ns::NotificationCenter::defaultCenter().post(ns::MemoryWarningNotification);
        const auto wallStart = std::chrono::steady_clock::now();
        const double cpuStart = threadMilliseconds();
        auto picker = std::make_shared<PKImagePickerController>();
        picker->setMinimumNumberOfSelection(1);
        picker->setMaximumNumberOfSelection(3);
        auto navigation = std::make_shared<ui::NavigationController>(picker);
        app.delegate->root->presentViewController(navigation, false);
        app.device.advance(1);
        mainTotal += threadMilliseconds() - cpuStart;
        al::waitForAssetImageRequests();
        app.device.advance(0);
        shownTotal += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
        state.PauseTiming();
        app.delegate->root->dismissViewControllerAnimated(false);
        app.device.advance(1);
        state.ResumeTiming();
    }
    state.counters["main_ms"] = mainTotal / static_cast<double>(state.iterations());
    state.counters["shown_ms"] = shownTotal / static_cast<double>(state.iterations());
}

void AlbumOf40TwelveMegapixelPhotos(benchmark::State& state) { openPicker(state, 40); }
void AlbumOf5000Photos(benchmark::State& state) { openPicker(state, 5000); }

BENCHMARK(AlbumOf40TwelveMegapixelPhotos)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(AlbumOf5000Photos)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
