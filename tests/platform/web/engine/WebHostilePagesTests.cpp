// The web view against pages that misbehave: dialogs in a loop, scripts without end, windows opened by the
// dozen, navigations that never settle, links to other applications, and pages read from files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Timer.h"
#include "platform/net/URLError.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TouchDriver.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebEngineFields.h"
#include "platform/web/WebRequestServing.h"
#include "platform/web/WebView.h"
#include "tests/platform/web/engine/WebViewRecorder.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/WindowShell.h"

namespace ql {
namespace {

using test::LoopbackServer;
using test::pumpUntil;
using test::WebViewRecorder;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Page {
    explicit Page(const cg::Rect& frame = {0, 0, 320, 480})
        : view(std::make_shared<ui::WebView>(frame)), delegate(std::make_shared<WebViewRecorder>()) {
        view->setDelegate(delegate);
    }
    void start(const std::string& url, double timeout = ns::URLRequest::kDefaultTimeoutInterval) {
        view->loadRequest(ns::URLRequest(ns::URL::fromString(url), ns::URLRequestCachePolicy::UseProtocolCachePolicy, timeout));
    }
    void load(const std::string& url) {
        start(url);
        ASSERT_TRUE(pumpUntil([&] { return !view->isLoading(); }));
    }
    std::string title() { return view->stringByEvaluatingJavaScriptFromString("document.title"); }
    std::shared_ptr<ui::WebView> view;
    std::shared_ptr<WebViewRecorder> delegate;
};

std::shared_ptr<ui::AlertView> shownAlert() {
    const auto alerts = ui::AlertView::visibleAlerts();
    return alerts.empty() ? nullptr : alerts.back();
}

std::vector<std::string> buttonsOf(const ui::AlertView& alert) {
    std::vector<std::string> titles;
    for (std::int64_t i = 0; i < alert.numberOfButtons(); ++i) titles.push_back(alert.buttonTitleAtIndex(i));
    return titles;
}

struct OnDevice {
    OnDevice() : device(sim::ScreenProfile::phone320x480(), sim::Device::Time::Real) {
        device.boot([this] { return shell; });
        shell->window_->rootViewController()->view()->addSubview(page.view);
    }
    sim::Device device;
    std::shared_ptr<test::WindowShell> shell = std::make_shared<test::WindowShell>();
    Page page;
};

TEST(WebHostilePages, DialogsAreThePlatformsAlertsAnsweredByTaps) {
    LoopbackServer server;
    server.serveText("/ask",
                     "<html><head><title>ask</title></head><body><script>"
                     "var sure = confirm('Sure?'); var name = prompt('Name?', 'nobody');"
                     "alert('Thanks, ' + name); document.title = sure + '|' + name;"
                     "</script></body></html>",
                     "text/html; charset=utf-8");
    OnDevice on;
    auto& page = on.page;
    page.start(server.url("/ask"));
    ASSERT_TRUE(on.device.runUntil([&] { return shownAlert() != nullptr; }, 30));
    auto alert = shownAlert();
    EXPECT_EQ(alert->title(), "127.0.0.1");
    EXPECT_EQ(alert->message(), "Sure?");
    EXPECT_EQ(buttonsOf(*alert), (std::vector<std::string>{"Cancel", "OK"}));
    // The page's script waits for the answer, and nothing waits on the page meanwhile.
    const auto asked = Clock::now();
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "");
    EXPECT_LT(secondsSince(asked), 1);
    EXPECT_TRUE(page.view->isLoading());
    on.device.tap("Cancel");

    ASSERT_TRUE(on.device.runUntil([&] { return shownAlert() && shownAlert()->message() == "Name?"; }, 30));
    alert = shownAlert();
    ASSERT_TRUE(alert->textFieldAtIndex(0));
    EXPECT_EQ(alert->textFieldAtIndex(0)->text(), "nobody");
    on.device.pressBackspace(6);
    on.device.type("小明");
    on.device.tap("OK");

    ASSERT_TRUE(on.device.runUntil([&] { return shownAlert() && shownAlert()->message() == "Thanks, 小明"; }, 30));
    EXPECT_EQ(buttonsOf(*shownAlert()), (std::vector<std::string>{"OK"}));
    EXPECT_FALSE(shownAlert()->textFieldAtIndex(0));
    on.device.tap("OK");
    ASSERT_TRUE(on.device.runUntil([&] { return !page.view->isLoading(); }, 30));
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
    EXPECT_EQ(page.title(), "false|小明");
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /ask other", "start", "finish"}));

