#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/foundation/Sandbox.h"
#include "platform/net/URLError.h"
#include "platform/net/URLProtocol.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TouchDriver.h"
#include "platform/ui/Window.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebPage.h"
#include "platform/web/WebView.h"
#include "tests/platform/web/engine/WebViewRecorder.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using test::LoopbackServer;
using test::pumpUntil;
using test::WebViewRecorder;

// A loopback port nobody listens on: port 1 is never served here, whereas a port freed by this test could be
// taken meanwhile by a test running beside it.
int closedPort() { return 1; }

struct Page {
    Page() : view(std::make_shared<ui::WebView>(cg::Rect{0, 0, 320, 480})), delegate(std::make_shared<WebViewRecorder>()) {
        view->setDelegate(delegate);
    }
    void load(const std::string& url) {
        view->loadRequest(ns::URLRequest(ns::URL::fromString(url)));
        ASSERT_TRUE(pumpUntil([&] { return !view->isLoading(); }));
    }
    std::shared_ptr<ui::WebView> view;
    std::shared_ptr<WebViewRecorder> delegate;
};

std::size_t indexOf(const std::vector<std::string>& events, const std::string& event) {
    return static_cast<std::size_t>(std::find(events.begin(), events.end(), event) - events.begin());
}

TEST(WebEngine, FrameLoadsReachTheDelegateInThePlatformsOrder) {
    LoopbackServer server;
    const std::string failing = "http://127.0.0.1:" + std::to_string(closedPort()) + "/gone";
    server.serveText("/main",
                     "<html><head><title>Main</title></head><body>"
                     "<iframe src=\"/a\"></iframe><iframe src=\"/r\"></iframe><iframe src=\"/refused\"></iframe>"
                     "<iframe src=\"" + failing + "\"></iframe><img src=\"/late.png\"><a id=\"l\" href=\"#here\">x</a>"
                     "</body></html>",
                     "text/html");
    server.serveText("/a", "<p>a</p>", "text/html");
    server.serveRedirect("/r", 302, "/b");
    server.serveText("/b", "<p>b</p>", "text/html");
    server.serveText("/refused", "<p>never</p>", "text/html");
    auto late = server.makeGate();
    server.serveHeld("/late.png", late);
    Page page;
    page.delegate->refusedPaths = {"/refused"};

    page.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/main"))));
    const auto& events = page.delegate->events;
    // Every subframe has ended while the image still holds the page's load event back.
    ASSERT_TRUE(pumpUntil([&] { return page.delegate->count("finish") == 2 && page.delegate->count("fail -1004") == 1; }));
    EXPECT_TRUE(page.view->isLoading());
    late->open();
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));

    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0], "should /main other");
    EXPECT_EQ(events[1], "start");
    EXPECT_EQ(events.back(), "finish");
    // Each allowed document request starts its frame's load at once; a redirect continues its load and a
    // refused one starts nothing.
    for (const std::string should : {"should /a other sub", "should /r other sub", "should /gone other sub"}) {
        const auto at = indexOf(events, should);
        ASSERT_LT(at + 1, events.size()) << should;
        EXPECT_EQ(events[at + 1], "start") << should;
    }
    const auto redirect = indexOf(events, "should /b other sub");
    ASSERT_LT(redirect, events.size());
    EXPECT_GT(redirect, indexOf(events, "should /r other sub"));
    EXPECT_NE(redirect + 1 < events.size() ? events[redirect + 1] : "", "start");
    const auto refused = indexOf(events, "should /refused other sub");
    ASSERT_LT(refused, events.size());
    EXPECT_NE(events[refused + 1], "start");
    EXPECT_EQ(page.delegate->count("start"), 4u);
    EXPECT_EQ(page.delegate->count("finish"), 3u);
    EXPECT_EQ(page.delegate->count("fail -1004"), 1u);
    EXPECT_EQ(events.size(), 14u);
    EXPECT_TRUE(server.requests("/refused").empty());
    EXPECT_EQ(page.view->request()->URL()->path(), "/main");
    EXPECT_EQ(page.view->documentMIMEType(), "text/html");

    // A jump within the page is asked about and loads nothing.
    page.delegate->events.clear();
    page.view->stringByEvaluatingJavaScriptFromString("document.getElementById('l').click()");
    ASSERT_TRUE(pumpUntil([&] { return !events.empty(); }));
    EXPECT_EQ(events, (std::vector<std::string>{"should /main#here link"}));
    EXPECT_FALSE(page.view->isLoading());
    EXPECT_EQ(page.view->request()->URL()->fragment(), "here");
}

