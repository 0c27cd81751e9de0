// Remote images from the cache. A 100 KB JPEG answered from the memory cache and from the disk cache
// (file read, decode, scale and forced decoding) beside the same file read and decoded by libjpeg directly,
// which is what a disk hit cannot do better than; and a 100-row table whose thumbnails all come from the
// disk cache, from reloadData until every row shows its picture.

#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "images/webimage/ImageCache.h"
#include "images/webimage/ImageViewWebCache.h"
#include "images/webimage/WebImageManager.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "bench/BenchmarkMain.h"
#include "tests/support/ReferenceJPEG.h"

using namespace ql;

namespace {

constexpr int kRows = 100;
constexpr double kRowHeight = 44;
const std::string kPictureKey = "http://127.0.0.1:9/Upload/Book/picture.jpg";

// A photograph-like picture (smooth shading with fine texture) of about 100 KB as JPEG.
std::string encodePicture(int width, int height, int quality, unsigned seed) {
    test::ReferenceJPEG jpeg;
    jpeg.width = width;
    jpeg.height = height;
    jpeg.quality = quality;
    jpeg.sample = [width, height, noise = seed, grain = 0](int x, int y, int c) mutable {
        if (c == 0) {
            noise = noise * 1103515245u + 12345u;
            grain = static_cast<int>((noise >> 16) % 24);
        }
        const int base = c == 0 ? x * 255 / width : c == 1 ? y * 255 / height : (x + y) / 4;
        return static_cast<std::uint8_t>((base + grain) & 0xFF);
    };
    return jpeg.encode();
}

struct Fixture {
    ns::TemporarySandbox sandbox;
    std::shared_ptr<ImageCache> cache;
    std::string picture;
    std::vector<std::string> thumbnailKeys;

    Fixture() {
        ui::Screen::mainScreen().setBounds({0, 0, 375, kRows * kRowHeight});
        ui::Screen::mainScreen().setScale(2);
        cache = ImageCache::sharedImageCache();
        picture = encodePicture(800, 600, 72, 1);
        cache->storeImage(cache->scaledImageForKey(kPictureKey, ui::Image::imageWithData(ns::Data(picture))), false,
                          ns::Data(picture), kPictureKey, true);
        for (int i = 0; i < kRows; ++i) {
            const std::string thumbnail = encodePicture(120, 160, 80, static_cast<unsigned>(i + 2));
            thumbnailKeys.push_back("http://127.0.0.1:9/Upload/Book/" + std::to_string(i) + ".jpg");
            cache->storeImage(ui::Image::imageWithData(ns::Data(thumbnail)), false, ns::Data(thumbnail),
                              thumbnailKeys.back(), true);
        }
        cache->ioQueue()->sync([] {});
        cache->clearMemory();
    }
};

bench::SharedFixture<Fixture> shared;

Fixture& fixture() { return shared.get(); }

// The file read and decoded by libjpeg alone, to RGB rows.
void BM_DirectLibjpegDecode(benchmark::State& state) {
    Fixture& f = fixture();
    const std::string path = f.cache->defaultCachePathForKey(kPictureKey);
    for (auto _ : state) {
        auto data = ns::dataWithContentsOfFile(path);
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, data->bytes(), static_cast<unsigned long>(data->length()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&cinfo);
        // A fresh bitmap each time, as every decoded image needs one.
        const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * 4;
        std::unique_ptr<unsigned char[]> pixels(new unsigned char[stride * cinfo.output_height]);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.get() + stride * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.get());
    }
    state.counters["jpeg_bytes"] = static_cast<double>(f.picture.size());
}
BENCHMARK(BM_DirectLibjpegDecode)->Unit(benchmark::kMicrosecond);

void BM_DiskCacheHit(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        f.cache->clearMemory();
        state.ResumeTiming();
        auto image = f.cache->imageFromDiskCacheForKey(kPictureKey);
        if (!image) state.SkipWithError("no disk hit");
        benchmark::DoNotOptimize(image.get());
    }
}
BENCHMARK(BM_DiskCacheHit)->Unit(benchmark::kMicrosecond);

void BM_MemoryCacheHit(benchmark::State& state) {
    Fixture& f = fixture();
    f.cache->imageFromDiskCacheForKey(kPictureKey);
    for (auto _ : state) {
        std::shared_ptr<ui::Image> found;
        f.cache->queryDiskCacheForKey(kPictureKey, [&](std::shared_ptr<ui::Image> image, ImageCacheSource) {
            found = std::move(image);
        });
        if (!found) state.SkipWithError("no memory hit");
        benchmark::DoNotOptimize(found.get());
    }
}
BENCHMARK(BM_MemoryCacheHit)->Unit(benchmark::kMicrosecond);

class Thumbnails : public ui::TableViewDataSource {
public:
    explicit Thumbnails(const std::vector<std::string>& keys) : keys_(keys) {}
    std::int64_t tableViewNumberOfRowsInSection(ui::TableView&, std::int64_t) override { return kRows; }
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& table,
                                                                      const ns::IndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("Book", path);
        cell->textLabel()->setText("Book " + std::to_string(path.row()));
        wi_setImageWithURL(cell->imageView(), ns::URL::fromString(keys_[static_cast<std::size_t>(path.row())]), nullptr,
                           0, {}, [this](std::shared_ptr<ui::Image> image, auto, auto, auto) {
                               if (image) ++shown;
                           });
        return cell;
    }
    int shown = 0;

private:
    const std::vector<std::string>& keys_;
};

// Every thumbnail answers from disk (without the app's refresh, whose revalidation would measure the
// network instead).
void BM_TableRowsFromDiskCache(benchmark::State& state) {
    Fixture& f = fixture();
    const cg::Rect frame{0, 0, 375, kRows * kRowHeight};
    auto rows = std::make_shared<Thumbnails>(f.thumbnailKeys);
    auto window = std::make_shared<ui::Window>(frame);
    auto table = std::make_shared<ui::TableView>(frame);
    table->setRowHeight(kRowHeight);
    table->registerClass([](const std::string& identifier) {
        return std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, identifier);
    }, "Book");
    table->setDataSource(rows);
    auto root = std::make_shared<ui::ViewController>();
    window->setRootViewController(root);
    root->view()->addSubview(table);
    window->makeKeyAndVisible();
    for (auto _ : state) {
        state.PauseTiming();
        f.cache->clearMemory();
        WebImageManager::sharedManager()->cancelAll();
        rows->shown = 0;
        state.ResumeTiming();
        table->reloadData();
        table->layoutIfNeeded();
        if (!ns::RunLoop::main()->runUntil([&] { return rows->shown >= kRows; }, 30)) state.SkipWithError("rows not shown");
    }
    state.counters["rows"] = kRows;
    window->setHidden(true);
}
BENCHMARK(BM_TableRowsFromDiskCache)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return ql::bench::runBenchmarksThenEnd(argc, argv, shared); }
