#include <gtest/gtest.h>

#include <atomic>

#include "images/webimage/WebImageManager.h"
#include "platform/foundation/FileManager.h"
#include "platform/net/URLError.h"
#include "tests/images/webimage/WebImageTestSupport.h"

namespace ql {
namespace {

// Every report of one load, as the manager's completion saw it.
struct Reports {
    struct Report {
        std::shared_ptr<ui::Image> image;
        std::optional<ns::Error> error;
        ImageCacheSource source = ImageCacheSourceNone;
        bool finished = false;
        bool onMainThread = false;
        bool managerRunning = false;
    };
    std::vector<Report> all;
    // The manager whose running state each report notes, if any.
    const WebImageManager* watched = nullptr;

    WebImageLoadCompletion block() {
        return [this](std::shared_ptr<ui::Image> image, std::optional<ns::Error> error, ImageCacheSource source,
                      bool finished, std::optional<ns::URL>) {
            all.push_back({std::move(image), std::move(error), source, finished, ns::DispatchQueue::isMainThread(),
                           watched && watched->isRunning()});
        };
    }
    std::size_t size() const { return all.size(); }
    const Report& last() const { return all.back(); }
};

class WebImageManagerTests : public ::testing::Test {
protected:
    void SetUp() override {
        cache = ImageCache::create("manager", sandbox.path());
        manager = std::make_shared<WebImageManager>(cache, std::make_shared<WebImageDownloader>());
    }
    void TearDown() override { settle(); }
    void settle() {
        cache->ioQueue()->sync([] {});
        test::drainMainQueue();
    }
    ns::URL url(std::string_view path) const { return *ns::URL::fromString(server.url(path)); }

    ns::TemporarySandbox sandbox;
    std::shared_ptr<ImageCache> cache;
    std::shared_ptr<WebImageManager> manager;
    test::LoopbackServer server;
};

TEST_F(WebImageManagerTests, MemoryThenDiskThenNetwork) {
    server.serveText("/a.jpg", test::jpegBytes(8, 8), "image/jpeg");
    Reports first;
    manager->downloadImageWithURL(url("/a.jpg"), 0, {}, first.block());
    EXPECT_TRUE(manager->isRunning());
    ASSERT_TRUE(test::pumpUntil([&] { return first.size() == 1; }));
    EXPECT_TRUE(first.last().image);
    EXPECT_EQ(first.last().source, ImageCacheSourceNone);
    EXPECT_TRUE(first.last().onMainThread);
    EXPECT_FALSE(manager->isRunning());
    settle();
    EXPECT_TRUE(manager->diskImageExistsForURL(url("/a.jpg")));
    // The downloaded bytes were kept as they came.
    EXPECT_EQ(ns::dataWithContentsOfFile(cache->defaultCachePathForKey(server.url("/a.jpg"))),
              ns::Data(test::jpegBytes(8, 8)));

    // A memory hit is reported before the call returns.
    Reports memory;
    manager->downloadImageWithURL(url("/a.jpg"), 0, {}, memory.block());
    ASSERT_EQ(memory.size(), 1u);
    EXPECT_EQ(memory.last().source, ImageCacheSourceMemory);
    EXPECT_TRUE(memory.last().finished);

    // A disk hit comes later, on the main queue.
    cache->clearMemory();
    Reports disk;
    manager->downloadImageWithURL(url("/a.jpg"), 0, {}, disk.block());
    EXPECT_EQ(disk.size(), 0u);
    ASSERT_TRUE(test::pumpUntil([&] { return disk.size() == 1; }));
    EXPECT_EQ(disk.last().source, ImageCacheSourceDisk);
    EXPECT_TRUE(disk.last().onMainThread);
    EXPECT_TRUE(disk.last().image);
    EXPECT_EQ(server.requests("/a.jpg").size(), 1u);

    bool exists = false;
    manager->cachedImageExistsForURL(url("/a.jpg"), [&](bool found) { exists = found; });
    ASSERT_TRUE(test::pumpUntil([&] { return exists; }));
}

TEST_F(WebImageManagerTests, TwoLoadsOfOneURLDownloadOnce) {
    const std::string jpeg = test::jpegBytes(8, 8);
    auto gate = server.makeGate();
    server.serveInTwoParts("/a.jpg", jpeg.substr(0, 50), jpeg.substr(50), gate);
    Reports one, two;
    manager->downloadImageWithURL(url("/a.jpg"), 0, {}, one.block());
    manager->downloadImageWithURL(server.url("/a.jpg"), 0, {}, two.block());
    ASSERT_TRUE(test::pumpUntil([&] { return server.requestCount() == 1; }));
    cache->ioQueue()->sync([] {});  // both loads have asked the downloader by now
    test::drainMainQueue();
    gate->open();
    ASSERT_TRUE(test::pumpUntil([&] { return one.size() == 1 && two.size() == 1; }));
    EXPECT_EQ(one.last().image, two.last().image);
    EXPECT_EQ(server.requests("/a.jpg").size(), 1u);
}

TEST_F(WebImageManagerTests, FailedURLsAreRememberedUnlessRetried) {
    server.serveText("/bad.jpg", "gone", "text/plain", 404);
    Reports first;
    manager->downloadImageWithURL(url("/bad.jpg"), 0, {}, first.block());
    ASSERT_TRUE(test::pumpUntil([&] { return first.size() == 1; }));
    ASSERT_TRUE(first.last().error);
    EXPECT_EQ(first.last().error->code(), 404);
    EXPECT_TRUE(manager->isFailedURL(url("/bad.jpg")));

    // Not asked again: the answer is at once, without touching cache or network.
    Reports again;
    manager->downloadImageWithURL(url("/bad.jpg"), 0, {}, again.block());
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again.last().error->domain(), ns::URLErrorDomain);
    EXPECT_EQ(again.last().error->code(), ns::URLErrorFileDoesNotExist);
    EXPECT_TRUE(again.last().finished);
    EXPECT_EQ(server.requests("/bad.jpg").size(), 1u);

