#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "images/webimage/ImageDecoding.h"
#include "images/webimage/WebImageDownloader.h"
#include "platform/graphics/ImageSource.h"
#include "platform/net/URLError.h"
#include "tests/images/webimage/WebImageTestSupport.h"

namespace ql {
namespace {

// What one requester's completion block heard.
struct Heard {
    std::mutex mutex;
    int finals = 0;
    int partials = 0;
    std::shared_ptr<ui::Image> image;
    std::shared_ptr<ui::Image> firstPartial;
    std::optional<ns::Data> data;
    std::optional<ns::Error> error;

    WebImageFetchCompletion block() {
        return [this](std::shared_ptr<ui::Image> got, std::optional<ns::Data> bytes, std::optional<ns::Error> failure,
                      bool finished) {
            std::lock_guard lock(mutex);
            if (!finished) {
                ++partials;
                if (!firstPartial) firstPartial = got;
                return;
            }
            ++finals;
            image = std::move(got);
            data = std::move(bytes);
            error = std::move(failure);
        };
    }
    int finalCount() {
        std::lock_guard lock(mutex);
        return finals;
    }
    int partialCount() {
        std::lock_guard lock(mutex);
        return partials;
    }
};

ns::URL url(const test::LoopbackServer& server, std::string_view path) { return *ns::URL::fromString(server.url(path)); }

class WebImageDownloaderTests : public ::testing::Test {
protected:
    // Notifications of this test's downloads are posted asynchronously: none may reach the next test.
    void TearDown() override { test::drainMainQueue(); }