TEST(WebEngine, TheCompletionPathRefusedNeverReachesTheServer) {
    LoopbackServer server;
    server.serveText("/page",
                     "<html><body><script>window.addEventListener('load', function() {"
                     "var f = document.createElement('iframe'); f.style.display = 'none';"
                     "f.src = '/webviewprogressproxy/complete'; document.body.appendChild(f); }, false);"
                     "</script></body></html>",
                     "text/html");
    Page page;
    page.delegate->refusedPaths = {"/webviewprogressproxy/complete"};
    page.load(server.url("/page"));
    // The load event's listener asks for the frame while the page is still finishing its load.
    EXPECT_EQ(page.delegate->events,
              (std::vector<std::string>{"should /page other", "start", "should /webviewprogressproxy/complete other sub", "finish"}));
    EXPECT_FALSE(page.view->isLoading());
    EXPECT_TRUE(server.requests("/webviewprogressproxy/complete").empty());
    EXPECT_EQ(server.requests("/page").size(), 1u);
}

TEST(WebEngine, ScriptsAnswerWithStringsOnly) {
    LoopbackServer server;
    server.serveText("/t", "<html><head><title>Ein Titel 标题</title></head><body>x</body></html>", "text/html; charset=utf-8");
    Page page;
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "");  // no page yet
    page.load(server.url("/t"));
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "Ein Titel 标题");
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.readyState"), "complete");
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("6 * 7"), "");
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("String(6 * 7)"), "42");
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("throw new Error('no')"), "");
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("this is not a script"), "");
    // A script that never ends is stopped within the bound; the page goes on answering.
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("for (;;) {}"), "");
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "Ein Titel 标题");
}

// Reads the page's state whenever a document is asked about or its load starts, as a browser does.
class StateReader final : public ui::WebViewDelegate {
public:
    bool webViewShouldStartLoadWithRequest(ui::WebView& view, const ns::URLRequest&, ui::WebViewNavigationType) override {
        states.push_back(view.stringByEvaluatingJavaScriptFromString("document.readyState"));
        return true;
    }
    void webViewDidStartLoad(ui::WebView& view) override {
        states.push_back(view.stringByEvaluatingJavaScriptFromString("document.readyState"));
    }
    void webViewDidFinishLoad(ui::WebView&) override { ++finished; }
    void webViewDidFailLoadWithError(ui::WebView&, const ns::Error& error) override {
        failures.push_back(error.localizedDescription());
    }
    std::vector<std::string> states;
    int finished = 0;
    std::vector<std::string> failures;
};

TEST(WebEngine, AScriptRunWhileThePageLoadsAnswersAndTheLoadGoesOn) {
    LoopbackServer server;
    server.serveText("/shown", "<title>shown</title>", "text/html");
    auto first = server.makeGate();
    server.serveHeld("/held", first);
    server.serveRedirect("/moved", 302, "/held-too");
    auto second = server.makeGate();
    server.serveHeld("/held-too", second);
    Page page;
    page.load(server.url("/shown"));
    ns::Error error = ui::webEngineError(0, "");
    const auto pid = ui::WebEngine::running(&error)->processID();
    auto reader = std::make_shared<StateReader>();
    page.view->setDelegate(reader);

    // The view's own load: asked before its document has come.
    page.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/held"))));
    ASSERT_TRUE(pumpUntil([&] { return reader->states.size() == 2 && server.requests("/held").size() == 1; }));
    EXPECT_TRUE(page.view->isLoading());
    first->open();
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.body.innerText"), "late");

    // The page's own navigation, redirected: asked while the engine holds each of its document requests.
    page.view->stringByEvaluatingJavaScriptFromString("location.href = '/moved'");
    ASSERT_TRUE(pumpUntil([&] { return server.requests("/held-too").size() == 1; }));
    EXPECT_TRUE(page.view->isLoading());
    second->open();
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    EXPECT_EQ(page.view->request()->URL()->path(), "/held-too");

    // The document on screen answers, or nothing does; the loads went on and the engine lived.
    EXPECT_EQ(reader->states.size(), 5u);
    for (const auto& state : reader->states) EXPECT_TRUE(state == "complete" || state.empty()) << state;
    EXPECT_EQ(reader->failures, std::vector<std::string>{});
    EXPECT_EQ(reader->finished, 2);
    EXPECT_EQ(ui::WebEngine::running(&error)->processID(), pid);
}