    // A dialog opened by a script the view runs: the evaluation ends at once, the dialog shows.
    const auto evaluated = Clock::now();
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("alert('From the app'); 'done'"), "");
    EXPECT_LT(secondsSince(evaluated), 1);
    ASSERT_TRUE(on.device.runUntil([&] { return shownAlert() && shownAlert()->message() == "From the app"; }, 30));
    on.device.tap("OK");
    EXPECT_TRUE(on.device.runUntil([&] { return page.title() == "false|小明"; }, 30));
}

TEST(WebHostilePages, DialogsOfAnyLengthAreAnsweredAndTheLoadFinishes) {
    LoopbackServer server;
    // The engine cuts an alert's text before it reports it, but not a prompt's default text: the app cuts
    // that as it reads it. (WebLargeFrames tries default texts of up to more than 100 MiB.)
    server.serveText("/long",
                     "<title>long</title><script>alert('x'.repeat(50 * 1000 * 1000)); document.title = 'alerted';"
                     "var answer = prompt('Name?', '\\u4e2d'.repeat(10239) + '\\ud83d\\ude00' + '\\u4e2d'.repeat(1000));"
                     "document.title = 'prompted ' + answer.length + ' ' + /^\\u4e2d*$/.test(answer);</script>",
                     "text/html");
    OnDevice on;
    auto& page = on.page;
    page.start(server.url("/long"));
    ASSERT_TRUE(on.device.runUntil([&] { return shownAlert() != nullptr; }, 30));
    // Shown as a small one is, with what the engine kept of the text, and the page waits for the answer.
    const auto alert = shownAlert();
    EXPECT_EQ(alert->title(), "127.0.0.1");
    EXPECT_EQ(buttonsOf(*alert), std::vector<std::string>{"OK"});
    EXPECT_GE(alert->message().size(), 10'000u);
    EXPECT_LT(alert->message().size(), 100'000u);
    EXPECT_EQ(alert->message().find_first_not_of('x'), std::string::npos);
    EXPECT_TRUE(page.view->isLoading());
    EXPECT_EQ(page.title(), "");
    on.device.tap("OK");

    // The prompt's field holds the first 10,240 UTF-16 units of its default text, never half a character
    // (the emoji's two units would pass the cut), and OK answers them.
    ASSERT_TRUE(on.device.runUntil([&] { return shownAlert() && shownAlert()->message() == "Name?"; }, 30));
    std::string start;
    for (int i = 0; i < 10239; ++i) start += "\u4e2d";
    EXPECT_EQ(shownAlert()->textFieldAtIndex(0)->text(), start);
    on.device.tap("OK");
    ASSERT_TRUE(on.device.runUntil([&] { return !page.view->isLoading(); }, 30));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /long other", "start", "finish"}));
    EXPECT_EQ(page.title(), "prompted 10239 true");
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
}

TEST(WebHostilePages, AThousandAlertsHoldUpNeitherOtherViewsNorTheAppsOwnLoads) {
    LoopbackServer server;
    server.serveText("/alerts", "<title>alerts</title><script>for (var i = 0; i < 1000; i++) alert('Alert ' + i);</script>",
                     "text/html");
    server.serveText("/plain", "<title>plain</title>", "text/html");
    OnDevice on;
    Page other;
    on.page.start(server.url("/alerts"));
    ASSERT_TRUE(on.device.runUntil([&] { return shownAlert() && shownAlert()->message() == "Alert 0"; }, 30));
    on.device.tap("OK");
    ASSERT_TRUE(on.device.runUntil([&] { return shownAlert() && shownAlert()->message() == "Alert 1"; }, 30));

    // Another view loads while the page waits for its answer.
    const auto started = Clock::now();
    other.start(server.url("/plain"));
    ASSERT_TRUE(on.device.runUntil([&] { return !other.view->isLoading(); }, 30));
    EXPECT_LT(secondsSince(started), 2);
    EXPECT_EQ(other.title(), "plain");
    EXPECT_EQ(other.delegate->events, (std::vector<std::string>{"should /plain other", "start", "finish"}));
    EXPECT_EQ(shownAlert()->message(), "Alert 1");

    // The app's own load dismisses the dialog, and the page's next ones cannot hold the load up.
    on.page.delegate->events.clear();
    on.page.start(server.url("/plain"));
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
    ASSERT_TRUE(on.device.runUntil([&] { return !on.page.view->isLoading(); }, 30));
    EXPECT_EQ(on.page.delegate->events, (std::vector<std::string>{"should /plain other", "fail -999", "start", "finish"}));
    EXPECT_EQ(on.page.title(), "plain");
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
    EXPECT_EQ(on.page.view->request()->URL()->path(), "/plain");
}

TEST(WebHostilePages, StoppingOrLettingGoOfTheViewDismissesItsDialogAsCancelled) {
    LoopbackServer server;
    server.serveText("/confirm",
                     "<title>confirm</title><script>addEventListener('load', function() {"
                     "setTimeout(function() { document.title = 'answered ' + confirm('Stay?'); }, 0); });</script>",
                     "text/html");
    OnDevice on;
    on.page.load(server.url("/confirm"));
    ASSERT_TRUE(on.device.runUntil([&] { return shownAlert() != nullptr; }, 30));
    on.page.view->stopLoading();
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
    EXPECT_TRUE(on.device.runUntil([&] { return on.page.title() == "answered false"; }, 30));

    auto leaving = std::make_unique<Page>();
    leaving->load(server.url("/confirm"));
    ASSERT_TRUE(on.device.runUntil([&] { return shownAlert() != nullptr; }, 30));
    leaving.reset();
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
    // The engine goes on serving the other view.
    on.page.load(server.url("/confirm"));
    ASSERT_TRUE(on.device.runUntil([&] { return shownAlert() != nullptr; }, 30));
    on.device.tap("OK");
    EXPECT_TRUE(on.device.runUntil([&] { return on.page.title() == "answered true"; }, 30));
}

TEST(WebHostilePages, LeavingAPageIsNeverAskedAbout) {
    LoopbackServer server;
    server.serveText("/sticky",
                     "<html><body style=\"margin:0\"><div style=\"height:400px\">tap</div><script>"
                     "addEventListener('beforeunload', function(e) { e.preventDefault(); e.returnValue = 'Stay?'; });"
                     "</script></body></html>",
                     "text/html");
    server.serveText("/next", "<title>next</title>", "text/html");
    OnDevice on;
    on.page.load(server.url("/sticky"));
    // Once a person has used the page, the engine would ask before leaving it.
    on.device.tap(cg::Point{100, 100});
    on.page.delegate->events.clear();
    on.page.load(server.url("/next"));
    EXPECT_EQ(on.page.delegate->events, (std::vector<std::string>{"should /next other", "start", "finish"}));
    EXPECT_EQ(on.page.title(), "next");
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());
}


TEST(WebHostilePages, AScriptWithoutEndIsStoppedAndEveryViewLoadsAgain) {
    LoopbackServer server;
    server.serveText("/endless", "<title>endless</title><script>for (;;) {}</script>", "text/html");
    server.serveText("/busy",
                     "<title>busy</title><script>addEventListener('load', function() {"
                     "setTimeout(function() { for (;;) {} }, 0); });</script>",
                     "text/html");
    server.serveText("/plain", "<title>plain</title>", "text/html");
    Page page;
    Page other;

    // A page whose script holds it past the load's time-out: the load fails and the script is stopped.
    page.start(server.url("/endless"), 2);
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /endless other", "start", "fail -1001"}));
    page.delegate->events.clear();
    page.load(server.url("/plain"));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /plain other", "start", "finish"}));
    EXPECT_EQ(page.title(), "plain");
    other.load(server.url("/plain"));
    EXPECT_EQ(other.title(), "plain");

    // A page whose script starts once it has loaded: an evaluation's bound stops it, and the page answers.
    page.load(server.url("/busy"));
    EXPECT_EQ(page.title(), "");
    EXPECT_EQ(page.title(), "busy");
    page.delegate->events.clear();
    page.load(server.url("/plain"));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /plain other", "start", "finish"}));
    other.load(server.url("/busy"));
    EXPECT_EQ(page.title(), "plain");
}

// Decides by a path's number: even ones are refused.
class OddPathsOnly final : public ui::WebViewDelegate {
public:
    bool webViewShouldStartLoadWithRequest(ui::WebView&, const ns::URLRequest& request, ui::WebViewNavigationType type) override {
        const std::string path = request.URL() ? request.URL()->path() : "";
        asked.push_back(path + (type == ui::WebViewNavigationType::LinkClicked ? " link" : type == ui::WebViewNavigationType::Other ? " other" : " ?"));
        if (path.rfind("/w", 0) != 0) return true;
        return std::stoi(path.substr(2)) % 2 == 1;
    }
    void webViewDidFinishLoad(ui::WebView&) override { ++finished; }
    std::vector<std::string> asked;
    int finished = 0;
};

std::size_t pageTargetsShowing(const std::string& part) {
    ns::Error error = ui::webEngineError(0, "");
    auto engine = ui::WebEngine::running(&error);
    std::size_t count = 0;
    const ns::Value targets = engine->call("Target.getTargets", {}, "");
    if (const auto* list = ui::fieldsOf(targets)["targetInfos"].asArray()) {
        for (const auto& info : *list) count += ui::textField(ui::fieldsOf(info), "url").find(part) != std::string::npos;
    }
    return count;
}

TEST(WebHostilePages, AReplyWithoutEndIsGivenUpAtItsBoundRatherThanHeldUntilMemoryRunsOut) {
    LoopbackServer server;
    auto sent = std::make_shared<std::atomic<std::size_t>>(0);
    server.serveBytes("/endless", std::size_t{1} << 40, sent);  // a terabyte: no end within the test
    server.serveText("/plain", "<title>plain</title>", "text/html");
    Page page;
    page.start(server.url("/endless"));
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /endless other", "start", "fail -1103"}));
    EXPECT_LT(sent->load(), std::size_t{1} << 30) << "the load stopped reading";

    page.delegate->events.clear();
    page.load(server.url("/plain"));
    EXPECT_EQ(page.title(), "plain");
}

TEST(WebHostilePages, AReplyLargerThanTheEngineTakesFailsInItsOwnViewAlone) {
    LoopbackServer server;
    server.serveBytes("/largest", ui::kPageReplyLimit);
    server.serveText("/fetcher",
                     "<title>fetcher</title><script>fetch('/largest').then(function(reply) { return reply.arrayBuffer(); })"
                     ".then(function(body) { location.hash = body.byteLength; });</script>",
                     "text/html");
    server.serveBytes("/80MB", std::size_t{80} << 20);
    server.serveBytes("/120MB", std::size_t{120} << 20);
    server.serveText("/plain", "<title>plain</title>", "text/html");
    Page page;
    Page other;
    other.load(server.url("/plain"));
    ns::Error error = ui::webEngineError(0, "");
    const auto engine = ui::WebEngine::running(&error)->processID();

    // The largest reply a page is handed reaches it whole.
    page.load(server.url("/fetcher"));
    const std::string whole = "should /fetcher#" + std::to_string(ui::kPageReplyLimit);
    EXPECT_TRUE(pumpUntil([&] { return page.delegate->events.back().starts_with(whole); }));
    for (const std::string path : {"/80MB", "/120MB"}) {
        page.delegate->events.clear();
        page.delegate->errors.clear();
        page.load(server.url(path));
        EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should " + path + " other", "start", "fail -1103"}));
        ASSERT_EQ(page.delegate->errors.size(), 1u);
        EXPECT_EQ(page.delegate->errors[0].domain(), ns::URLErrorDomain);
        EXPECT_EQ(page.delegate->errors[0].localizedDescription(), "resource exceeds maximum size");
        EXPECT_EQ(ui::WebEngine::running(&error)->processID(), engine) << path;
    }
    // So does a document the app gives whose message would be larger than the engine takes.
    page.delegate->events.clear();
    page.view->loadData(ns::Data(std::string(std::size_t{76} << 20, 'x')), "text/plain", "", ns::URL::fromString(server.url("/given")));
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /given other", "start", "fail -1103"}));
    EXPECT_EQ(ui::WebEngine::running(&error)->processID(), engine);

    // The other view kept its page and loads on the same engine.
    EXPECT_EQ(other.title(), "plain");
    other.delegate->events.clear();
    other.load(server.url("/plain"));
    EXPECT_EQ(other.delegate->events, (std::vector<std::string>{"should /plain other", "start", "finish"}));
    EXPECT_EQ(ui::WebEngine::running(&error)->processID(), engine);
}

TEST(WebHostilePages, WindowsAPageOpensAreNavigationsOfItsViewAskedOfTheDelegate) {
    LoopbackServer server;
    server.serveText("/opener",
                     "<html><body style=\"margin:0\"><a id=\"blank\" href=\"/w7\" target=\"_blank\" "
                     "style=\"display:block;height:300px\">new window</a></body></html>",
                     "text/html");
    for (int i = 0; i < 20; ++i) server.serveText("/w" + std::to_string(i), "<title>w" + std::to_string(i) + "</title>", "text/html");
    OnDevice on;
    auto delegate = std::make_shared<OddPathsOnly>();
    on.page.view->setDelegate(delegate);
    on.page.load(server.url("/opener"));
    delegate->asked.clear();

    on.page.view->stringByEvaluatingJavaScriptFromString("for (var i = 0; i < 20; i++) window.open('/w' + i); 'opened'");
    ASSERT_TRUE(on.device.runUntil([&] { return delegate->asked.size() == 20 && !on.page.view->isLoading(); }, 30));
    std::vector<std::string> expected;
    for (int i = 0; i < 20; ++i) expected.push_back("/w" + std::to_string(i) + " other");
    EXPECT_EQ(delegate->asked, expected);
    // Each allowed window replaced the one before in this view; the last one shows.
    EXPECT_EQ(on.page.title(), "w19");
    EXPECT_EQ(on.page.view->request()->URL()->path(), "/w19");
    for (int i = 0; i < 20; i += 2) EXPECT_TRUE(server.requests("/w" + std::to_string(i)).empty()) << i;
    EXPECT_EQ(server.requests("/w19").size(), 1u);
    EXPECT_EQ(pageTargetsShowing("/w"), 1u) << "no window of the page's own";

    // A link that opens a window, tapped: asked as a link, loaded here.
    on.page.load(server.url("/opener"));
    delegate->asked.clear();
    on.device.tap(cg::Point{100, 100});
    ASSERT_TRUE(on.device.runUntil([&] { return on.page.title() == "w7"; }, 30));
    EXPECT_EQ(delegate->asked, std::vector<std::string>{"/w7 link"});
    EXPECT_EQ(pageTargetsShowing("/w7"), 1u);
}

TEST(WebHostilePages, EveryLoadTheDelegateHearsOfStartsBeforeItEnds) {
    LoopbackServer server;
    server.serveText("/a", "<title>a</title>", "text/html");
    server.serveText("/b", "<title>b</title>", "text/html");
    server.serveText("/opener", "<script>for (var i = 0; i < 100; i++) window.open('/w' + i);</script>", "text/html");
    for (int i = 0; i < 100; ++i) server.serveText("/w" + std::to_string(i), "<title>w" + std::to_string(i) + "</title>", "text/html");
    Page page;
    // Two loads asked for in one turn: the first is told started, then given up.
    page.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/a"))));
    page.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/b"))));
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    EXPECT_EQ(page.delegate->events,
              (std::vector<std::string>{"should /a other", "should /b other", "start", "fail -999", "start", "finish"}));
    EXPECT_EQ(page.title(), "b");

    // A page opening windows in a loop: each one given up for the next was told started. How many it asks
    // for before the view's navigation to one of them ends the loop depends on how fast each side runs; every
    // one asked for, however many, is a load that starts and then ends.
    page.delegate->events.clear();
    page.start(server.url("/opener"));
    std::vector<int> asked;
    const auto settled = [&] {
        asked.clear();
        for (const auto& event : page.delegate->events) {
            if (event.starts_with("should /w")) asked.push_back(std::stoi(event.substr(9)));
        }
        // The view shows the last window asked for, and loads no more.
        return !asked.empty() && !page.view->isLoading() && page.view->request()->URL()->path() == "/w" + std::to_string(asked.back());
    };
    ASSERT_TRUE(pumpUntil(settled, 60));
    EXPECT_TRUE(page.delegate->startsPairWithEnds()) << ::testing::PrintToString(page.delegate->events);
    // The opener's load and one for each window asked for, in the order the page asked.
    EXPECT_EQ(page.delegate->count("start"), asked.size() + 1);
    EXPECT_TRUE(std::is_sorted(asked.begin(), asked.end()) && std::adjacent_find(asked.begin(), asked.end()) == asked.end());
    EXPECT_EQ(page.delegate->events.back(), "finish");
    EXPECT_EQ(page.title(), "w" + std::to_string(asked.back()));
}

// Notes every question with the whole address.
class AddressRecorder final : public ui::WebViewDelegate {
public:
    bool webViewShouldStartLoadWithRequest(ui::WebView&, const ns::URLRequest& request, ui::WebViewNavigationType type) override {
        asked.push_back(request.URL()->absoluteString() + " " + test::typeName(type));
        return refused.find(request.URL()->scheme().value_or("")) == refused.end();
    }
    std::set<std::string> refused;
    std::vector<std::string> asked;
};

TEST(WebHostilePages, LinksToOtherApplicationsAreAskedAndHandedOn) {
    LoopbackServer server;
    server.serveText("/links",
                     "<html><body style=\"margin:0\">"
                     "<a id=\"mail\" href=\"mailto:teacher@example.com?subject=Hi\" style=\"display:block;height:100px\">mail</a>"
                     "<a id=\"phone\" href=\"tel:10086\">call</a><a id=\"text\" href=\"sms:10086\">text</a>"
                     "<a id=\"app\" href=\"readingapp://book/7\">app</a>"
                     "<form id=\"form\" action=\"mailto:office@example.com\"></form></body></html>",
                     "text/html");
    OnDevice on;
    auto delegate = std::make_shared<AddressRecorder>();
    delegate->refused = {"sms"};
    on.page.view->setDelegate(delegate);
    on.page.load(server.url("/links"));
    delegate->asked.clear();
    const std::size_t openedBefore = on.device.application().openedURLs().size();

    on.device.tap(cg::Point{100, 50});
    ASSERT_TRUE(on.device.runUntil([&] { return !delegate->asked.empty(); }, 30));
    for (const char* link : {"phone", "text", "app"}) {
        on.page.view->stringByEvaluatingJavaScriptFromString(std::string("document.getElementById('") + link + "').click()");
    }
    on.page.view->stringByEvaluatingJavaScriptFromString("location.href = 'mailto:head@example.com'");
    on.page.view->stringByEvaluatingJavaScriptFromString("document.getElementById('form').submit()");
    ASSERT_TRUE(on.device.runUntil([&] { return delegate->asked.size() == 6; }, 30));
    EXPECT_EQ(delegate->asked, (std::vector<std::string>{"mailto:teacher@example.com?subject=Hi link", "tel:10086 link",
                                                         "sms:10086 link", "readingapp://book/7 link",
                                                         "mailto:head@example.com other", "mailto:office@example.com? form"}));
    // Handed to the application, which opens the schemes some app on the device takes; refused ones stay.
    std::vector<std::string> opened;
    const auto& all = on.device.application().openedURLs();
    for (std::size_t i = openedBefore; i < all.size(); ++i) opened.push_back(all[i].absoluteString());
    EXPECT_EQ(opened, (std::vector<std::string>{"mailto:teacher@example.com?subject=Hi", "tel:10086", "mailto:head@example.com",
                                                "mailto:office@example.com?"}));
    // The page stays as it was.
    EXPECT_FALSE(on.page.view->isLoading());
    EXPECT_EQ(on.page.view->request()->URL()->path(), "/links");
    EXPECT_EQ(on.page.view->stringByEvaluatingJavaScriptFromString("document.getElementById('mail').textContent"), "mail");
}

TEST(WebHostilePages, PagesInTheSandboxLoadFromTheirFiles) {
    const std::string folder = ns::Sandbox::documents() + "/book-" + std::to_string(getpid());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/page.html") << "<html><head><title>本地</title><link rel=\"stylesheet\" href=\"look.css\"></head>"
                                            "<body><img id=\"cover\" src=\"cover.svg\"></body></html>";
    std::ofstream(folder + "/look.css") << "body { background: rgb(4, 5, 6); }";
    std::ofstream(folder + "/cover.svg") << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"30\" height=\"20\"></svg>";
    ASSERT_EQ(mkfifo((folder + "/pipe.html").c_str(), 0600), 0);
    Page page;
    const auto url = ns::URL::fileURLWithPath(folder + "/page.html", false);
    page.load(url.absoluteString());
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should " + folder + "/page.html other", "start", "finish"}));
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "本地");
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("getComputedStyle(document.body).backgroundColor"), "rgb(4, 5, 6)");
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("String(document.getElementById('cover').naturalWidth)"), "30");
    EXPECT_EQ(page.view->documentMIMEType(), "text/html");

    // A folder, a pipe and a file outside the app are refused, each at once.
    const struct {
        std::string path;
        std::int64_t code;
    } refused[] = {{folder, ns::URLErrorFileIsDirectory}, {folder + "/pipe.html", ns::URLErrorNoPermissionsToReadFile},
                   {"/etc/hostname", ns::URLErrorNoPermissionsToReadFile}};
    for (const auto& each : refused) {
        page.delegate->events.clear();
        page.delegate->errors.clear();
        page.load(ns::URL::fileURLWithPath(each.path, false).absoluteString());
        ASSERT_EQ(page.delegate->errors.size(), 1u) << each.path;
        EXPECT_EQ(page.delegate->errors[0].code(), each.code) << each.path;
        EXPECT_EQ(page.delegate->events.back(), "fail " + std::to_string(each.code)) << each.path;
    }
    std::filesystem::remove_all(folder);
}