    std::shared_ptr<WebImageDownloader> downloader = std::make_shared<WebImageDownloader>();
    test::LoopbackServer server;
};

TEST_F(WebImageDownloaderTests, RequestsForOneURLShareOneDownload) {
    const std::string jpeg = test::jpegBytes(16, 12);
    auto gate = server.makeGate();
    server.serveInTwoParts("/a.jpg", jpeg.substr(0, 100), jpeg.substr(100), gate);
    Heard first, second;
    auto one = downloader->downloadImageWithURL(url(server, "/a.jpg"), 0, {}, first.block());
    auto two = downloader->downloadImageWithURL(url(server, "/a.jpg"), 0, {}, second.block());
    ASSERT_TRUE(one && two);
    EXPECT_NE(one, two);
    ASSERT_TRUE(one->operation());
    EXPECT_EQ(one->operation(), two->operation());
    gate->open();
    ASSERT_TRUE(test::pumpUntil([&] { return first.finalCount() == 1 && second.finalCount() == 1; }));
    EXPECT_EQ(server.requests("/a.jpg").size(), 1u);
    ASSERT_TRUE(first.image);
    EXPECT_EQ(first.image, second.image);
    EXPECT_EQ(first.data, ns::Data(jpeg));
    EXPECT_EQ(second.data, ns::Data(jpeg));
    EXPECT_EQ(first.image->CGImage()->width(), 16);
    EXPECT_EQ(server.requests("/a.jpg")[0].header("Accept"), "image/*;q=0.8");

    // Once finished, the next request for the URL downloads again.
    Heard third;
    downloader->downloadImageWithURL(url(server, "/a.jpg"), 0, {}, third.block());
    ASSERT_TRUE(test::pumpUntil([&] { return third.finalCount() == 1; }));
    EXPECT_EQ(server.requests("/a.jpg").size(), 2u);
}

TEST_F(WebImageDownloaderTests, CancellingOneRequesterLeavesTheOthers) {
    const std::string jpeg = test::jpegBytes(16, 12);
    auto gate = server.makeGate();
    server.serveInTwoParts("/a.jpg", jpeg.substr(0, 100), jpeg.substr(100), gate);
    Heard kept, dropped;
    auto droppedToken = downloader->downloadImageWithURL(url(server, "/a.jpg"), 0, {}, dropped.block());
    auto keptToken = downloader->downloadImageWithURL(url(server, "/a.jpg"), 0, {}, kept.block());
    auto operation = keptToken->operation();
    droppedToken->cancel();
    EXPECT_FALSE(operation->isCancelled());
    gate->open();
    ASSERT_TRUE(test::pumpUntil([&] { return kept.finalCount() == 1; }));
    EXPECT_TRUE(kept.image);
    test::drainMainQueue();
    EXPECT_EQ(dropped.finalCount(), 0);

    // When the last requester goes, so does the download, and nobody hears of it.
    auto held = server.makeGate();
    server.serveInTwoParts("/b.jpg", jpeg.substr(0, 100), jpeg.substr(100), held);
    Heard a, b;
    auto tokenA = downloader->downloadImageWithURL(url(server, "/b.jpg"), 0, {}, a.block());
    auto tokenB = downloader->downloadImageWithURL(url(server, "/b.jpg"), 0, {}, b.block());
    auto shared = tokenA->operation();
    tokenA->cancel();
    EXPECT_FALSE(shared->isCancelled());
    tokenB->cancel();
    // A running download is cancelled on its own thread, between two of its connection's calls.
    ASSERT_TRUE(test::pumpUntil([&] { return shared->isCancelled() && shared->isFinished(); }));
    held->open();
    test::drainMainQueue();
    EXPECT_EQ(a.finalCount() + b.finalCount(), 0);
}

TEST_F(WebImageDownloaderTests, ACancelHeardFromTheFinishLeavesTheLastDecodeItsBytes) {
    // The finish is announced on the main thread while the operation's thread is still decoding the picture
    // from what its progressive load read; a cancel from there (a reused cell, cancel-all) lands in the
    // middle of that decode, round after round.
    constexpr int kWidth = 640, kHeight = 480, kRounds = 40;
    server.serveText("/r.jpg", test::jpegBytes(kWidth, kHeight, 0, true), "image/jpeg");
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        Heard heard;
        auto token = downloader->downloadImageWithURL(url(server, "/r.jpg"), WebImageFetchProgressive, {}, heard.block());
        auto operation = token->operation();
        auto observer = ns::NotificationCenter::defaultCenter().addObserverForName(
            WebImageDownloadFinishNotification, operation.get(), nullptr,
            [operation](const ns::Notification&) { operation->cancel(); });
        ASSERT_TRUE(test::pumpUntil([&] { return operation->isFinished(); }));
        ns::NotificationCenter::defaultCenter().removeObserver(observer.get());
        // Either the cancel came first and nobody hears, or the decode that had begun ends with the whole
        // picture: never an error made from bytes taken away under it.
        std::lock_guard lock(heard.mutex);
        ASSERT_LE(heard.finals, 1);
        if (heard.finals == 0) continue;
        EXPECT_FALSE(heard.error);
        ASSERT_TRUE(heard.image);
        EXPECT_EQ(heard.image->CGImage()->width(), kWidth);
        EXPECT_EQ(heard.image->CGImage()->height(), kHeight);
    }
}

TEST_F(WebImageDownloaderTests, RequestsCarryTheDownloadersSettings) {
    server.serveText("/a.jpg", test::jpegBytes(4, 4), "image/jpeg");
    downloader->setDownloadTimeout(0);
    downloader->setValue("yes", "X-Extra");
    downloader->setValue(std::nullopt, "Accept");
    EXPECT_EQ(downloader->valueForHTTPHeaderField("X-Extra"), "yes");
    downloader->setSuspended(true);
    Heard heard;
    auto token = downloader->downloadImageWithURL(url(server, "/a.jpg"), WebImageFetchHandleCookies | WebImageFetchHighPriority, {},
                                                  heard.block());
    const ns::URLRequest& request = token->operation()->request();
    EXPECT_EQ(request.timeoutInterval(), 15);
    EXPECT_EQ(request.cachePolicy(), ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    EXPECT_TRUE(request.HTTPShouldHandleCookies());
    EXPECT_EQ(token->operation()->queuePriority(), ns::OperationQueuePriority::High);
    EXPECT_EQ(downloader->currentDownloadCount(), 1u);
    downloader->setSuspended(false);
    ASSERT_TRUE(test::pumpUntil([&] { return heard.finalCount() == 1; }));
    const auto seen = server.requests("/a.jpg");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].header("X-Extra"), "yes");
    EXPECT_NE(seen[0].header("Accept"), "image/*;q=0.8");

    downloader->setHeadersFilter([](const ns::URL&, const ns::Dictionary& headers) {
        ns::Dictionary filtered = headers;
        filtered.set("X-Filtered", "1");
        return filtered;
    });
    Heard again;
    auto cached = downloader->downloadImageWithURL(url(server, "/a.jpg"), WebImageFetchUseURLCache | WebImageFetchLowPriority,
                                                   {}, again.block());
    EXPECT_EQ(cached->operation()->request().cachePolicy(), ns::URLRequestCachePolicy::UseProtocolCachePolicy);
    EXPECT_EQ(cached->operation()->queuePriority(), ns::OperationQueuePriority::Low);
    ASSERT_TRUE(test::pumpUntil([&] { return again.finalCount() == 1; }));
    EXPECT_EQ(server.requests("/a.jpg").back().header("X-Filtered"), "1");