TEST(WebEngine, APageCommandLeftUnansweredLeavesAHealthyEngineRunning) {
    LoopbackServer server;
    auto gate = server.makeGate();
    server.serveHeld("/held", gate);
    bool held = false;
    ns::Error error = ui::webEngineError(0, "");
    auto page = ui::WebPage::open({"Fetch.requestPaused"},
                                  [&](std::string_view method, const ns::Value&) { held |= method == "Fetch.requestPaused"; }, &error);
    ASSERT_TRUE(page);
    const auto pid = page->engine().processID();
    // The page's document request is held by the engine and never served: the page answers nothing of its
    // document meanwhile. A script, which could only wait, is refused at once.
    page->send("Page.navigate", {{"url", ns::Value(server.url("/held"))}});
    ASSERT_TRUE(pumpUntil([&] { return held; }));
    std::string problem;
    EXPECT_TRUE(page->call("DOM.getDocument", {}, &problem, 1).isNil());
    EXPECT_EQ(problem, ui::WebEngine::kNoAnswer);
    EXPECT_TRUE(page->call("Runtime.evaluate", {{"expression", ns::Value("document.readyState")}}, &problem, 30).isNil());
    EXPECT_EQ(problem, ui::WebEngine::kScriptsHeld);
    EXPECT_TRUE(page->isAlive());
    EXPECT_EQ(ui::WebEngine::running(&error)->processID(), pid);
    EXPECT_FALSE(page->engine().call("Target.getTargets", {}, "").isNil());
}

TEST(WebEngine, BackAndForwardMoveThroughThePagesShown) {
    LoopbackServer server;
    server.serveText("/one", "<title>one</title>", "text/html");
    server.serveText("/two", "<title>two</title>", "text/html");
    Page page;
    EXPECT_FALSE(page.view->canGoBack());
    page.load(server.url("/one"));
    EXPECT_FALSE(page.view->canGoBack());
    EXPECT_FALSE(page.view->canGoForward());
    page.load(server.url("/two"));
    EXPECT_TRUE(page.view->canGoBack());
    EXPECT_FALSE(page.view->canGoForward());

    page.delegate->events.clear();
    page.view->goBack();
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /one backforward", "start", "finish"}));
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "one");
    EXPECT_EQ(page.view->request()->URL()->path(), "/one");
    EXPECT_FALSE(page.view->canGoBack());
    EXPECT_TRUE(page.view->canGoForward());

    page.delegate->events.clear();
    page.view->goForward();
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /two backforward", "start", "finish"}));
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "two");
    EXPECT_EQ(server.requests("/one").size(), 2u);

    page.delegate->events.clear();
    page.view->reload();
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /two reload", "start", "finish"}));
    EXPECT_EQ(server.requests("/two").size(), 3u);
}

// Answers the page's requests below /answered/ itself and remembers them.
class AnsweringProtocol final : public ns::URLProtocol {
public:
    using URLProtocol::URLProtocol;
    static inline std::mutex mutex;
    static inline std::vector<std::string> seen;

    static bool canInitWithRequest(const ns::URLRequest& request) {
        return request.URL() && request.URL()->path().rfind("/answered/", 0) == 0;
    }
    static ns::URLRequest canonicalRequestForRequest(const ns::URLRequest& request) { return request; }
    void startLoading() override {
        {
            std::lock_guard lock(mutex);
            seen.push_back(request().URL()->path());
        }
        const std::string body = "document.title = 'from the protocol';";
        client()->URLProtocolDidReceiveResponse(
            *this, std::make_shared<ns::URLResponse>(request().URL(), "text/javascript", body.size(), "utf-8"),
            ns::URLCacheStoragePolicy::NotAllowed);
        client()->URLProtocolDidLoadData(*this, ns::Data(body));
        client()->URLProtocolDidFinishLoading(*this);
    }
    void stopLoading() override {}
};

