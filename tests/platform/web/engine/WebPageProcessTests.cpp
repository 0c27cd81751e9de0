// A page whose own process ends (killed, as the system kills one that runs out of memory) while it loads.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebPage.h"
#include "platform/web/WebView.h"
#include "tests/platform/web/engine/EngineRenderers.h"
#include "tests/platform/web/engine/WebViewRecorder.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using namespace std::chrono_literals;
using test::LoopbackServer;
using test::pumpUntil;
using test::newRenderer;
using test::RecordedPage;
using test::renderers;
using test::runningEngine;

// Records what the view tells; when a load fails, evaluates a script at once, as an app does on its
// delegate's calls, and starts the next load there when given one.
class FailureWatcher final : public ui::WebViewDelegate {
public:
    void webViewDidStartLoad(ui::WebView&) override { events.push_back("start"); }
    void webViewDidFinishLoad(ui::WebView&) override { events.push_back("finish"); }
    void webViewDidFailLoadWithError(ui::WebView& view, const ns::Error& error) override {
        events.push_back("fail " + error.domain() + " " + std::to_string(error.code()));
        const auto asked = std::chrono::steady_clock::now();
        evaluated.push_back(view.stringByEvaluatingJavaScriptFromString("document.title"));
        evaluationTime = std::chrono::steady_clock::now() - asked;
        if (!next.empty()) view.loadRequest(ns::URLRequest(ns::URL::fromString(std::exchange(next, ""))));
    }
    void webViewPageProcessDidEnd(ui::WebView&) override { events.push_back("ended"); }

    std::vector<std::string> events;
    std::vector<std::string> evaluated;
    std::chrono::steady_clock::duration evaluationTime{};
    std::string next;
};

// Loads `path` in a fresh view beside another view showing a page, and kills the new page's renderer once
// `reached` holds. The load fails once with the page's-process error (never a finish), evaluating on that
// view answers "" at once, the view loads the next page, and the other view still shows its own.
void killRendererWhileLoading(LoopbackServer& server, const std::string& path, const std::function<bool()>& reached,
                              bool nextFromTheFailure) {
    server.serveText("/other", "<title>other</title>", "text/html");
    server.serveText("/next", "<title>next</title>", "text/html");
    RecordedPage other;
    other.load(server.url("/other"));
    ASSERT_EQ(other.delegate->events, (std::vector<std::string>{"should /other other", "start", "finish"}));
    auto running = runningEngine();
    ASSERT_TRUE(running);
    const auto before = renderers(*running);

    auto watcher = std::make_shared<FailureWatcher>();
    auto view = std::make_shared<ui::WebView>(cg::Rect{0, 0, 320, 480});
    view->setDelegate(watcher);
    view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url(path))));
    ASSERT_TRUE(pumpUntil(reached));
    const pid_t renderer = newRenderer(*running, before);
    ASSERT_GT(renderer, 0);
    if (nextFromTheFailure) watcher->next = server.url("/next");
    ASSERT_EQ(kill(renderer, SIGKILL), 0);
    ASSERT_TRUE(pumpUntil([&] { return watcher->events.size() >= 2; }));
    const std::string failure = "fail " + std::string(ui::WebEngineErrorDomain) + " " + std::to_string(ui::WebEngineErrorPageEnded);
    EXPECT_EQ(watcher->events[1], failure);
    EXPECT_EQ(watcher->evaluated, std::vector<std::string>{""});
    EXPECT_LT(watcher->evaluationTime, 500ms);

    if (!nextFromTheFailure) view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/next"))));
    ASSERT_TRUE(pumpUntil([&] { return watcher->events.size() >= 4 && watcher->events.back() != "start"; }, 60));
    // Told of the page's end once left idle by it, not when the failure's own call started the next load.
    const auto told = nextFromTheFailure ? std::vector<std::string>{"start", failure, "start", "finish"}
                                         : std::vector<std::string>{"start", failure, "ended", "start", "finish"};
    EXPECT_EQ(watcher->events, told);
    EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("document.title"), "next");
    EXPECT_EQ(other.title(), "other");
    EXPECT_EQ(running->processID(), runningEngine()->processID());
}

TEST(WebPageProcess, ARendererKilledWhileAnImageStillLoadsFailsTheLoadOnce) {
    LoopbackServer server;
    server.serveText("/page", "<title>page</title><p>A page with a slow picture.</p><img src=\"/slow.png\">", "text/html");
    auto gate = server.makeGate();
    server.serveInTwoParts("/slow.png", std::string("\x89PNG\r\n\x1a\n", 8), std::string(4096, 'x'), gate);
    killRendererWhileLoading(server, "/page", [&] { return server.requests("/slow.png").size() == 1; }, false);
    gate->open();
}