    Heard none;
    EXPECT_EQ(downloader->downloadImageWithURL(std::nullopt, 0, {}, [&](auto, auto, auto error, bool finished) {
        EXPECT_FALSE(error);
        EXPECT_FALSE(finished);
        ++none.finals;
    }), nullptr);
    EXPECT_EQ(none.finals, 1);
}

TEST_F(WebImageDownloaderTests, LastInFirstOutRunsTheNewestFirst) {
    for (const char* path : {"/1.jpg", "/2.jpg", "/3.jpg"}) server.serveText(path, test::jpegBytes(4, 4), "image/jpeg");
    downloader->setMaxConcurrentDownloads(1);
    downloader->setExecutionOrder(WebImageFetchOrder::LIFO);
    downloader->setSuspended(true);
    Heard heard[3];
    for (int i = 0; i < 3; ++i) {
        downloader->downloadImageWithURL(url(server, "/" + std::to_string(i + 1) + ".jpg"), 0, {}, heard[i].block());
    }
    downloader->setSuspended(false);
    ASSERT_TRUE(test::pumpUntil([&] { return heard[0].finalCount() + heard[1].finalCount() + heard[2].finalCount() == 3; }));
    const auto seen = server.requests();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].path, "/3.jpg");
    EXPECT_EQ(seen[1].path, "/2.jpg");
    EXPECT_EQ(seen[2].path, "/1.jpg");
}

TEST_F(WebImageDownloaderTests, FailuresAndNotifications) {
    server.serveText("/missing.jpg", "gone", "text/plain", 404);
    server.serveText("/empty.jpg", "", "image/jpeg");
    server.serveText("/text.jpg", "no picture here", "image/jpeg");
    test::NotificationCounter starts(WebImageDownloadStartNotification);
    test::NotificationCounter responses(WebImageDownloadReceiveResponseNotification);
    test::NotificationCounter stops(WebImageDownloadStopNotification);
    test::NotificationCounter finishes(WebImageDownloadFinishNotification);
    Heard missing;
    downloader->downloadImageWithURL(url(server, "/missing.jpg"), 0, {}, missing.block());
    ASSERT_TRUE(test::pumpUntil([&] { return missing.finalCount() == 1; }));
    test::drainMainQueue();
    ASSERT_TRUE(missing.error);
    EXPECT_EQ(missing.error->domain(), ns::URLErrorDomain);
    EXPECT_EQ(missing.error->code(), 404);
    EXPECT_FALSE(missing.image);
    EXPECT_EQ(starts.count(), 1);
    EXPECT_EQ(responses.count(), 0);
    EXPECT_EQ(stops.count(), 1);
    EXPECT_EQ(finishes.count(), 0);

    Heard empty, text;
    downloader->downloadImageWithURL(url(server, "/empty.jpg"), 0, {}, empty.block());
    downloader->downloadImageWithURL(url(server, "/text.jpg"), 0, {}, text.block());
    ASSERT_TRUE(test::pumpUntil([&] { return empty.finalCount() == 1 && text.finalCount() == 1; }));
    test::drainMainQueue();
    for (Heard* heard : {&empty, &text}) {
        ASSERT_TRUE(heard->error);
        EXPECT_EQ(heard->error->domain(), WebImageErrorDomain);
        EXPECT_EQ(heard->error->code(), 0);
        EXPECT_EQ(heard->error->localizedDescription(), "Downloaded image has 0 pixels");
    }
    EXPECT_EQ(starts.count(), 3);
    EXPECT_EQ(responses.count(), 2);
    EXPECT_EQ(stops.count(), 3);
    EXPECT_EQ(finishes.count(), 2);

    // A server that is not there: the transport's error comes through.
    const test::RefusingPort gone;
    Heard refused;
    downloader->downloadImageWithURL(ns::URL::fromString(gone.url("/x.jpg")), 0, {}, refused.block());
    ASSERT_TRUE(test::pumpUntil([&] { return refused.finalCount() == 1; }));
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code(), ns::URLErrorCannotConnectToHost);
}