TEST(WebEngine, ARegisteredURLProtocolSeesThePagesRequests) {
    LoopbackServer server;
    server.serveText("/page", "<html><head><script src=\"/answered/script.js\"></script></head><body></body></html>",
                     "text/html");
    {
        std::lock_guard lock(AnsweringProtocol::mutex);
        AnsweringProtocol::seen.clear();  // the test may run more than once in a process
    }
    ASSERT_TRUE(ns::URLProtocol::registerClass<AnsweringProtocol>());
    Page page;
    page.load(server.url("/page"));
    ns::URLProtocol::unregisterClass<AnsweringProtocol>();
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "from the protocol");
    std::lock_guard lock(AnsweringProtocol::mutex);
    EXPECT_EQ(AnsweringProtocol::seen, (std::vector<std::string>{"/answered/script.js"}));
    EXPECT_TRUE(server.requests("/answered/script.js").empty());
}

TEST(WebEngine, GivenDocumentsAreServedAsTheirBaseAddressesReply) {
    LoopbackServer server;
    server.serveText("/base/style.css", "body { background: rgb(1, 2, 3); }", "text/css");
    Page page;
    page.view->loadHTMLString("<html><head><link rel=\"stylesheet\" href=\"style.css\"><title>given</title></head></html>",
                              ns::URL::fromString(server.url("/base/")));
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /base other", "start", "finish"}));
    EXPECT_TRUE(server.requests("/base/").empty());
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("getComputedStyle(document.body).backgroundColor"),
              "rgb(1, 2, 3)");
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("location.href"), server.url("/base/"));

    page.delegate->events.clear();
    // Handed over as a data address, which must keep the text encoding.
    page.view->loadHTMLString("<title>no base 标题</title>", std::nullopt);
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should blank other", "start", "finish"}));
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "no base 标题");
    EXPECT_EQ(page.view->documentData(), ns::Data("<title>no base 标题</title>"));
}

TEST(WebEngine, PagesCannotReadFilesOutsideTheSandbox) {
    const std::string folder = ns::temporaryDirectory() + "pages-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    std::filesystem::remove(folder + "/outside");
    std::filesystem::create_directory_symlink("/etc", folder + "/outside");
    Page page;
    for (const std::string& outside :
         {std::string("/etc/hostname"), folder + "/outside/hostname", folder + "/../../../../../../etc/hostname"}) {
        page.delegate->events.clear();
        page.load("file://" + outside);
        ASSERT_EQ(page.delegate->events.size(), 3u) << outside;
        EXPECT_EQ(page.delegate->events[2], "fail -1102") << outside;
    }
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.body.innerText"), "");
    std::filesystem::remove_all(folder);
}

TEST(WebEngine, ViewsShareOneEngineAndAViewGoneMidLoadLeavesTheOthersAlone) {
    LoopbackServer server;
    auto gate = server.makeGate();
    server.serveHeld("/held", gate);
    server.serveText("/one", "<title>one</title>", "text/html");
    server.serveText("/two", "<title>two</title>", "text/html");
    Page first;
    Page second;
    auto leaving = std::make_unique<Page>();
    leaving->view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/held"))));
    first.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/one"))));
    second.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/two"))));
    ASSERT_TRUE(pumpUntil([&] { return server.requests("/held").size() == 1; }));
    auto delegate = leaving->delegate;
    leaving.reset();
    gate->open();
    ASSERT_TRUE(pumpUntil([&] { return !first.view->isLoading() && !second.view->isLoading(); }));
    EXPECT_EQ(first.view->stringByEvaluatingJavaScriptFromString("document.title"), "one");
    EXPECT_EQ(second.view->stringByEvaluatingJavaScriptFromString("document.title"), "two");
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"should /held other", "start"}));

    ns::Error error = ui::webEngineError(0, "");
    const auto engine = ui::WebEngine::running(&error);
    ASSERT_TRUE(engine);
    const auto pid = engine->processID();
    Page third;
    third.load(server.url("/one"));
    EXPECT_EQ(ui::WebEngine::running(&error)->processID(), pid);
    EXPECT_GT(engine->residentMemory(), 0u);
}

