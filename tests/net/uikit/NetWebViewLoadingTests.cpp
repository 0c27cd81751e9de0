#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/uikit/WebViewNetworking.h"
#include "platform/foundation/DispatchQueue.h"
#include "tests/net/NetLoadingTestSupport.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using test::LoopbackServer;
using test::pumpUntil;

class Recorder final : public ui::WebViewDelegate {
public:
    bool webViewShouldStartLoadWithRequest(ui::WebView&, const ns::URLRequest&, ui::WebViewNavigationType) override {
        events.push_back("should");
        return true;
    }
    void webViewDidStartLoad(ui::WebView&) override { events.push_back("start"); }
    void webViewDidFinishLoad(ui::WebView&) override { events.push_back("finish"); }
    void webViewDidFailLoadWithError(ui::WebView&, const ns::Error&) override { events.push_back("fail"); }
    std::vector<std::string> events;
};

class RefusingSerializer final : public ns::Object, public NetURLRequestSerialization {
public:
    std::optional<ns::URLRequest> requestBySerializingRequest(const ns::URLRequest&, const ns::Value&,
                                                              std::optional<ns::Error>* error) const override {
        if (error) *error = ns::Error("refused", 1);
        return std::nullopt;
    }
};

struct Fixture {
    Fixture() {
        view->setDelegate(delegate);
        server.serveText("/latin", std::string("caf\xe9"), "text/html; charset=iso-8859-1");
        server.serveText("/plain", "raw", "text/plain");
        server.serveText("/missing", "gone", "text/plain", 404);
    }
    ns::URLRequest request(std::string_view path) const { return ns::URLRequest(ns::URL::fromString(server.url(path))); }
    bool loaded() const { return !delegate->events.empty() && delegate->events.back() == "finish" && !view->isLoading(); }

    LoopbackServer server;
    std::shared_ptr<ui::WebView> view = std::make_shared<ui::WebView>();
    std::shared_ptr<Recorder> delegate = std::make_shared<Recorder>();
};

TEST(NetWebViewLoading, ReadsTheReplyAsTextInItsEncodingAndShowsTheRewrittenDocument) {
    Fixture f;
    std::optional<std::string> seen;
    std::int64_t progressTotal = 0;
    net_loadRequest(
        f.view, f.request("/latin"),
        [&](std::uint64_t, std::int64_t total, std::int64_t) { progressTotal = total; },
        [&](const std::shared_ptr<ns::HTTPURLResponse>& response, const std::string& HTML) {
            EXPECT_EQ(response->statusCode(), 200);
            seen = HTML;
            return "<b>" + HTML + "</b>";
        },
        {});
    ASSERT_NE(net_HTTPRequestOperation(*f.view), nullptr);
    EXPECT_EQ(f.delegate->events, std::vector<std::string>{"start"});
    ASSERT_TRUE(pumpUntil([&] { return f.loaded(); }));
    EXPECT_EQ(seen, "caf\xc3\xa9");
    EXPECT_EQ(progressTotal, 4);
    EXPECT_EQ(f.view->documentData(), ns::Data(std::string("<b>caf\xe9</b>")));
    EXPECT_EQ(f.view->documentTextEncodingName(), "iso-8859-1");
    EXPECT_EQ(f.view->documentMIMEType(), "text/html");
    EXPECT_EQ(f.view->documentBaseURL()->path(), "/latin");
    // The view's own load of the document reports after the operation's finish.
    EXPECT_EQ(f.delegate->events, (std::vector<std::string>{"start", "should", "finish", "start", "finish"}));
    const auto sent = f.server.requests("/latin");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].header("User-Agent").has_value()) << "the request serializer's default headers";
}

TEST(NetWebViewLoading, DataFormTakesTheCallersTypeAndFailuresLoadNothing) {
    Fixture f;
    net_loadRequest(f.view, f.request("/plain"), std::string("application/xhtml+xml"), std::nullopt, {},
                    [](const std::shared_ptr<ns::HTTPURLResponse>&, const ns::Data& data) {
                        EXPECT_EQ(data, ns::Data("raw"));
                        return ns::Data("cooked");
                    },
                    {});
    ASSERT_TRUE(pumpUntil([&] { return f.loaded(); }));
    EXPECT_EQ(f.view->documentData(), ns::Data("cooked"));
    EXPECT_EQ(f.view->documentMIMEType(), "application/xhtml+xml");

    std::optional<ns::Error> failure;
    net_loadRequest(f.view, f.request("/missing"), {}, {}, [&](const ns::Error& error) { failure = error; });
    ASSERT_TRUE(pumpUntil([&] { return failure.has_value(); }));
    EXPECT_EQ(failure->code(), -1011);
    EXPECT_EQ(f.view->documentData(), ns::Data("cooked"));

    failure.reset();
    net_setRequestSerializer(*f.view, std::make_shared<RefusingSerializer>());
    net_loadRequest(f.view, f.request("/plain"), {}, {}, [&](const ns::Error& error) { failure = error; });
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->domain(), "refused");
    EXPECT_EQ(net_HTTPRequestOperation(*f.view), nullptr);
    EXPECT_EQ(f.server.requests("/plain").size(), 1u);
}

}  // namespace
}  // namespace ql