TEST_F(WebImageDownloaderTests, ProgressiveDownloadsReportPartialImages) {
    const std::string jpeg = test::jpegBytes(64, 48, 0, true);
    auto gate = server.makeGate();
    server.serveInTwoParts("/p.jpg", jpeg.substr(0, jpeg.size() * 2 / 3), jpeg.substr(jpeg.size() * 2 / 3), gate);
    Heard heard;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    auto token = downloader->downloadImageWithURL(
        url(server, "/p.jpg"), WebImageFetchProgressive,
        [&](std::int64_t received, std::int64_t expected) {
            EXPECT_TRUE(ns::DispatchQueue::isMainThread());
            progress.emplace_back(received, expected);
        },
        heard.block());
    ASSERT_TRUE(test::pumpUntil([&] { return heard.partialCount() > 0; }));
    {
        std::lock_guard lock(heard.mutex);
        ASSERT_TRUE(heard.firstPartial);
        // The whole picture's size, with what has arrived at the top.
        EXPECT_EQ(heard.firstPartial->CGImage()->width(), 64);
        EXPECT_EQ(heard.firstPartial->CGImage()->height(), 48);
        EXPECT_EQ(heard.firstPartial->CGImage()->pixel(10, 0).a, 255);
    }
    EXPECT_EQ(heard.finalCount(), 0);
    gate->open();
    ASSERT_TRUE(test::pumpUntil([&] { return heard.finalCount() == 1; }));
    test::drainMainQueue();
    EXPECT_TRUE(heard.image);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), (std::pair<std::int64_t, std::int64_t>{0, -1}));
    EXPECT_EQ(progress.back(), (std::pair<std::int64_t, std::int64_t>{static_cast<std::int64_t>(jpeg.size()),
                                                                       static_cast<std::int64_t>(jpeg.size())}));

    // Without a length there is nothing to measure progress against: no partial images.
    server.serveChunked("/c.jpg", {jpeg.substr(0, jpeg.size() / 2), jpeg.substr(jpeg.size() / 2)}, "image/jpeg");
    Heard chunked;
    downloader->downloadImageWithURL(url(server, "/c.jpg"), WebImageFetchProgressive, {}, chunked.block());
    ASSERT_TRUE(test::pumpUntil([&] { return chunked.finalCount() == 1; }));
    EXPECT_EQ(chunked.partialCount(), 0);
    EXPECT_TRUE(chunked.image);
}

TEST_F(WebImageDownloaderTests, ProgressiveLoadsEndWithTheImageOfAPlainOne) {
    const std::string png = test::pngBytes(120, 90, true), gif = test::gifBytes(5, 10);
    for (const auto& [path, bytes] : {std::pair{"/p.png", png}, std::pair{"/a.gif", gif}}) {
        SCOPED_TRACE(path);
        auto gate = server.makeGate();
        server.serveInTwoParts(path, bytes.substr(0, bytes.size() * 2 / 3), bytes.substr(bytes.size() * 2 / 3), gate);
        Heard heard;
        downloader->downloadImageWithURL(url(server, path), WebImageFetchProgressive, {}, heard.block());
        ASSERT_TRUE(test::pumpUntil([&] { return heard.partialCount() > 0; }));
        {
            std::lock_guard lock(heard.mutex);
            // Rows from the top of the picture, or an animation's first frame, at the picture's size.
            const auto& partial = *heard.firstPartial->CGImage();
            const auto whole = cg::decodeImage(ns::Data(bytes));
            EXPECT_EQ(partial.width(), whole->width());
            EXPECT_EQ(partial.height(), whole->height());
            EXPECT_EQ(partial.pixel(3, 2), whole->pixel(3, 2));
        }
        gate->open();
        ASSERT_TRUE(test::pumpUntil([&] { return heard.finalCount() == 1; }));
        std::lock_guard lock(heard.mutex);
        ASSERT_TRUE(heard.image);
        const auto plain = ScaledImageForCacheKey(url(server, path).absoluteString(), wi_imageWithData(ns::Data(bytes)));
        EXPECT_EQ(heard.image->images().size(), plain->images().size());
        EXPECT_EQ(heard.image->CGImage()->rgbaBytes(), plain->CGImage()->rgbaBytes());
    }
}

TEST_F(WebImageDownloaderTests, ANotModifiedReplyCompletesTheDownload) {
    test::PictureEndpoint picture(server, "/n.jpg", test::jpegBytes(8, 8));
    const std::string etag = picture.etag();
    downloader->setHeadersFilter([etag](const ns::URL&, const ns::Dictionary& headers) {
        ns::Dictionary conditional = headers;
        conditional.set("If-None-Match", etag);
        return conditional;
    });
    test::NotificationCounter stops(WebImageDownloadStopNotification);
    Heard heard;
    auto token = downloader->downloadImageWithURL(url(server, "/n.jpg"), 0, {}, heard.block());
    auto operation = token->operation();
    ASSERT_TRUE(test::pumpUntil([&] { return heard.finalCount() == 1; }));
    EXPECT_EQ(picture.notModifiedCount(), 1);
    EXPECT_FALSE(heard.error);
    EXPECT_FALSE(heard.image);
    ASSERT_TRUE(test::pumpUntil([&] { return operation->isFinished(); }));
    test::drainMainQueue();
    EXPECT_EQ(stops.count(), 1);
}

}  // namespace
}  // namespace ql