TEST(WebEngine, AnEngineKilledMidLoadEndsTheLoadWithOneErrorAndTheNextLoadWorks) {
    LoopbackServer server;
    auto gate = server.makeGate();
    server.serveHeld("/held", gate);
    server.serveText("/after", "<title>after</title>", "text/html");
    Page page;
    page.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/held"))));
    ASSERT_TRUE(pumpUntil([&] { return server.requests("/held").size() == 1; }));
    ns::Error error = ui::webEngineError(0, "");
    auto engine = ui::WebEngine::running(&error);
    ASSERT_TRUE(engine);
    engine->terminate();
    ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    gate->open();
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /held other", "start", "fail 2", "ended"}));
    ASSERT_EQ(page.delegate->errors.size(), 1u);
    EXPECT_EQ(page.delegate->errors[0].domain(), ui::WebEngineErrorDomain);
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "");

    page.delegate->events.clear();
    page.load(server.url("/after"));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /after other", "start", "finish"}));
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "after");

    // Ended while nothing loads, it fails nothing: the view only tells of the end of its page.
    page.delegate->events.clear();
    ui::WebEngine::running(&error)->terminate();
    ASSERT_TRUE(pumpUntil([&] { return !page.delegate->events.empty(); }));
    EXPECT_EQ(page.delegate->events, std::vector<std::string>{"ended"});
    EXPECT_FALSE(page.view->canGoBack());
}

TEST(WebEngine, APageThatNeverFinishesEndsWithTheTimeOut) {
    LoopbackServer server;
    auto gate = server.makeGate();
    server.serveText("/endless", "<html><body><img src=\"/never.png\"></body></html>", "text/html");
    server.serveHeld("/never.png", gate);
    Page page;
    ns::URLRequest request(ns::URL::fromString(server.url("/endless")), ns::URLRequestCachePolicy::UseProtocolCachePolicy, 5);
    {
        ns::ManualClockScope clock;
        page.view->loadRequest(request);
        ASSERT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }, 60));
    }
    gate->open();
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /endless other", "start", "fail -1001"}));
}

}  // namespace
}  // namespace ql