    // Retried, it is asked again; a success takes it off the list.
    server.serveText("/bad.jpg", test::jpegBytes(4, 4), "image/jpeg");
    Reports retried;
    manager->downloadImageWithURL(url("/bad.jpg"), WebImageLoadRetryFailed, {}, retried.block());
    ASSERT_TRUE(test::pumpUntil([&] { return retried.size() == 1; }));
    EXPECT_TRUE(retried.last().image);
    EXPECT_FALSE(manager->isFailedURL(url("/bad.jpg")));

    // Undecodable bytes count as a failure of the URL; a refused connection does not.
    server.serveText("/text.jpg", "not a picture", "image/jpeg");
    Reports text;
    manager->downloadImageWithURL(url("/text.jpg"), 0, {}, text.block());
    ASSERT_TRUE(test::pumpUntil([&] { return text.size() == 1; }));
    EXPECT_TRUE(manager->isFailedURL(url("/text.jpg")));
    const test::RefusingPort gone;
    const auto refusedURL = ns::URL::fromString(gone.url("/x.jpg"));
    Reports refused;
    manager->downloadImageWithURL(refusedURL, 0, {}, refused.block());
    ASSERT_TRUE(test::pumpUntil([&] { return refused.size() == 1; }));
    EXPECT_EQ(refused.last().error->code(), ns::URLErrorCannotConnectToHost);
    EXPECT_FALSE(manager->isFailedURL(*refusedURL));

