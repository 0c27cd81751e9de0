#include <gtest/gtest.h>

#include <atomic>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "storage/foundation/UTAppLinks.h"
#include "storage/foundation/UTNetworkActivity.h"
#include "storage/foundation/UTUnshorten.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

TEST(UTAppLinks, StorePagesWithEncodedIdentifiers) {
    auto page = appStoreURLforApplicationIdentifier("123456");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->absoluteString(), "http://itunes.apple.com/us/app/id123456?mt=8");
    auto reviews = appStoreReviewURLForApplicationIdentifier("123456");
    ASSERT_TRUE(reviews);
    EXPECT_EQ(reviews->absoluteString(),
              "itms-apps://itunes.apple.com/WebObjects/MZStore.woa/wa/viewContentsUserReviews"
              "?type=Purple+Software&id=123456");
    // An identifier cannot bring its own path, query or fragment.
    EXPECT_EQ(appStoreURLforApplicationIdentifier("1/../x?y#z")->absoluteString(),
              "http://itunes.apple.com/us/app/id1%2F..%2Fx%3Fy%23z?mt=8");
    EXPECT_TRUE(appStoreReviewURLForApplicationIdentifier("9&id=1")->absoluteString().ends_with("&id=9%26id%3D1"));
}

// Waits for the resolution, pumping nothing but real time: the completion runs on a background queue.
std::optional<ns::URL> resolved(const ns::URL& url, bool& onMainThread) {
    ns::DispatchSemaphore done(0);
    std::optional<ns::URL> result;
    unshortenWithCompletion(url, [&](const std::optional<ns::URL>& found) {
        result = found;
        onMainThread = ns::DispatchQueue::isMainThread();
        done.signal();
    });
    EXPECT_TRUE(done.wait(20));
    return result;
}

TEST(UTUnshorten, FollowsRedirectsAndCachesTheAnswer) {
    test::LoopbackServer server;
    server.serveRedirect("/s/abc", 301, server.url("/middle"));
    server.serveRedirect("/middle", 302, server.url("/article"));
    server.serveText("/article", "the article");
    bool onMain = true;

    auto first = resolved(*ns::URL::fromString(server.url("/s/abc")), onMain);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->absoluteString(), server.url("/article"));
    EXPECT_FALSE(onMain);
    const auto asked = server.requests().size();
    EXPECT_EQ(asked, 3u);
    EXPECT_EQ(server.requests().front().method, "HEAD");

    auto again = resolved(*ns::URL::fromString(server.url("/s/abc")), onMain);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->absoluteString(), server.url("/article"));
    EXPECT_EQ(server.requests().size(), asked);

    // No redirect: the link itself. A link without a scheme is an http link.
    auto plain = resolved(*ns::URL::fromString(server.url("/article")), onMain);
    EXPECT_EQ(plain->absoluteString(), server.url("/article"));
    const std::string bare = "127.0.0.1:" + std::to_string(server.port()) + "/s/abc";
    auto schemeless = ns::URL::fromString("//" + bare);
    ASSERT_TRUE(schemeless);
    auto viaHttp = resolved(*schemeless, onMain);
    ASSERT_TRUE(viaHttp);
    EXPECT_EQ(viaHttp->absoluteString(), server.url("/article"));
    // ...and found under the http link in the cache: no further request.
    EXPECT_EQ(server.requests().size(), asked + 1);

    // A failure answers nothing and is not remembered.
    auto refused = resolved(*ns::URL::fromString("http://127.0.0.1:1/x"), onMain);
    EXPECT_FALSE(refused);
}

TEST(UTNetworkActivity, IndicatorFollowsTheCount) {
    auto& application = ui::Application::sharedApplication();
    auto settle = [] {
        std::atomic<bool> reached{false};
        ns::DispatchQueue::main()->async([&] { reached = true; });
        ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return reached.load(); }, 5));
    };
    pushActiveNetworkOperation();
    pushActiveNetworkOperation();
    popActiveNetworkOperation();
    settle();
    EXPECT_TRUE(application.isNetworkActivityIndicatorVisible());
    popActiveNetworkOperation();
    settle();
    EXPECT_FALSE(application.isNetworkActivityIndicatorVisible());
    popActiveNetworkOperation();
    pushActiveNetworkOperation();
    settle();
    // The extra pop was ignored, so one push shows it again.
    EXPECT_TRUE(application.isNetworkActivityIndicatorVisible());
    popActiveNetworkOperation();
    settle();
    EXPECT_FALSE(application.isNetworkActivityIndicatorVisible());
}

}  // namespace
}  // namespace ql