namespace ql {
namespace {

// The page surface inside the web view's scroll view.
std::shared_ptr<ui::ImageView> pageSurface(ui::WebView& view) {
    for (const auto& child : view.scrollView()->subviews()) {
        if (auto surface = std::dynamic_pointer_cast<ui::ImageView>(child)) return surface;
    }
    return nullptr;
}

TEST(WebEngine, ThePageIsDrawnAtTheScreenScaleAndTakesTapsTypingAndScrolls) {
    ui::Screen::mainScreen().setBounds({0, 0, 320, 480});
    ui::Screen::mainScreen().setScale(2);
    auto window = std::make_shared<ui::Window>(cg::Rect{0, 0, 320, 480});
    window->makeKeyAndVisible();
    LoopbackServer server;
    server.serveText("/page",
                     "<html><body style=\"margin:0\">"
                     "<div style=\"height:200px;background:rgb(255,0,0)\"><input id=\"field\"></div>"
                     "<a href=\"/tapped\" style=\"display:block;height:2800px;background:rgb(0,0,255)\">go</a>"
                     "</body></html>",
                     "text/html");
    server.serveText("/tapped", "<title>tapped</title>", "text/html");
    Page page;
    window->addSubview(page.view);
    page.load(server.url("/page"));
    auto surface = pageSurface(*page.view);
    ASSERT_TRUE(surface);
    // The rendering follows the load.
    ASSERT_TRUE(pumpUntil([&] {
        return surface->image() && surface->image()->CGImage()->pixel(600, 20) == cg::Image::Pixel{255, 0, 0, 255};
    }));
    const auto bitmap = surface->image()->CGImage();
    EXPECT_EQ(bitmap->width(), 640);
    EXPECT_EQ(bitmap->height(), 960);
    EXPECT_EQ(bitmap->pixel(600, 20), (cg::Image::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(bitmap->pixel(600, 900), (cg::Image::Pixel{0, 0, 255, 255}));
    // Drawn at twice the size: the 200-point band ends at 400 pixels.
    EXPECT_EQ(bitmap->pixel(20, 398), (cg::Image::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(bitmap->pixel(20, 402), (cg::Image::Pixel{0, 0, 255, 255}));
    ASSERT_TRUE(pumpUntil([&] { return page.view->scrollView()->contentSize().height == 3000; }));

    // A tap into the field gives the view the keyboard; typing reaches the field.
    ui::TouchDriver fingers;
    ASSERT_TRUE(fingers.tap(cg::Point{20, 10}));
    ASSERT_TRUE(pumpUntil([&] { return page.view->isFirstResponder(); }));
    page.view->insertText("hey");
    page.view->deleteBackward();
    // Input travels apart from scripts: it arrives in order, but not necessarily before the next script.
    EXPECT_TRUE(pumpUntil([&] {
        return page.view->stringByEvaluatingJavaScriptFromString("document.getElementById('field').value") == "he";
    }));

    // Moving the scroll view scrolls the page.
    page.view->scrollView()->setContentOffset(cg::Point{0, 1000});
    ASSERT_TRUE(pumpUntil([&] { return page.view->stringByEvaluatingJavaScriptFromString("String(scrollY)") == "1000"; }));

    // Giving the keyboard back leaves the field.
    window->endEditing(true);
    EXPECT_FALSE(page.view->isFirstResponder());
    EXPECT_TRUE(pumpUntil([&] { return page.view->stringByEvaluatingJavaScriptFromString("document.activeElement.id") != "field"; }));

    // A tap on the link follows it.
    page.delegate->events.clear();
    ASSERT_TRUE(fingers.tap(cg::Point{160, 400}));
    ASSERT_TRUE(pumpUntil([&] { return page.delegate->count("finish") == 1; }));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /tapped link", "start", "finish"}));
    EXPECT_EQ(page.view->stringByEvaluatingJavaScriptFromString("document.title"), "tapped");
    page.view->removeFromSuperview();
    window->setHidden(true);
}

// The window as it would show, one pixel per point.
std::shared_ptr<const cg::Image> shown(ui::Window& window) {
    auto context = cg::BitmapContext::createForImage(window.bounds().size, false, 1);
    window.layer()->renderInContext(*context);
    return context->makeImage();
}

TEST(WebEngine, ThePageShowsBetweenTheScrollViewsInsets) {
    ui::Screen::mainScreen().setBounds({0, 0, 320, 480});
    ui::Screen::mainScreen().setScale(2);
    auto window = std::make_shared<ui::Window>(cg::Rect{0, 0, 320, 480});
    window->setBackgroundColor(ui::Color::whiteColor());
    window->makeKeyAndVisible();
    LoopbackServer server;
    server.serveText("/page",
                     "<html><body style=\"margin:0\">"
                     "<div style=\"height:30px;background:rgb(255,0,0)\"></div>"
                     "<div style=\"height:2000px;background:rgb(0,255,0)\"></div>"
                     "<div style=\"height:30px;background:rgb(0,0,255)\"></div></body></html>",
                     "text/html");
    Page page;
    window->addSubview(page.view);
    // Bars of 44 points over the top and the bottom of the view, as a browser's.
    page.view->scrollView()->setContentInset(cg::EdgeInsets{44, 0, 44, 0});
    page.load(server.url("/page"));
    const auto pixel = [&](double y) { return shown(*window)->pixel(160, static_cast<int>(y)); };
    constexpr cg::Image::Pixel red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255}, white{255, 255, 255, 255};

    // At rest the page's top shows right below the top bar.
    ASSERT_TRUE(pumpUntil([&] { return page.view->scrollView()->contentSize().height == 2060 && pixel(50) == red; }));
    EXPECT_EQ(page.view->scrollView()->contentOffset(), (cg::Point{0, -44}));
    EXPECT_EQ(pixel(40), white);
    EXPECT_EQ(pixel(72), red);
    EXPECT_EQ(pixel(76), green);

    // Scrolled to its end, the page's bottom shows right above the bottom bar.
    page.view->scrollView()->setContentOffset(page.view->scrollView()->maximumContentOffset());
    ASSERT_TRUE(pumpUntil([&] { return page.view->stringByEvaluatingJavaScriptFromString("String(scrollY)") == "1580"; }));
    ASSERT_TRUE(pumpUntil([&] { return pixel(430) == blue; }));
    EXPECT_EQ(page.view->scrollView()->contentOffset(), (cg::Point{0, 1624}));
    EXPECT_EQ(pixel(404), green);
    EXPECT_EQ(pixel(440), white);

    // Scrolled within the content, the page follows point for point.
    page.view->scrollView()->setContentOffset(cg::Point{0, 10});
    ASSERT_TRUE(pumpUntil([&] { return page.view->stringByEvaluatingJavaScriptFromString("String(scrollY)") == "10"; }));
    ASSERT_TRUE(pumpUntil([&] { return pixel(2) == red && pixel(30) == green; }));
    EXPECT_EQ(pixel(18), red);
    page.view->removeFromSuperview();
    window->setHidden(true);
}

}  // namespace
}  // namespace ql