// Notes what the view tells, as the recorder does, and starts the app's load of /plain.html once the page
// has started its own navigations a few times: at once, from inside the delegate's call, or a moment later.
class Interrupter final : public ui::WebViewDelegate {
public:
    Interrupter(std::string plain, int afterStarts, double delay) : plain_(std::move(plain)), afterStarts_(afterStarts), delay_(delay) {}
    bool webViewShouldStartLoadWithRequest(ui::WebView& view, const ns::URLRequest& request, ui::WebViewNavigationType) override {
        note(view, "should " + request.URL()->path());
        return true;
    }
    void webViewDidStartLoad(ui::WebView& view) override {
        note(view, "start");
        if (++starts_ != afterStarts_) return;
        std::weak_ptr<ui::WebView> weak = std::static_pointer_cast<ui::WebView>(view.shared_from_this());
        const auto loadPlain = [weak, this] {
            if (auto target = weak.lock()) {
                interrupted = true;
                target->loadRequest(ns::URLRequest(ns::URL::fromString(plain_)));
            }
        };
        if (delay_ == 0) {
            loadPlain();
        } else {
            timer_ = ns::Timer::scheduledTimer(delay_, false, [loadPlain](ns::Timer&) { loadPlain(); });
        }
    }
    void webViewDidFinishLoad(ui::WebView& view) override { note(view, "finish"); }
    void webViewDidFailLoadWithError(ui::WebView& view, const ns::Error& error) override {
        note(view, "fail " + std::to_string(error.code()));
    }
    // What was heard once the app's load began, each with the path the view named then.
    std::vector<std::string> sinceInterrupted;
    bool interrupted = false;

private:
    void note(ui::WebView& view, const std::string& event) {
        if (!interrupted) return;
        sinceInterrupted.push_back(event + (event.rfind("should", 0) == 0 ? "" : " @" + view.request()->URL()->path()));
    }
    std::string plain_;
    int afterStarts_;
    double delay_;
    int starts_ = 0;
    std::shared_ptr<ns::Timer> timer_;
};

