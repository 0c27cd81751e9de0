#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/JSONSerialization.h"
#include "web/browser/WebViewProgress.h"

namespace ql {
namespace {

ns::URLRequest requestFor(const std::string& url, const std::string& mainDocument = {}) {
    ns::URLRequest request(ns::URL::fromString(url));
    request.setMainDocumentURL(ns::URL::fromString(mainDocument.empty() ? url : mainDocument));
    return request;
}

struct Recorder : ui::WebViewDelegate, WebViewProgressDelegate {
    std::vector<std::string> calls;
    std::vector<float> reported;
    bool allow = true;

    bool webViewShouldStartLoadWithRequest(ui::WebView&, const ns::URLRequest& request,
                                           ui::WebViewNavigationType) override {
        calls.push_back("should " + request.URL()->absoluteString());
        return allow;
    }
    void webViewDidStartLoad(ui::WebView&) override { calls.push_back("start"); }
    void webViewDidFinishLoad(ui::WebView&) override { calls.push_back("finish"); }
    void webViewDidFailLoadWithError(ui::WebView&, const ns::Error&) override { calls.push_back("fail"); }
    void webViewPageProcessDidEnd(ui::WebView&) override { calls.push_back("ended"); }
    void webViewProgressUpdateProgress(WebViewProgress&, float value) override {
        calls.push_back("progress");
        reported.push_back(value);
    }
};

struct Estimator {
    ns::ManualClockScope clock;
    std::shared_ptr<ui::WebView> webView = std::make_shared<ui::WebView>(cg::Rect{0, 0, 320, 480});
    std::shared_ptr<WebViewProgress> progress = std::make_shared<WebViewProgress>();
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::vector<float> blockValues;