TEST(WebPageProcess, ARendererKilledBeforeTheDocumentCameFailsTheLoadOnce) {
    LoopbackServer server;
    auto gate = server.makeGate();
    server.serveHeld("/held", gate);
    // The next load starts from the failure's own call: it goes to a fresh page, not the ended one.
    auto reached = [&] { return server.requests("/held").size() == 1; };
    killRendererWhileLoading(server, "/held", reached, true);
    gate->open();
}

// A page whose process ended is asked nothing more: evaluations made before its view hears of the end (no
// run-loop pass between) answer "" at once, one after another, while another view of the engine answers as
// before. Once the main queue runs, the view tells its delegate of the end (no load was under way to fail)
// and loads the page afresh.
TEST(WebPageProcess, EveryEvaluationOnAPageWhoseProcessEndedAnswersAtOnce) {
    LoopbackServer server;
    server.serveText("/other", "<title>other</title>", "text/html");
    server.serveText("/page", "<title>page</title>", "text/html");
    RecordedPage other;
    other.load(server.url("/other"));
    auto running = runningEngine();
    ASSERT_TRUE(running);
    const auto before = renderers(*running);
    RecordedPage page;
    page.load(server.url("/page"));
    ASSERT_EQ(page.title(), "page");
    const pid_t renderer = newRenderer(*running, before);
    ASSERT_GT(renderer, 0);
    page.delegate->events.clear();
    ASSERT_TRUE(test::killAndAwaitEnd(renderer));
    // The first waits for the engine's word of the end at most; the others come after it.
    for (int call = 0; call < 3; ++call) {
        const auto asked = std::chrono::steady_clock::now();
        EXPECT_EQ(page.title(), "") << call;
        EXPECT_LT(std::chrono::steady_clock::now() - asked, 500ms) << call;
    }
    EXPECT_EQ(other.title(), "other");
    EXPECT_TRUE(page.delegate->events.empty());

    ASSERT_TRUE(pumpUntil([&] { return !page.delegate->events.empty(); }));
    EXPECT_EQ(page.delegate->events, std::vector<std::string>{"ended"});
    EXPECT_FALSE(page.view->canGoBack());
    page.load(server.url("/page"));
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /page other", "start", "finish"}));
    EXPECT_EQ(page.title(), "page");
    EXPECT_EQ(other.title(), "other");
}

// Processor time a process has used so far, in clock ticks; -1 once it is gone.
long processorTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) return -1;
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long user = 0;
    long system = 0;
    // Fields 3 to 13 come before the user and system times.
    for (int i = 3; i <= 13; ++i) fields >> field;
    fields >> user >> system;
    return user + system;
}

TEST(WebPageProcess, ACallWaitingOnAPageWhoseProcessEndsEndsThen) {
    auto running = runningEngine();
    ASSERT_TRUE(running);
    const auto before = renderers(*running);
    ns::Error error = ui::webEngineError(0, "");
    bool ended = false;
    auto page = ui::WebPage::open({ui::WebEngine::kPageEndedEvent},
                                  [&](std::string_view method, const ns::Value&) { ended |= method == ui::WebEngine::kPageEndedEvent; },
                                  &error);
    ASSERT_TRUE(page);
    const pid_t renderer = newRenderer(*running, before);
    ASSERT_GT(renderer, 0);
    // Killed once the script (which never ends) has kept its renderer busy for a while: the engine then
    // answers the call never.
    std::thread killer([renderer] {
        const long start = processorTicks(renderer);
        const auto bound = std::chrono::steady_clock::now() + 20s;
        while (processorTicks(renderer) < start + 20 && std::chrono::steady_clock::now() < bound) std::this_thread::sleep_for(10ms);
        kill(renderer, SIGKILL);
    });
    std::string problem;
    EXPECT_TRUE(page->call("Runtime.evaluate", {{"expression", ns::Value("for (;;) {}")}}, &problem, 30).isNil());
    killer.join();
    EXPECT_EQ(problem, ui::WebEngine::kPageEnded);
    ASSERT_TRUE(pumpUntil([&] { return ended; }));
    // The engine lives on for every other page.
    EXPECT_FALSE(running->call("Target.getTargets", {}, "").isNil());
}

}  // namespace
}  // namespace ql