TEST(WebHostilePages, ALoadTheAppStartsIsAskedOnceAndEndedOnlyByItsOwnEvents) {
    LoopbackServer server;
    server.serveText("/self", "<title>self</title><script>setTimeout(function() { location.href = '/self?' + Math.random(); }, 10);</script>",
                     "text/html");
    server.serveText("/plain.html", "<title>plain</title>", "text/html");
    // From inside the page's own navigation, then at moments spread over the time a navigation takes.
    for (const double delay : {0.0, 0.003, 0.008, 0.015, 0.025, 0.04}) {
        Page page;
        auto interrupter = std::make_shared<Interrupter>(server.url("/plain.html"), 4, delay);
        page.view->setDelegate(interrupter);
        page.start(server.url("/self"));
        ASSERT_TRUE(pumpUntil([&] { return interrupter->interrupted && !page.view->isLoading(); })) << delay;
        auto events = interrupter->sinceInterrupted;
        // The page's load under way, if any, is given up.
        if (events.size() > 1 && events[1].rfind("fail -999", 0) == 0) events.erase(events.begin() + 1);
        EXPECT_EQ(events, (std::vector<std::string>{"should /plain.html", "start @/plain.html", "finish @/plain.html"})) << delay;
        EXPECT_EQ(page.view->request()->URL()->path(), "/plain.html") << delay;
        EXPECT_EQ(page.title(), "plain") << delay;
    }
}

}  // namespace
}  // namespace ql