    Estimator() {
        progress->setProgressDelegate(recorder);
        progress->setWebViewProxyDelegate(recorder);
        progress->setProgressBlock([this](float value) {
            recorder->calls.push_back("block");
            blockValues.push_back(value);
        });
    }
    bool navigate(const std::string& url, const std::string& mainDocument = {}) {
        return progress->webViewShouldStartLoadWithRequest(*webView, requestFor(url, mainDocument),
                                                           ui::WebViewNavigationType::LinkClicked);
    }
};

TEST(WebViewProgress, ReportingRule) {
    Estimator e;
    e.progress->setProgress(0.3f);
    e.progress->setProgress(0.3f);
    e.progress->setProgress(0.2f);
    e.progress->setProgress(std::nanf(""));
    e.progress->setProgress(0);
    e.progress->setProgress(0);
    EXPECT_EQ(e.recorder->reported, (std::vector<float>{0.3f, 0, 0}));
    EXPECT_EQ(e.blockValues, e.recorder->reported);
    // The delegate hears each value before the block.
    EXPECT_EQ(e.recorder->calls, (std::vector<std::string>{"progress", "block", "progress", "block", "progress", "block"}));

    e.progress->setProgress(0.2f);
    e.progress->startProgress();
    EXPECT_FLOAT_EQ(e.progress->progress(), 0.2f);
    e.progress->reset();
    e.progress->startProgress();
    EXPECT_FLOAT_EQ(e.progress->progress(), 0.1f);
}

TEST(WebViewProgress, NavigationsThatResetAndThoseThatDoNot) {
    Estimator e;
    e.progress->setProgress(0.4f);
    ASSERT_TRUE(e.navigate("http://example.test/page"));
    EXPECT_EQ(e.recorder->reported.back(), 0);
    EXPECT_EQ(e.recorder->calls[2], "should http://example.test/page");

    const auto unchanged = [&](const std::string& url, const std::string& mainDocument = {}) {
        e.progress->setProgress(0.4f);
        e.recorder->reported.clear();
        e.navigate(url, mainDocument);
        return e.recorder->reported.empty() && e.progress->progress() == 0.4f;
    };
    EXPECT_TRUE(unchanged("http://example.test/frame", "http://example.test/page")) << "a subframe";
    EXPECT_TRUE(unchanged("mailto:someone@example.test")) << "another scheme";
    EXPECT_TRUE(unchanged("HTTP://example.test/other")) << "a scheme in capitals";
    e.recorder->allow = false;
    EXPECT_TRUE(unchanged("http://example.test/refused")) << "a refused navigation";
    e.recorder->allow = true;
    EXPECT_FALSE(unchanged("file:///tmp/page.html"));
    EXPECT_FALSE(unchanged("https://example.test/secure"));

    // A jump within the page shown: the web view's request is that page without the fragment.
    e.webView->loadHTMLString("<p>x</p>", ns::URL::fromString("http://example.test/page"));
    EXPECT_TRUE(unchanged("http://example.test/page#part"));
    EXPECT_TRUE(unchanged("http://example.test/page#"));
    // A "#" inside the fragment comes escaped (a bare one makes no URL); the cut still falls where the
    // fragment begins.
    EXPECT_TRUE(unchanged("http://example.test/page#a%23b"));
    EXPECT_FALSE(unchanged("http://example.test/page%23a#a"));
    EXPECT_FALSE(unchanged("http://example.test/other#part"));
}

TEST(WebViewProgress, CompletionPathIsRefusedAndNeverShownToTheDelegate) {
    Estimator e;
    e.navigate("http://example.test/page");
    e.recorder->calls.clear();
    EXPECT_FALSE(e.navigate("http://elsewhere.test/webviewprogressproxy/complete"));
    EXPECT_EQ(e.recorder->calls, (std::vector<std::string>{"progress", "block"}));
    EXPECT_EQ(e.progress->progress(), 1.0f);
}

TEST(WebViewProgress, FrameCountsMoveTheEstimateTowardsTheCap) {
    Estimator e;
    e.navigate("http://example.test/page");
    e.progress->webViewDidStartLoad(*e.webView);
    e.progress->webViewDidStartLoad(*e.webView);
    e.progress->webViewDidStartLoad(*e.webView);
    e.progress->webViewDidStartLoad(*e.webView);
    EXPECT_FLOAT_EQ(e.progress->progress(), 0.1f);
    // Three of four outstanding: three quarters of the way to 0.5; then half of what is left.
    e.progress->webViewDidFinishLoad(*e.webView);
    EXPECT_FLOAT_EQ(e.progress->progress(), 0.1f + 0.4f * 0.75f);
    e.progress->webViewDidFinishLoad(*e.webView);
    EXPECT_FLOAT_EQ(e.progress->progress(), 0.4f + 0.1f * 0.5f);
    e.progress->webViewDidFinishLoad(*e.webView);
    e.progress->webViewDidFinishLoad(*e.webView);
    EXPECT_LT(e.progress->progress(), 0.5f);
    // More ends than starts: the count goes below zero without wrapping, and the estimate reaches the cap
    // instead of becoming not-a-number.
    e.progress->webViewDidFinishLoad(*e.webView);
    EXPECT_FLOAT_EQ(e.progress->progress(), 0.5f);
    for (float value : e.recorder->reported) EXPECT_FALSE(std::isnan(value));

    // A frame ending after a reset with nothing counted goes to the cap too.
    e.navigate("http://example.test/next");
    e.progress->incrementProgress();
    EXPECT_FLOAT_EQ(e.progress->progress(), 0.5f);
}

TEST(WebViewProgress, FailureCompletesAndNothingButAResetFollows) {
    Estimator e;
    e.navigate("http://example.test/page");
    e.progress->webViewDidStartLoad(*e.webView);
    e.recorder->calls.clear();
    e.progress->webViewDidFailLoadWithError(*e.webView, ns::Error("NSURLErrorDomain", -1004));
    // The delegate hears the failure before the estimate moves.
    ASSERT_FALSE(e.recorder->calls.empty());
    EXPECT_EQ(e.recorder->calls.front(), "fail");
    EXPECT_EQ(e.progress->progress(), 1.0f);
    e.recorder->reported.clear();
    e.progress->webViewDidStartLoad(*e.webView);
    e.progress->webViewDidFinishLoad(*e.webView);
    EXPECT_TRUE(e.recorder->reported.empty());
    e.navigate("http://example.test/again");
    EXPECT_EQ(e.recorder->reported, (std::vector<float>{0}));
}

// A page whose process ended never completes on its own: the estimate ends as a failure's does, once the
// delegate has heard of the end.
TEST(WebViewProgress, APageWhoseProcessEndedCompletes) {
    Estimator e;
    e.navigate("http://example.test/page");
    e.progress->webViewDidStartLoad(*e.webView);
    e.recorder->calls.clear();
    e.progress->webViewPageProcessDidEnd(*e.webView);
    EXPECT_EQ(e.recorder->calls, (std::vector<std::string>{"ended", "progress", "block"}));
    EXPECT_EQ(e.progress->progress(), 1.0f);
    // Complete already, it moves no more.
    e.recorder->calls.clear();
    e.progress->webViewPageProcessDidEnd(*e.webView);
    EXPECT_EQ(e.recorder->calls, std::vector<std::string>{"ended"});
}

TEST(WebViewProgress, GoneProxiedDelegateAllowsEverything) {
    Estimator e;
    e.recorder->allow = false;
    auto recorder = std::make_shared<Recorder>();
    e.progress->setProgressDelegate(recorder);
    e.progress->setWebViewProxyDelegate(std::shared_ptr<Recorder>());
    EXPECT_TRUE(e.navigate("http://example.test/page"));
    e.progress->webViewDidStartLoad(*e.webView);
    EXPECT_EQ(recorder->reported, (std::vector<float>{0, 0.1f}));
}

TEST(WebViewProgress, TheCompletionScriptKeepsAnyHostInsideItsString) {
    // Quotes and a semicolon in the host, written plainly and percent-escaped, must not end the script's
    // string: the address read back from the literal is the page's scheme, host and the completion path.
    for (const char* page : {"http://a'b;c/x", "http://a%22);alert(1)//%27;b/x"}) {
        const auto url = ns::URL::fromString(page);
        ASSERT_TRUE(url && url->host()) << page;
        const std::string script = WebViewProgressCompletionScript(*url);
        const std::string before = "iframe.src = ", after = "; document.body";
        const auto begin = script.find(before), end = script.find(after);
        ASSERT_NE(begin, std::string::npos);
        ASSERT_NE(end, std::string::npos);
        const std::string literal = script.substr(begin + before.size(), end - begin - before.size());
        const ns::Value address = ns::JSONSerialization::JSONObjectWithData(literal, ns::JSONReadingFragmentsAllowed, nullptr);
        EXPECT_EQ(address, ns::Value("http://" + *url->host() + "/webviewprogressproxy/complete")) << literal;
    }
}

}  // namespace
}  // namespace ql
