#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/ActivityViewController.h"
#include "tests/platform/web/engine/EngineRenderers.h"
#include "tests/platform/web/engine/WebViewRecorder.h"
#include "tests/support/LoopbackServer.h"
#include "tests/web/browser/BrowserHarness.h"

namespace ql {
namespace {

using test::BrowserHarness;
using test::LoopbackServer;

bool pumpUntil(const std::function<bool()>& condition, double seconds = 30) {
    return ns::RunLoop::main()->runUntil(condition, seconds);
}

// The estimator alone as a web view's delegate, keeping every value it reports.
struct EstimatedPage {
    EstimatedPage() {
        webView->setDelegate(progress);
        progress->setProgressBlock([this](float value) { values.push_back(value); });
    }
    void load(const std::string& url) { webView->loadRequest(ns::URLRequest(ns::URL::fromString(url))); }
    // The values since the last reset: they start at 0, then only grow.
    std::vector<float> sinceLastReset() const {
        auto zero = std::find(values.rbegin(), values.rend(), 0.0f);
        return zero == values.rend() ? values : std::vector<float>(zero.base() - 1, values.end());
    }
    std::shared_ptr<ui::WebView> webView = std::make_shared<ui::WebView>(cg::Rect{0, 0, 320, 480});
    std::shared_ptr<WebViewProgress> progress = std::make_shared<WebViewProgress>();
    std::vector<float> values;
};

void expectGrowing(const std::vector<float>& values) {
    ASSERT_GE(values.size(), 3u);
    EXPECT_EQ(values.front(), 0);
    EXPECT_FLOAT_EQ(values[1], 0.1f);
    for (std::size_t i = 1; i < values.size(); ++i) {
        EXPECT_FALSE(std::isnan(values[i]));
        EXPECT_GT(values[i], values[i - 1]);
    }
    EXPECT_EQ(values.back(), 1.0f);
}

TEST(BrowserOnEngine, ProgressOfAPageWithFramesAndRedirects) {
    LoopbackServer server;
    server.serveRedirect("/start", 302, "/main");
    server.serveText("/main",
                     "<html><head><title>Frames</title></head><body><iframe src=\"/a\"></iframe>"
                     "<iframe src=\"/r\"></iframe><p>main</p></body></html>",
                     "text/html");
    server.serveText("/a", "<p>a</p>", "text/html");
    server.serveRedirect("/r", 302, "/b");
    server.serveText("/b", "<p>b</p>", "text/html");
    server.serveText("/after", "<p>after</p>", "text/html");
    EstimatedPage page;
    page.load(server.url("/start"));
    ASSERT_TRUE(pumpUntil([&] { return !page.webView->isLoading() && !page.values.empty() && page.values.back() == 1.0f; }));
    expectGrowing(page.sinceLastReset());
    // Completion is reported once, and its request never leaves the web view.
    EXPECT_EQ(std::count(page.values.begin(), page.values.end(), 1.0f), 1);
    // The completion request was decided on before the next page is asked for: had it gone out, the server
    // would have had it first.
    page.load(server.url("/after"));
    ASSERT_TRUE(pumpUntil([&] { return !server.requests("/after").empty(); }));
    EXPECT_TRUE(server.requests("/webviewprogressproxy/complete").empty());
}

TEST(BrowserOnEngine, ALateLoadEventHoldsTheEstimateBelowCompletion) {
    LoopbackServer server;
    server.serveText("/slow",
                     "<html><body><iframe src=\"/a\"></iframe><img src=\"/late.png\"></body></html>", "text/html");
    server.serveText("/a", "<p>a</p>", "text/html");
    auto late = server.makeGate();
    server.serveHeld("/late.png", late);
    EstimatedPage page;
    page.load(server.url("/slow"));
    ASSERT_TRUE(pumpUntil([&] { return page.progress->progress() > 0.1f && !server.requests("/late.png").empty(); }));
    // Asked of the page itself: its load event cannot have come while the picture is held.
    EXPECT_EQ(page.webView->stringByEvaluatingJavaScriptFromString("document.readyState"), "interactive");
    EXPECT_LT(page.progress->progress(), 1.0f);
    EXPECT_GE(page.progress->progress(), 0.1f);
    late->open();
    ASSERT_TRUE(pumpUntil([&] { return page.progress->progress() == 1.0f; }));
    expectGrowing(page.sinceLastReset());
}

TEST(BrowserOnEngine, TitlesButtonsAndReload) {
    LoopbackServer server;
    server.serveText("/one",
                     "<html><head><title>First page</title></head><body style=\"background: rgb(10, 20, 30)\">"
                     "<a id=\"next\" href=\"/two\">next</a></body></html>",
                     "text/html");
    server.serveText("/two", "<html><head><title>Second page</title></head><body>two</body></html>", "text/html");
    BrowserHarness h(sim::ScreenProfile::phone375x667(), sim::Device::Time::Real);
    auto browser = std::make_shared<WebViewController>(ns::URL::fromString(server.url("/one")));
    browser->setHideWebViewBoundaries(true);
    auto later = test::titled("Later");
    browser->setLoadCompletedApplicationBarButtonItems({later});
    h.push(browser);
    ASSERT_TRUE(h.device.runUntil([&] { return browser->title() == "First page" && browser->pageIsComplete(); }, 30));
    EXPECT_EQ(browser->reloadStopButton()->image(), browser->reloadIcon());
    EXPECT_TRUE(later->isEnabled());
    EXPECT_FALSE(browser->backButton()->isEnabled());
    EXPECT_FALSE(h.device.application().isNetworkActivityIndicatorVisible());
    double r = 0, g = 0, b = 0, a = 0;
    browser->view()->backgroundColor()->getRed(&r, &g, &b, &a);
    EXPECT_NEAR(r * 255, 10, 0.01);
    EXPECT_NEAR(b * 255, 30, 0.01);

    // Reload once complete loads the page again.
    browser->reloadStopButtonTapped(nullptr);
    ASSERT_TRUE(h.device.runUntil([&] { return server.requests("/one").size() == 2 && browser->pageIsComplete(); }, 30));

    browser->webView()->stringByEvaluatingJavaScriptFromString("document.getElementById('next').click()");
    ASSERT_TRUE(h.device.runUntil([&] { return browser->title() == "Second page" && browser->pageIsComplete(); }, 30));
    EXPECT_TRUE(browser->backButton()->isEnabled());
    browser->backButtonTapped(nullptr);
    ASSERT_TRUE(h.device.runUntil([&] { return browser->title() == "First page" && browser->pageIsComplete(); }, 30));
    EXPECT_TRUE(browser->forwardButton()->isEnabled());

    // Open in browser takes the page on screen.
    browser->openInBrowser();
    EXPECT_EQ(h.device.application().openedURLs().back().absoluteString(), server.url("/one"));
}

// A page whose process ends while the browser shows it takes the tab's history with it: back and forward
// turn off at once rather than staying on to do nothing. The page stays what the screen names (its title, its
// address, what is shared), and reload brings it back in a fresh page that has no history either.
TEST(BrowserOnEngine, APageWhoseProcessEndedLeavesNothingToGoBackOrForwardTo) {
    LoopbackServer server;
    server.serveText("/one", "<title>Page one</title><a id=\"next\" href=\"/two\">next</a>", "text/html");
    server.serveText("/two", "<title>Page two</title><a id=\"next\" href=\"/three\">next</a>", "text/html");
    server.serveText("/three", "<title>Page three</title>", "text/html");
    BrowserHarness h(sim::ScreenProfile::phone375x667(), sim::Device::Time::Real);
    auto engine = test::runningEngine();
    ASSERT_TRUE(engine);
    const auto before = test::renderers(*engine);
    auto browser = std::make_shared<WebViewController>(ns::URL::fromString(server.url("/one")));
    h.push(browser);
    const auto shows = [&](const std::string& title) {
        return h.device.runUntil([&] { return browser->title() == title && browser->pageIsComplete(); }, 30);
    };
    ASSERT_TRUE(shows("Page one"));
    for (const std::string next : {"Page two", "Page three"}) {
        browser->webView()->stringByEvaluatingJavaScriptFromString("document.getElementById('next').click()");
        ASSERT_TRUE(shows(next));
    }
    browser->backButtonTapped(nullptr);
    ASSERT_TRUE(shows("Page two"));
    ASSERT_TRUE(browser->backButton()->isEnabled());
    ASSERT_TRUE(browser->forwardButton()->isEnabled());

    int killed = 0;
    for (pid_t renderer : test::renderersSince(*engine, before)) killed += test::killAndAwaitEnd(renderer);
    ASSERT_GT(killed, 0);
    ASSERT_TRUE(h.device.runUntil([&] { return !browser->backButton()->isEnabled() && !browser->forwardButton()->isEnabled(); }, 30));
    EXPECT_FALSE(browser->webView()->canGoBack());
    EXPECT_FALSE(browser->webView()->canGoForward());
    EXPECT_EQ(browser->title(), "Page two");
    EXPECT_EQ(browser->webView()->request()->URL()->absoluteString(), server.url("/two"));
    EXPECT_EQ(browser->reloadStopButton()->image(), browser->reloadIcon());
    if (const char* folder = std::getenv("QL_BROWSER_SHOTS")) h.device.writeScreenshot(std::string(folder) + "/browser-page-process-ended.png");
    browser->openInBrowser();
    EXPECT_EQ(h.device.application().openedURLs().back().absoluteString(), server.url("/two"));
    // The share sheet offers the screen's own address, as before the end.
    browser->actionButtonTapped(nullptr);
    h.device.runUntilIdle();
    auto sheet = std::dynamic_pointer_cast<ui::ActivityViewController>(h.shell->navigation_->presentedViewController());
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->activityItems().size(), 1u);
    EXPECT_EQ(ns::URL::fromValue(sheet->activityItems()[0])->absoluteString(), server.url("/one"));
    h.shell->navigation_->dismissViewControllerAnimated(false);
    h.device.runUntilIdle();

