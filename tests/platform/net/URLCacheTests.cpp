#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPCookieStorage.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "tests/platform/net/Recorders.h"
#include "tests/support/LoopbackServer.h"

using namespace ql;
using namespace ql::ns;
using ql::test::LoopbackServer;
using ql::test::RecordingSessionDelegate;
using ql::test::waitFor;

namespace {

struct Outcome {
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::int64_t status = 0;
};

// A session with a cache and cookie storage of its own.
class CachingSession {
public:
    CachingSession() {
        auto configuration = URLSessionConfiguration::ephemeralSessionConfiguration();
        cache = configuration->URLCache();
        cookies = configuration->HTTPCookieStorage();
        cookies->setCookieAcceptPolicy(HTTPCookieAcceptPolicy::Always);
        configuration_ = configuration;
    }
    Outcome load(const URLRequest& request) {
        Outcome outcome{std::make_shared<RecordingSessionDelegate>()};
        auto session = URLSession::sessionWithConfiguration(configuration_, outcome.delegate, nullptr);
        auto task = session->dataTaskWithRequest(request);
        task->resume();
        EXPECT_TRUE(waitFor([&] { return outcome.delegate->done.load(); }));
        if (auto http = std::dynamic_pointer_cast<HTTPURLResponse>(task->response())) outcome.status = http->statusCode();
        return outcome;
    }

    std::shared_ptr<URLCache> cache;
    std::shared_ptr<HTTPCookieStorage> cookies;

private:
    std::shared_ptr<URLSessionConfiguration> configuration_;
};

}  // namespace

TEST(URLCacheTests, ARevalidatedReplyServesTheCachedBody) {
    LoopbackServer server;
    std::atomic<int> notModified{0};
    server.handle("/etag", [&](const httplib::Request& request, httplib::Response& response) {
        response.set_header("ETag", "\"v1\"");
        response.set_header("Cache-Control", "no-cache");
        if (request.get_header_value("If-None-Match") == "\"v1\"") {
            ++notModified;
            response.status = 304;
            return;
        }
        response.set_content("the cached body", "text/plain");
    });
    server.handle("/dated", [&](const httplib::Request& request, httplib::Response& response) {
        response.set_header("Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT");
        response.set_header("Cache-Control", "max-age=0");
        if (request.has_header("If-Modified-Since")) {
            ++notModified;
            response.status = 304;
            return;
        }
        response.set_content("dated body", "text/plain");
    });
    CachingSession session;
    const URLRequest etag(URL::fromString(server.url("/etag")));
    auto first = session.load(etag);
    EXPECT_EQ(first.delegate->body.toString(), "the cached body");
    EXPECT_TRUE(first.delegate->journal.contains("cache"));
    auto second = session.load(etag);
    EXPECT_EQ(notModified, 1);
    EXPECT_EQ(second.status, 200);
    EXPECT_EQ(second.delegate->body.toString(), "the cached body");
    EXPECT_FALSE(second.delegate->journal.contains("cache"));
    EXPECT_EQ(server.requests("/etag").back().header("If-None-Match"), "\"v1\"");

    const URLRequest dated(URL::fromString(server.url("/dated")));
    session.load(dated);
    EXPECT_EQ(session.load(dated).delegate->body.toString(), "dated body");
    EXPECT_EQ(notModified, 2);
}

TEST(URLCacheTests, CachePoliciesChooseBetweenCacheAndServer) {
    LoopbackServer server;
    server.serveText("/fresh", "fresh body", "text/plain", 200, {{"Cache-Control", "max-age=3600"}});
    server.serveText("/stale", "stale body", "text/plain", 200, {{"Cache-Control", "no-cache"}});
    CachingSession session;
    URLRequest fresh(URL::fromString(server.url("/fresh")));
    session.load(fresh);
    EXPECT_EQ(session.load(fresh).delegate->body.toString(), "fresh body");
    EXPECT_EQ(server.requests("/fresh").size(), 1u);  // the second answer came from the cache

    fresh.setCachePolicy(URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    session.load(fresh);
    EXPECT_EQ(server.requests("/fresh").size(), 2u);

    URLRequest stale(URL::fromString(server.url("/stale")));
    stale.setCachePolicy(URLRequestCachePolicy::ReturnCacheDataDontLoad);
    auto missing = session.load(stale);
    ASSERT_TRUE(missing.delegate->error);
    EXPECT_EQ(missing.delegate->error->code(), URLErrorResourceUnavailable);
    EXPECT_TRUE(server.requests("/stale").empty());

    stale.setCachePolicy(URLRequestCachePolicy::UseProtocolCachePolicy);
    session.load(stale);
    stale.setCachePolicy(URLRequestCachePolicy::ReturnCacheDataElseLoad);
    EXPECT_EQ(session.load(stale).delegate->body.toString(), "stale body");
    EXPECT_EQ(server.requests("/stale").size(), 1u);
}

TEST(URLCacheTests, KeepsWithinItsCapacity) {
    URLCache cache(1000, 0, std::nullopt);
    auto entry = [](std::size_t size) {
        auto response = std::make_shared<HTTPURLResponse>(*URL::fromString("http://h/x"), 200, "HTTP/1.1", HTTPHeaderFields());
        return std::make_shared<CachedURLResponse>(response, Data(std::string(size, 'x')));
    };
    const URLRequest a(URL::fromString("http://h/a")), b(URL::fromString("http://h/b#fragment"));
    cache.storeCachedResponse(entry(200), a);  // more than a twentieth: refused
    EXPECT_FALSE(cache.cachedResponseForRequest(a));
    URLCache roomy(10000, 0, std::nullopt);
    roomy.storeCachedResponse(entry(100), a);
    roomy.storeCachedResponse(entry(100), b);
    EXPECT_TRUE(roomy.cachedResponseForRequest(URLRequest(URL::fromString("http://h/b"))));
    EXPECT_GT(roomy.currentMemoryUsage(), 200u);
    roomy.setMemoryCapacity(400);  // room for one: the least recently used goes
    EXPECT_FALSE(roomy.cachedResponseForRequest(a));
    EXPECT_TRUE(roomy.cachedResponseForRequest(b));
    roomy.removeAllCachedResponses();
    EXPECT_EQ(roomy.currentMemoryUsage(), 0u);
    roomy.storeCachedResponse(std::make_shared<CachedURLResponse>(entry(1)->response(), Data(), Dictionary(),
                                                                  URLCacheStoragePolicy::NotAllowed),
                              a);
    EXPECT_FALSE(roomy.cachedResponseForRequest(a));
}

TEST(URLCacheTests, CookiesGoBackToTheirServer) {
    LoopbackServer server;
    server.serveText("/login", "in", "text/plain", 200, {{"Set-Cookie", "session=abc; Path=/"}});
    server.serveText("/after", "after");
    CachingSession session;
    session.load(URLRequest(URL::fromString(server.url("/login"))));
    ASSERT_EQ(session.cookies->cookies().size(), 1u);
    session.load(URLRequest(URL::fromString(server.url("/after"))));
    URLRequest withoutCookies(URL::fromString(server.url("/after")));
    withoutCookies.setHTTPShouldHandleCookies(false);
    session.load(withoutCookies);
    auto seen = server.requests("/after");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].header("Cookie"), "session=abc");
    EXPECT_FALSE(seen[1].header("Cookie"));
}
