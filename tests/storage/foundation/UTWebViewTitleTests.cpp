#include <gtest/gtest.h>

#include <memory>

#include "platform/foundation/RunLoop.h"
#include "storage/foundation/UTWebViewTitle.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

TEST(UTWebViewTitle, ReadsThePagesTitleOnTheEngine) {
    test::LoopbackServer server;
    server.serveText("/titled", "<html><head><title>Lesezeichen &amp; 书签</title></head></html>", "text/html; charset=utf-8");
    server.serveText("/untitled", "<p>none</p>", "text/html");
    auto view = std::make_shared<ui::WebView>(cg::Rect{0, 0, 320, 480});
    EXPECT_EQ(documentTitle(*view), "");

    view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/titled"))));
    ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return !view->isLoading(); }, 30));
    EXPECT_EQ(documentTitle(*view), "Lesezeichen & 书签");

    view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/untitled"))));
    ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return !view->isLoading(); }, 30));
    EXPECT_EQ(documentTitle(*view), "");
}

}  // namespace
}  // namespace ql
