#include <gtest/gtest.h>

#include "images/webimage/WebImagePrefetcher.h"
#include "tests/images/webimage/WebImageTestSupport.h"

namespace ql {
namespace {

class Listener : public WebImagePrefetcherDelegate {
public:
    void imagePrefetcherDidPrefetchURL(WebImagePrefetcher&, const ns::URL& url, std::uint64_t finished,
                                       std::uint64_t total) override {
        urls.push_back(url);
        lastFinished = finished;
        lastTotal = total;
    }
    void imagePrefetcherDidFinish(WebImagePrefetcher&, std::uint64_t total, std::uint64_t skipped) override {
        ++ends;
        loaded = total;
        this->skipped = skipped;
    }
    std::vector<ns::URL> urls;
    std::uint64_t lastFinished = 0, lastTotal = 0, loaded = 0, skipped = 0;
    int ends = 0;
};

class WebImagePrefetcherTests : public ::testing::Test {
protected:
    void SetUp() override {
        cache = ImageCache::create("prefetch", sandbox.path());
        prefetcher = WebImagePrefetcher::create(std::make_shared<WebImageManager>(cache, std::make_shared<WebImageDownloader>()));
    }
    void TearDown() override {
        cache->ioQueue()->sync([] {});
        test::drainMainQueue();
    }
    std::vector<ns::URL> serve(int count, int failing = -1) {
        std::vector<ns::URL> urls;
        for (int i = 0; i < count; ++i) {
            const std::string path = "/" + std::to_string(i) + ".jpg";
            if (i == failing) server.serveText(path, "gone", "text/plain", 404);
            else server.serveText(path, test::jpegBytes(4, 4), "image/jpeg");
            urls.push_back(*ns::URL::fromString(server.url(path)));
        }
        return urls;
    }

    ns::TemporarySandbox sandbox;
    std::shared_ptr<ImageCache> cache;
    std::shared_ptr<WebImagePrefetcher> prefetcher;
    test::LoopbackServer server;
};

TEST_F(WebImagePrefetcherTests, ABatchLoadsEveryURLAndCountsTheSkipped) {
    EXPECT_EQ(prefetcher->maxConcurrentDownloads(), 3);
    EXPECT_EQ(prefetcher->options(), WebImageLoadLowPriority);
    const auto urls = serve(7, 4);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> completed;
    // Started from the main thread on the default main queue: the groups start here, without waiting on it.
    prefetcher->prefetchURLs(urls, [&](std::uint64_t finished, std::uint64_t total) { progress.emplace_back(finished, total); },
                             [&](std::uint64_t finished, std::uint64_t skipped) { completed = {finished, skipped}; });
    EXPECT_EQ(prefetcher->requestedCount(), 7u);
    ASSERT_TRUE(test::pumpUntil([&] { return completed.has_value(); }));
    EXPECT_EQ(*completed, (std::pair<std::uint64_t, std::uint64_t>{7, 1}));
    ASSERT_EQ(progress.size(), 7u);
    EXPECT_EQ(progress.back(), (std::pair<std::uint64_t, std::uint64_t>{7, 7}));
    EXPECT_EQ(server.requestCount(), 7u);
    for (std::size_t i = 0; i < urls.size(); ++i) {
        EXPECT_EQ(cache->imageFromMemoryCacheForKey(urls[i].absoluteString()) != nullptr, i != 4) << i;
    }

    bool empty = false;
    prefetcher->prefetchURLs({}, {}, [&](std::uint64_t finished, std::uint64_t skipped) {
        empty = finished == 0 && skipped == 0;
    });
    EXPECT_TRUE(empty);
}

TEST_F(WebImagePrefetcherTests, ADelegateHearsEachURLAndTheEndOfTheBatch) {
    auto listener = std::make_shared<Listener>();
    prefetcher->setDelegate(listener);
    // Another queue, and a URL that answers from memory at once: started from the main thread, the batch
    // must not wait for that queue while the answer waits for the main thread.
    prefetcher->setPrefetcherQueue(ns::DispatchQueue::serial("prefetch.tests"));
    const auto urls = serve(5, 0);
    cache->storeImage(ui::Image::imageWithCGImage(test::rampBitmap(4, 4, false), 1), urls[1].absoluteString(), false);
    bool completed = false;
    prefetcher->prefetchURLs(urls, {}, [&](std::uint64_t, std::uint64_t) { completed = true; });
    ASSERT_TRUE(test::pumpUntil([&] { return listener->ends == 1; }));
    EXPECT_TRUE(completed);
    EXPECT_EQ(listener->urls.size(), 5u);
    EXPECT_EQ(listener->lastFinished, 5u);
    EXPECT_EQ(listener->lastTotal, 5u);
    EXPECT_EQ(listener->loaded, 4u);
    EXPECT_EQ(listener->skipped, 1u);
    EXPECT_EQ(server.requestCount(), 4u);
}

TEST_F(WebImagePrefetcherTests, ANewBatchCancelsTheRunningOne) {
    const std::string jpeg = test::jpegBytes(4, 4);
    auto gate = server.makeGate();
    server.serveInTwoParts("/held.jpg", jpeg.substr(0, 30), jpeg.substr(30), gate);
    bool firstCompleted = false;
    prefetcher->prefetchURLs({*ns::URL::fromString(server.url("/held.jpg"))}, {},
                             [&](std::uint64_t, std::uint64_t) { firstCompleted = true; });
    ASSERT_TRUE(test::pumpUntil([&] { return server.requestCount() == 1; }));
    const auto urls = serve(2);
    std::optional<std::pair<std::uint64_t, std::uint64_t>> second;
    prefetcher->prefetchURLs(urls, {}, [&](std::uint64_t finished, std::uint64_t skipped) { second = {finished, skipped}; });
    EXPECT_EQ(prefetcher->requestedCount(), 2u);
    gate->open();
    ASSERT_TRUE(test::pumpUntil([&] { return second.has_value(); }));
    EXPECT_EQ(*second, (std::pair<std::uint64_t, std::uint64_t>{2, 0}));
    test::drainMainQueue();
    EXPECT_FALSE(firstCompleted);
}

}  // namespace
}  // namespace ql