    Reports empty, none;
    manager->downloadImageWithURL("", 0, {}, empty.block());
    manager->downloadImageWithURL(std::nullopt, 0, {}, none.block());
    ASSERT_EQ(empty.size(), 1u);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(empty.last().error->code(), ns::URLErrorFileDoesNotExist);
    EXPECT_EQ(none.last().error->code(), ns::URLErrorFileDoesNotExist);
}

TEST_F(WebImageManagerTests, CancellingRightAfterTheCallPreventsEveryReport) {
    const std::string jpeg = test::jpegBytes(8, 8);
    auto gate = server.makeGate();
    server.serveInTwoParts("/a.jpg", jpeg.substr(0, 50), jpeg.substr(50), gate);
    Reports reports;
    auto operation = manager->downloadImageWithURL(url("/a.jpg"), 0, {}, reports.block());
    operation->cancel();
    EXPECT_TRUE(operation->isCancelled());
    settle();
    // Cancelled while downloading, too.
    Reports later;
    auto running = manager->downloadImageWithURL(url("/a.jpg"), 0, {}, later.block());
    ASSERT_TRUE(test::pumpUntil([&] { return server.requestCount() >= 1; }));
    running->cancel();
    gate->open();
    settle();
    EXPECT_EQ(reports.size(), 0u);
    EXPECT_EQ(later.size(), 0u);
    EXPECT_FALSE(manager->isRunning());
    EXPECT_FALSE(manager->isFailedURL(url("/a.jpg")));
    EXPECT_FALSE(cache->imageFromMemoryCacheForKey(server.url("/a.jpg")));
}

TEST_F(WebImageManagerTests, RefreshCachedRevalidatesWithTheETag) {
    test::PictureEndpoint picture(server, "/r.jpg", test::jpegBytes(8, 8));
    Reports first;
    manager->downloadImageWithURL(url("/r.jpg"), WebImageLoadRefreshCached, {}, first.block());
    ASSERT_TRUE(test::pumpUntil([&] { return first.size() == 1; }));
    EXPECT_EQ(first.last().source, ImageCacheSourceNone);
    settle();

    // Unchanged: the cached image is reported once; the server only confirms it.
    Reports unchanged;
    manager->downloadImageWithURL(url("/r.jpg"), WebImageLoadRefreshCached, {}, unchanged.block());
    ASSERT_EQ(unchanged.size(), 1u);
    EXPECT_EQ(unchanged.last().source, ImageCacheSourceMemory);
    ASSERT_TRUE(test::pumpUntil([&] { return picture.notModifiedCount() == 1 && !manager->isRunning(); }));
    settle();
    EXPECT_EQ(unchanged.size(), 1u);
    const auto revalidation = server.requests("/r.jpg").back();
    EXPECT_EQ(revalidation.header("If-None-Match"), "\"v1\"");

    // Changed: the cached image first, then the new one, which replaces it in the cache.
    picture.replace(test::jpegBytes(8, 8, 0, false, 120));
    Reports changed;
    manager->downloadImageWithURL(url("/r.jpg"), WebImageLoadRefreshCached, {}, changed.block());
    ASSERT_TRUE(test::pumpUntil([&] { return changed.size() == 2; }));
    EXPECT_EQ(changed.all[0].source, ImageCacheSourceMemory);
    EXPECT_EQ(changed.all[1].source, ImageCacheSourceNone);
    ASSERT_TRUE(changed.all[1].image);
    EXPECT_NE(changed.all[1].image->CGImage()->pixel(0, 0), changed.all[0].image->CGImage()->pixel(0, 0));
    settle();
    EXPECT_EQ(cache->imageFromMemoryCacheForKey(server.url("/r.jpg")), changed.all[1].image);
    EXPECT_EQ(ns::dataWithContentsOfFile(cache->defaultCachePathForKey(server.url("/r.jpg"))),
              ns::Data(test::jpegBytes(8, 8, 0, false, 120)));
}

TEST_F(WebImageManagerTests, GIFsArriveAnimatedAndOptionsShapeTheDownload) {
    server.serveText("/a.gif", test::gifBytes(3, 10), "image/gif");
    Reports gif;
    manager->downloadImageWithURL(url("/a.gif"), WebImageLoadMemoryCacheOnly, {}, gif.block());
    ASSERT_TRUE(test::pumpUntil([&] { return gif.size() == 1; }));
    ASSERT_TRUE(gif.last().image);
    EXPECT_EQ(gif.last().image->images().size(), 3u);
    settle();
    EXPECT_TRUE(cache->imageFromMemoryCacheForKey(server.url("/a.gif")));
    EXPECT_FALSE(cache->diskImageExistsWithKey(server.url("/a.gif")));

    EXPECT_EQ(WebImageFetchOptionsForLoad(WebImageLoadLowPriority | WebImageLoadProgressive | WebImageLoadRefreshCached |
                                              WebImageLoadHighPriority | WebImageLoadRetryFailed,
                                          false),
              WebImageFetchLowPriority | WebImageFetchProgressive | WebImageFetchUseURLCache | WebImageFetchHighPriority);
    EXPECT_EQ(WebImageFetchOptionsForLoad(WebImageLoadProgressive | WebImageLoadRefreshCached, true),
              WebImageFetchUseURLCache | WebImageFetchIgnoreCachedResponse);
}

class Gatekeeper : public WebImageManagerDelegate {
public:
    std::optional<bool> imageManagerShouldDownloadImageForURL(WebImageManager&, const ns::URL&) override {
        return allow;
    }
    std::optional<std::shared_ptr<ui::Image>> imageManagerTransformDownloadedImage(
        WebImageManager&, const std::shared_ptr<ui::Image>& image, const ns::URL&) override {
        return ui::Image::imageWithCGImage(image->CGImage(), 4, ui::ImageOrientation::Up);
    }
    bool allow = false;
};

TEST_F(WebImageManagerTests, TheDelegateDecidesAndTransforms) {
    server.serveText("/a.jpg", test::jpegBytes(8, 8), "image/jpeg");
    auto delegate = std::make_shared<Gatekeeper>();
    manager->setDelegate(delegate);
    Reports refused;
    manager->downloadImageWithURL(url("/a.jpg"), 0, {}, refused.block());
    ASSERT_TRUE(test::pumpUntil([&] { return refused.size() == 1; }));
    EXPECT_FALSE(refused.last().image);
    EXPECT_FALSE(refused.last().error);
    EXPECT_EQ(server.requestCount(), 0u);

    delegate->allow = true;
    Reports transformed;
    manager->downloadImageWithURL(url("/a.jpg"), 0, {}, transformed.block());
    ASSERT_TRUE(test::pumpUntil([&] { return transformed.size() == 1; }));
    ASSERT_TRUE(transformed.last().image);
    EXPECT_EQ(transformed.last().image->scale(), 4);
    settle();
    EXPECT_EQ(cache->imageFromMemoryCacheForKey(server.url("/a.jpg")), transformed.last().image);
    // The transformed image is encoded again rather than the downloaded bytes kept.
    EXPECT_NE(ns::dataWithContentsOfFile(cache->defaultCachePathForKey(server.url("/a.jpg"))),
              ns::Data(test::jpegBytes(8, 8)));

    manager->setCacheKeyFilter([](const ns::URL& url) { return url.lastPathComponent(); });
    EXPECT_EQ(manager->cacheKeyForURL(url("/x/b.jpg")), "b.jpg");
}

// Whoever waits for the manager to go idle (the app driver's settling) must find every picture delivered.
TEST_F(WebImageManagerTests, ALoadCountsAsRunningUntilItsReportHasRun) {
    server.serveText("/a.jpg", test::jpegBytes(8, 8), "image/jpeg");
    server.serveText("/bad.jpg", "gone", "text/plain", 404);
    const auto load = [&](std::string_view path) {
        Reports reports;
        reports.watched = manager.get();
        manager->downloadImageWithURL(url(path), 0, {}, reports.block());
        EXPECT_TRUE(test::pumpUntil([&] { return reports.size() == 1; }));
        EXPECT_FALSE(manager->isRunning()) << path;
        return reports.all.empty() ? Reports::Report{} : reports.last();
    };
    const auto downloaded = load("/a.jpg");
    EXPECT_TRUE(downloaded.image);
    EXPECT_TRUE(downloaded.managerRunning);
    const auto failed = load("/bad.jpg");
    EXPECT_TRUE(failed.error);
    EXPECT_TRUE(failed.managerRunning);
    settle();
    cache->clearMemory();
    const auto fromDisk = load("/a.jpg");
    EXPECT_EQ(fromDisk.source, ImageCacheSourceDisk);
    EXPECT_TRUE(fromDisk.managerRunning);

    auto delegate = std::make_shared<Gatekeeper>();
    manager->setDelegate(delegate);
    const auto refused = load("/other.jpg");
    EXPECT_FALSE(refused.image);
    EXPECT_TRUE(refused.managerRunning);
    delegate->allow = true;
    cache->clearMemory();
    cache->clearDisk();
    const auto transformed = load("/a.jpg");
    EXPECT_EQ(transformed.image ? transformed.image->scale() : 0, 4);
    EXPECT_TRUE(transformed.managerRunning);
}

}  // namespace
}  // namespace ql
