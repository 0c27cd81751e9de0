#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/net/URLError.h"
#include "platform/web/WebView.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using test::LoopbackServer;

bool pumpUntil(const std::function<bool()>& condition) { return ns::RunLoop::main()->runUntil(condition, 60); }

class Recorder final : public ui::WebViewDelegate {
public:
    bool webViewShouldStartLoadWithRequest(ui::WebView& view, const ns::URLRequest& request,
                                           ui::WebViewNavigationType type) override {
        events.push_back("should " + (request.URL() ? request.URL()->path() : std::string()) +
                         (type == ui::WebViewNavigationType::Other ? " other" : ""));
        loadingWhenAsked = view.isLoading();
        return allow;
    }
    void webViewDidStartLoad(ui::WebView&) override { events.push_back("start"); }
    void webViewDidFinishLoad(ui::WebView& view) override {
        events.push_back("finish");
        loadingWhenDone = view.isLoading();
    }
    void webViewDidFailLoadWithError(ui::WebView&, const ns::Error& error) override {
        events.push_back("fail " + std::to_string(error.code()));
    }
    bool allow = true;
    bool loadingWhenAsked = true;
    bool loadingWhenDone = true;
    std::vector<std::string> events;
};

TEST(WebView, LoadsADocumentAndReportsToItsDelegateInOrder) {
    LoopbackServer server;
    server.serveText("/page", "<p>hi</p>", "text/html; charset=utf-8");
    auto view = std::make_shared<ui::WebView>();
    auto delegate = std::make_shared<Recorder>();
    view->setDelegate(delegate);

    view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/page"))));
    EXPECT_TRUE(view->isLoading());
    EXPECT_FALSE(delegate->loadingWhenAsked);
    ASSERT_TRUE(pumpUntil([&] { return !view->isLoading(); }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"should /page other", "start", "finish"}));
    EXPECT_FALSE(delegate->loadingWhenDone);
    EXPECT_EQ(view->documentData(), ns::Data("<p>hi</p>"));
    EXPECT_EQ(view->documentMIMEType(), "text/html");
    EXPECT_EQ(view->documentTextEncodingName(), "utf-8");
    EXPECT_EQ(view->documentBaseURL()->path(), "/page");

    // Refused by the delegate: nothing happens.
    delegate->events.clear();
    delegate->allow = false;
    view->loadHTMLString("<b>no</b>", std::nullopt);
    EXPECT_FALSE(view->isLoading());
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"should blank other"}));
    EXPECT_EQ(view->documentData(), ns::Data("<p>hi</p>"));
}

TEST(WebView, ANewerLoadOrStopInterruptsTheEarlierOneWithTheCancelledError) {
    LoopbackServer server;
    auto gate = std::make_shared<test::Gate>();
    server.serveHeld("/slow", gate);
    auto view = std::make_shared<ui::WebView>();
    auto delegate = std::make_shared<Recorder>();
    view->setDelegate(delegate);

    view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/slow"))));
    view->loadData(ns::Data("doc"), "text/plain", "", ns::URL::fromString("http://example.invalid/base/"));
    ASSERT_TRUE(pumpUntil([&] { return !view->isLoading(); }));
    // The load given up was told started before its end.
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"should /slow other", "should /base other", "start",
                                                          "fail -999", "start", "finish"}));
    EXPECT_EQ(view->documentData(), ns::Data("doc"));
    EXPECT_EQ(view->documentMIMEType(), "text/plain");

    delegate->events.clear();
    view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/slow"))));
    view->stopLoading();
    EXPECT_FALSE(view->isLoading());
    gate->open();
    bool drained = false;
    ns::RunLoop::main()->performBlock([&] { drained = true; });
    ASSERT_TRUE(pumpUntil([&] { return drained; }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"should /slow other", "start", "fail -999"}));
    EXPECT_EQ(view->documentData(), ns::Data("doc"));
}

}  // namespace
}  // namespace ql