    const std::size_t asked = server.requests("/two").size();
    browser->reloadStopButtonTapped(nullptr);
    ASSERT_TRUE(h.device.runUntil([&] { return server.requests("/two").size() > asked && browser->pageIsComplete(); }, 30));
    EXPECT_EQ(browser->webView()->stringByEvaluatingJavaScriptFromString("document.title"), "Page two");
    EXPECT_FALSE(browser->backButton()->isEnabled());
    EXPECT_FALSE(browser->forwardButton()->isEnabled());
}

TEST(BrowserOnEngine, StopWhileLoadingOnlyStops) {
    LoopbackServer server;
    auto held = server.makeGate();
    server.serveHeld("/held", held);
    server.serveText("/next", "<p>next</p>", "text/html");
    BrowserHarness h(sim::ScreenProfile::phone320x480(), sim::Device::Time::Real);
    auto browser = std::make_shared<WebViewController>(ns::URL::fromString(server.url("/held")));
    h.push(browser);
    ASSERT_TRUE(h.device.runUntil([&] { return browser->webView()->isLoading() && !server.requests("/held").empty(); }, 30));
    EXPECT_EQ(browser->reloadStopButton()->image(), browser->stopIcon());
    EXPECT_TRUE(h.device.application().isNetworkActivityIndicatorVisible());
    // While loading, the title is the address without its scheme.
    EXPECT_EQ(browser->title(), "127.0.0.1:" + std::to_string(server.port()) + "/held");
    browser->reloadStopButtonTapped(nullptr);
    held->open();
    // A load the stop started would have been asked for before the next page.
    browser->webView()->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/next"))));
    ASSERT_TRUE(h.device.runUntil([&] { return !server.requests("/next").empty(); }, 30));
    EXPECT_EQ(server.requests("/held").size(), 1u) << "stopping never loads again";
}

TEST(BrowserOnEngine, ProgressOnAPageThatNavigatesItselfStaysInRangeAndEndsAtOneOnce) {
    LoopbackServer server;
    server.serveText("/self", "<title>self</title><script>setTimeout(function() { location.href = '/self?' + Math.random(); }, 10);</script>",
                     "text/html");
    server.serveText("/plain.html", "<title>plain</title><p>plain</p>", "text/html");
    for (int round = 0; round < 3; ++round) {
        EstimatedPage page;
        page.load(server.url("/self"));
        const std::size_t before = server.requestCount();
        ASSERT_TRUE(pumpUntil([&] { return server.requestCount() > before + 5 + static_cast<std::size_t>(round); }));
        page.load(server.url("/plain.html"));
        ASSERT_TRUE(pumpUntil([&] {
            return !page.webView->isLoading() && page.webView->request()->URL()->path() == "/plain.html" &&
                   !page.values.empty() && page.values.back() == 1.0f;
        })) << round;
        for (const float value : page.values) EXPECT_TRUE(value >= 0 && value <= 1) << round << ": " << value;
        // Since the app's load reset it: rising from 0 (the page's load given up for it may complete it at
        // once, as any failure does), ending at 1, reached once.
        const auto last = page.sinceLastReset();
        ASSERT_GE(last.size(), 2u) << round;
        EXPECT_EQ(last.front(), 0) << round;
        for (std::size_t i = 1; i < last.size(); ++i) EXPECT_GT(last[i], last[i - 1]) << round;
        EXPECT_EQ(last.back(), 1.0f) << round;
        EXPECT_EQ(std::count(last.begin(), last.end(), 1.0f), 1) << round;
        EXPECT_EQ(page.webView->stringByEvaluatingJavaScriptFromString("document.title"), "plain") << round;
    }
}

TEST(BrowserOnEngine, LoadsGivenUpAtOnceKeepTheEstimatesCountsPaired) {
    LoopbackServer server;
    server.serveText("/a", "<title>a</title>", "text/html");
    server.serveText("/b", "<title>b</title>", "text/html");
    server.serveText("/opener", "<script>for (var i = 0; i < 60; i++) window.open('/w' + i);</script>", "text/html");
    for (int i = 0; i < 60; ++i) server.serveText("/w" + std::to_string(i), "<title>w" + std::to_string(i) + "</title>", "text/html");
    EstimatedPage page;
    auto heard = std::make_shared<test::WebViewRecorder>();
    page.progress->setWebViewProxyDelegate(heard);
    // Two loads asked for in one turn, then a page whose windows each give up the load before.
    page.load(server.url("/a"));
    page.load(server.url("/b"));
    ASSERT_TRUE(pumpUntil([&] { return !page.webView->isLoading() && page.progress->progress() == 1.0f; }));
    EXPECT_TRUE(heard->startsPairWithEnds());
    page.load(server.url("/opener"));
    ASSERT_TRUE(pumpUntil([&] { return heard->count("should /w59 other") == 1 && !page.webView->isLoading(); }));
    ASSERT_TRUE(pumpUntil([&] { return page.progress->progress() == 1.0f; }));
    EXPECT_TRUE(heard->startsPairWithEnds());
    EXPECT_GE(heard->count("fail -999"), 30u);
    for (const float value : page.values) EXPECT_TRUE(value >= 0 && value <= 1) << value;
    EXPECT_EQ(page.webView->stringByEvaluatingJavaScriptFromString("document.title"), "w59");
}

TEST(BrowserOnEngine, AMailLinkIsAskedAndHandedToTheApplication) {
    LoopbackServer server;
    server.serveText("/contact",
                     "<html><head><title>Contact</title></head><body style=\"margin:0\">"
                     "<a href=\"mailto:teacher@example.com\" style=\"display:block;height:2000px\">Write to us</a></body></html>",
                     "text/html");
    BrowserHarness h(sim::ScreenProfile::phone375x667(), sim::Device::Time::Real);
    auto browser = std::make_shared<WebViewController>(ns::URL::fromString(server.url("/contact")));
    std::vector<std::string> asked;
    browser->setShouldStartLoadRequestHandler([&](const ns::URLRequest& request, ui::WebViewNavigationType type) {
        asked.push_back(request.URL()->absoluteString() + (type == ui::WebViewNavigationType::LinkClicked ? " link" : " other"));
        return true;
    });
    h.push(browser);
    ASSERT_TRUE(h.device.runUntil([&] { return browser->title() == "Contact" && browser->pageIsComplete(); }, 30));
    asked.clear();
    h.device.tap(cg::Point{180, 300});
    ASSERT_TRUE(h.device.runUntil([&] { return !asked.empty(); }, 30));
    EXPECT_EQ(asked, std::vector<std::string>{"mailto:teacher@example.com link"});
    ASSERT_FALSE(h.device.application().openedURLs().empty());
    EXPECT_EQ(h.device.application().openedURLs().back().absoluteString(), "mailto:teacher@example.com");
    // Another application's address neither resets the page's progress nor leaves it.
    EXPECT_TRUE(browser->pageIsComplete());
    EXPECT_EQ(browser->progressManager()->progress(), 1.0f);
    EXPECT_EQ(browser->webView()->request()->URL()->path(), "/contact");
    EXPECT_FALSE(browser->webView()->isLoading());
}

// The browser showing a page on every device; screenshots when QL_BROWSER_SHOTS names a folder (as of the page whose
// process ended above).
TEST(BrowserOnEngine, ShowsTheRenderedPage) {
    LoopbackServer server;
    server.serveText("/page",
                     "<html><head><meta name=\"viewport\" content=\"width=device-width\"><title>Reading list</title>"
                     "<style>body{font-family:sans-serif;margin:16px;background:#fdf6e3}h1{color:#b58900}"
                     "li{margin:8px 0}</style></head><body><h1>Reading list</h1><p>Books for this week:</p>"
                     "<ul><li>The Little Prince</li><li>Charlotte's Web</li><li>Matilda</li></ul>"
                     "<p><a href=\"/more\">More books</a></p></body></html>",
                     "text/html; charset=utf-8");
    const char* folder = std::getenv("QL_BROWSER_SHOTS");
    for (const auto& [name, profile] : {std::pair{"phone-320x480", sim::ScreenProfile::phone320x480()},
                                        std::pair{"phone-320x568", sim::ScreenProfile::phone320x568()},
                                        std::pair{"phone-375x667", sim::ScreenProfile::phone375x667()},
                                        std::pair{"phone-414x736", sim::ScreenProfile::phone414x736()},
                                        std::pair{"tablet", sim::ScreenProfile::pad768x1024()}}) {
        BrowserHarness h(profile, sim::Device::Time::Real);
        auto browser = std::make_shared<WebViewController>(ns::URL::fromString(server.url("/page")));
        h.push(browser);
        ASSERT_TRUE(h.device.runUntil([&] { return browser->title() == "Reading list" && browser->pageIsComplete(); }, 30));
        // The page's own background shows below the bars once the engine has drawn it.
        const auto background = [&] {
            const auto shot = h.device.screenshot();
            return shot->pixel(shot->width() / 2, static_cast<int>(shot->height() * 0.6));
        };
        EXPECT_TRUE(h.device.runUntil([&] { return background() == cg::Image::Pixel{0xfd, 0xf6, 0xe3, 255}; }, 10)) << name;
        // On a narrow screen every button fits on the toolbar.
        if (browser->compactPresentation()) {
            const auto& toolbar = h.shell->navigation_->toolbar();
            ASSERT_EQ(toolbar->itemViews().size(), 4u) << name;
            for (const auto& button : toolbar->itemViews()) {
                EXPECT_TRUE(cg::rectContainsRect(toolbar->bounds(), button->frame())) << name;
            }
        }
        if (folder) h.device.writeScreenshot(std::string(folder) + "/browser-" + name + ".png");
    }
}

}  // namespace
}  // namespace ql
