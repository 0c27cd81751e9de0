// The web view under floods a page sets off: console output far beyond what the app reads, and replies
// without end from several hosts at once. The engine goes on as the same process, every view loads again,
// and the app holds only what its bounds allow, giving it back once the page is gone.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebRequestServing.h"
#include "platform/web/WebView.h"
#include "tests/platform/web/engine/WebViewRecorder.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/ResidentMemory.h"
#include "tests/support/Sanitizers.h"

#ifdef QL_ADDRESS_SANITIZER
// The address sanitizer holds up to 256 MB of freed memory back by default; the app's own allocator does not,
// and what the app holds is measured here.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }
#endif

namespace ql {
namespace {

using test::LoopbackServer;
using test::pumpUntil;
using test::WebViewRecorder;

constexpr std::size_t kMB = std::size_t{1} << 20;

using Page = test::RecordedPage;

std::uint64_t engineProcess() {
    ns::Error error = ui::webEngineError(0, "");
    const auto engine = ui::WebEngine::running(&error);
    return engine ? engine->processID() : 0;
}

const std::vector<std::string> kLoaded{"should /plain other", "start", "finish"};

TEST(WebFloods, ConsoleOutputFarBeyondWhatTheAppReadsEndsNeitherTheEngineNorAnyView) {
    LoopbackServer server;
    server.serveText("/console", "<title>console</title><script>console.log('x'.repeat(300 * 1024 * 1024));</script>",
                     "text/html");
    server.serveText("/plain", "<title>plain</title>", "text/html");
    Page page;
    Page other;
    other.load(server.url("/plain"));
    page.load(server.url("/plain"));
    const std::uint64_t engine = engineProcess();
    test::resetPeakResident();
    const std::size_t before = test::residentBytes();

    page.load(server.url("/console"));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /console other", "start", "finish"}));
    EXPECT_EQ(page.title(), "console");
    if (test::residentCountsTellWhatIsHeld()) {
        EXPECT_LT(test::peakResidentBytes(), before + 32 * kMB) << "the output was passed over, not gathered";
    }
    EXPECT_EQ(engineProcess(), engine);
    EXPECT_EQ(other.title(), "plain");
    for (Page* each : {&page, &other}) {
        each->load(server.url("/plain"));
        EXPECT_EQ(each->delegate->events, kLoaded);
        EXPECT_EQ(each->title(), "plain");
    }
    EXPECT_EQ(engineProcess(), engine);
}

TEST(WebFloods, RepliesWithoutEndFromSeveralHostsHoldNoMoreThanTheViewsBoundAndGiveItBack) {
    // Three hosts, so that the URL loading's limit of connections per host holds few of the replies back.
    std::vector<std::unique_ptr<LoopbackServer>> hosts;
    for (const char* host : {"127.0.0.1", "127.0.0.2", "127.0.0.3"}) hosts.push_back(std::make_unique<LoopbackServer>(host));
    std::string images;
    for (int i = 0; i < 24; ++i) {
        LoopbackServer& host = *hosts[static_cast<std::size_t>(i) % hosts.size()];
        host.serveBytes("/endless", std::size_t{1} << 40);  // a terabyte: no end within the test
        images += "<img src=\"" + host.url("/endless?" + std::to_string(i)) + "\">";
    }
    LoopbackServer& server = *hosts.front();
    server.serveText("/images", "<title>images</title>" + images, "text/html");
    server.serveText("/plain", "<title>plain</title>", "text/html");
    Page page;
    page.load(server.url("/plain"));
    const std::uint64_t engine = engineProcess();
    test::releaseSanitizerHeldMemory();
    const std::size_t before = test::residentBytes();
    test::resetPeakResident();

    // Each reply goes on until the view's replies together would pass its bound, and fails there.
    page.load(server.url("/images"));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /images other", "start", "finish"}));
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString(
                  "String(Array.from(document.images).filter(function(image) { return image.naturalWidth == 0; }).length)"),
              "24");
    const std::size_t peak = test::peakResidentBytes();
    if (test::residentCountsTellWhatIsHeld()) {
        EXPECT_LT(peak, before + ui::kViewRepliesLimit + 300 * kMB) << "peak " << peak / kMB << " MB from " << before / kMB;
    }

    page.load(server.url("/plain"));
    EXPECT_EQ(page.delegate->events, kLoaded);
    test::releaseSanitizerHeldMemory();
    const std::size_t after = test::residentBytes();
    if (test::residentCountsTellWhatIsHeld()) {
        EXPECT_LT(after, before + 100 * kMB) << "after " << after / kMB << " MB from " << before / kMB;
    }
    EXPECT_EQ(engineProcess(), engine);
}

TEST(WebFloods, ViewsLetGoOfAfterLargeRepliesGiveTheirMemoryBack) {
    LoopbackServer server;
    server.serveBytes("/large", 70 * kMB);
    server.serveText("/fetcher",
                     "<title>fetcher</title><script>fetch('/large').then(function(reply) { return reply.arrayBuffer(); })"
                     ".then(function(body) { location.hash = body.byteLength; });</script>",
                     "text/html");
    server.serveText("/plain", "<title>plain</title>", "text/html");
    // The engine and the URL loading are under way before the count starts.
    Page first;
    first.load(server.url("/plain"));
    test::releaseSanitizerHeldMemory();
    const std::size_t before = test::residentBytes();
    {
        std::vector<std::unique_ptr<Page>> pages;
        for (int i = 0; i < 3; ++i) {
            pages.push_back(std::make_unique<Page>());
            pages.back()->load(server.url("/fetcher"));
        }
        // Each page tells it has the whole reply by a jump within itself, which the view hears of.
        const std::string whole = "should /fetcher#" + std::to_string(70 * kMB) + " link";
        for (const auto& page : pages) {
            EXPECT_TRUE(pumpUntil([&] { return page->delegate->count(whole) == 1; }, 60));
            EXPECT_EQ(page->delegate->events, (std::vector<std::string>{"should /fetcher other", "start", "finish", whole}));
        }
    }
    test::releaseSanitizerHeldMemory();
    const std::size_t after = test::residentBytes();
    if (test::residentCountsTellWhatIsHeld()) {
        EXPECT_LT(after, before + 40 * kMB) << "after " << after / kMB << " MB from " << before / kMB;
    }
    first.load(server.url("/plain"));
    EXPECT_EQ(first.title(), "plain");
}

}  // namespace
}  // namespace ql
