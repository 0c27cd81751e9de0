// The engine under messages far larger than usual, which it takes seconds to make and hand over: a page's
// large upload while the app evaluates script in its view, and dialogs whose texts are longer than the
// largest command the app sends. An engine at work is never taken for a hung one, and every page gets its
// answer; an engine that really stops is still found hung and replaced, whether the app waits for its answer
// or for it to take a command larger than the pipe holds.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebView.h"
#include "tests/platform/web/engine/WebViewRecorder.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/StallMeter.h"
#include "tests/support/WindowShell.h"

namespace ql {
namespace {

using test::LoopbackServer;
using test::pumpUntil;
using Page = test::RecordedPage;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kMiB = std::size_t{1} << 20;

std::shared_ptr<ui::WebEngine> runningEngine() {
    ns::Error error = ui::webEngineError(0, "");
    return ui::WebEngine::running(&error);
}

const std::vector<std::string> kPlainLoaded{"should /plain other", "start", "finish"};

// An engine that shows no sign of work is found hung after kPingTimeout, on top of what the app's own bound
// and making its message take: well within this, on a machine as slow as a sanitizer under load makes it,
// and well short of what a busy engine is allowed (kBusyLimit).
constexpr double kFoundHungWithin = ui::WebEngine::kBusyLimit / 2;

// Stops every process of the engine but its watcher, which goes on so that the engine still ends with the
// test however the test ends.
bool stopEngine(std::uint64_t group) {
    return kill(-static_cast<pid_t>(group), SIGSTOP) == 0 && kill(static_cast<pid_t>(group), SIGCONT) == 0;
}

TEST(WebLargeFrames, ALargeUploadWhileTheAppEvaluatesScriptIsNotTakenForAHungEngine) {
    LoopbackServer server;
    server.handle("/upload", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content("got " + std::to_string(request.body.size()), "text/plain");
    });
    server.serveText("/plain", "<title>plain</title>", "text/html");
    // 92 MiB of zeros, as a new array holds: the engine's event for it escapes every byte of its text.
    server.serveText("/uploader",
                     "<title>uploader</title><script>addEventListener('load', function() {"
                     "fetch('/upload', {method: 'POST', body: new Uint8Array(92 * 1048576),"
                     " headers: {'Content-Type': 'application/octet-stream'}})"
                     ".then(function(r) { return r.text().then(function(t) { return r.status + ' ' + t; }); })"
                     ".then(function(t) { document.title = 'done ' + t; }, function(e) { document.title = 'failed ' + e; });"
                     "document.title = 'sending'; });</script>",
                     "text/html");
    Page page;
    Page other;
    other.load(server.url("/plain"));
    page.load(server.url("/plain"));
    const auto engine = runningEngine()->processID();
    // A view whose page is opened while the upload is under way.
    std::unique_ptr<Page> fresh;

    // The app evaluates in the view every 0.2 s, as a browser screen does on its delegate's calls; once the
    // page sends, the other views load.
    std::string title;
    auto evaluations = ns::Timer::scheduledTimer(0.2, true, [&](ns::Timer&) {
        title = page.view->stringByEvaluatingJavaScriptFromString("document.title");
        if (title != "sending" || fresh) return;
        fresh = std::make_unique<Page>();
        for (Page* each : {&other, fresh.get()}) {
            each->delegate->events.clear();
            each->view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/plain"))));
        }
    });
    page.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/uploader"))));
    EXPECT_TRUE(pumpUntil([&] { return title.starts_with("done") || title.starts_with("failed") || !runningEngine() ||
                                       runningEngine()->processID() != engine; },
                          240));
    evaluations->invalidate();
    EXPECT_EQ(title, "done 200 got " + std::to_string(92 * kMiB));
    EXPECT_EQ(runningEngine()->processID(), engine) << "the engine was not restarted";
    ASSERT_TRUE(fresh);
    for (Page* each : {&other, fresh.get()}) {
        EXPECT_TRUE(pumpUntil([&] { return !each->view->isLoading(); }, 60));
        EXPECT_EQ(each->delegate->events, kPlainLoaded);
        EXPECT_EQ(each->title(), "plain");
    }
    EXPECT_EQ(page.title(), title);
}

TEST(WebLargeFrames, AnEngineThatStopsIsStillFoundHungAndReplaced) {
    LoopbackServer server;
    server.serveText("/plain", "<title>plain</title>", "text/html");
    Page page;
    page.load(server.url("/plain"));
    const auto engine = runningEngine();
    const auto group = engine->processID();
    // The engine stops: nothing comes from it and it uses no processor.
    ASSERT_TRUE(stopEngine(group));
    const auto asked = Clock::now();
    EXPECT_EQ(page.title(), "");
    const double waited = std::chrono::duration<double>(Clock::now() - asked).count();
    // The evaluation's bound, then the ping's time without a sign of work.
    EXPECT_LT(waited, kFoundHungWithin);
    EXPECT_FALSE(engine->isAlive());
    EXPECT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }));
    // The next load starts a fresh engine.
    page.load(server.url("/plain"));
    EXPECT_EQ(page.delegate->events, kPlainLoaded);
    EXPECT_EQ(page.title(), "plain");
    EXPECT_NE(runningEngine()->processID(), group);
}

TEST(WebLargeFrames, ACommandLargerThanThePipeHoldsFailsWithinTheBoundWhenTheEngineHasStopped) {
    LoopbackServer server;
    server.serveText("/plain", "<title>plain</title>", "text/html");
    auto gate = server.makeGate();
    server.serveHeld("/held", gate);
    Page page;
    page.load(server.url("/plain"));
    // A load under way on the engine.
    Page loading;
    loading.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/held"))));
    ASSERT_TRUE(pumpUntil([&] { return server.requests("/held").size() == 1; }));
    const auto engine = runningEngine();
    const auto group = engine->processID();
    ASSERT_TRUE(stopEngine(group));
    // As large as the command answering a held request with a body of tens of MiB: many times what the
    // pipe holds, so the engine has to read it for the call to go on.
    std::string problem;
    const auto asked = Clock::now();
    EXPECT_TRUE(engine->call("Target.createTarget", {{"url", ns::Value("data:text/plain," + std::string(32 * kMiB, 'x'))}}, "", &problem)
                    .isNil());
    const double waited = std::chrono::duration<double>(Clock::now() - asked).count();
    EXPECT_EQ(problem, ui::WebEngine::kNoAnswer);
    // The time without a sign of work, and what making the command takes.
    EXPECT_LT(waited, kFoundHungWithin);
    EXPECT_FALSE(engine->isAlive());
    // Every load on the engine ends with an error, and the next one starts a fresh engine.
    EXPECT_TRUE(pumpUntil([&] { return !loading.view->isLoading(); }));
    gate->open();
    EXPECT_EQ(loading.delegate->events, (std::vector<std::string>{"should /held other", "start", "fail 2", "ended"}));
    page.load(server.url("/plain"));
    EXPECT_EQ(page.delegate->events, kPlainLoaded);
    EXPECT_EQ(page.title(), "plain");
    EXPECT_NE(runningEngine()->processID(), group);
}

TEST(WebLargeFrames, AReplyLargerThanThePipeHoldsStallsTheAppNoLongerThanTheBoundWhenTheEngineHasStopped) {
    std::atomic<bool> stopped{false};
    LoopbackServer server;
    server.serveText("/plain", "<title>plain</title>", "text/html");
    Page page;
    page.load(server.url("/plain"));
    const auto group = runningEngine()->processID();
    // The engine stops while the app fetches the document it asked for; the app then answers it from the
    // main thread with the body, many times what the pipe holds.
    server.handle("/large", [&stopped, group](const httplib::Request&, httplib::Response& response) {
        stopped = stopEngine(group);
        response.set_content("<title>large</title>" + std::string(32 * kMiB, 'x'), "text/html");
    });
    page.delegate->events.clear();
    auto stalls = std::make_unique<test::StallMeter>();
    page.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url("/large"))));
    EXPECT_TRUE(pumpUntil([&] { return !page.view->isLoading(); }, 60));
    const double stall = stalls->longest();
    stalls.reset();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should /large other", "start", "fail 2", "ended"}));
    // The time without a sign of work, and what making the answer takes.
    EXPECT_LT(stall, kFoundHungWithin);
    page.load(server.url("/plain"));
    EXPECT_EQ(page.delegate->events, kPlainLoaded);
    EXPECT_EQ(page.title(), "plain");
    EXPECT_NE(runningEngine()->processID(), group);
}

TEST(WebLargeFrames, APromptIsAnsweredWhateverTheLengthOfItsDefaultTextAndItsFieldLaysOutOnlyItsStart) {
    sim::Device device(sim::ScreenProfile::phone320x480(), sim::Device::Time::Real);
    auto shell = std::make_shared<test::WindowShell>();
    device.boot([&] { return shell; });
    Page page;
    shell->window_->rootViewController()->view()->addSubview(page.view);
    LoopbackServer server;
    server.serveText("/plain", "<title>plain</title>", "text/html");
    constexpr std::size_t kCut = 10240;
    // A short text; one whose prompt took the app's main thread for half a minute; one just under and one
    // over the largest command the app sends, which an answer with the whole text would be.
    const std::size_t lengths[] = {1024, 60 * kMiB, ui::WebEngine::kLargestCommand - 64 * 1024, ui::WebEngine::kLargestCommand + 1};
    page.load(server.url("/plain"));
    for (const std::size_t length : lengths) {
        SCOPED_TRACE(length);
        const std::string path = "/prompt-" + std::to_string(length);
        server.serveText(path,
                         "<title>prompt</title><script>var answer = prompt('Name?', 'x'.repeat(" + std::to_string(length) + "));"
                         "document.title = answer === null ? 'cancelled' : 'answered ' + answer.length + ' ' + /^x*$/.test(answer);"
                         "</script>",
                         "text/html");
        page.delegate->events.clear();
        page.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url(path))));
        ASSERT_TRUE(device.runUntil([&] { return !ui::AlertView::visibleAlerts().empty(); }, 120));
        const auto alert = ui::AlertView::visibleAlerts().back();
        EXPECT_EQ(alert->message(), "Name?");
        ASSERT_TRUE(alert->textFieldAtIndex(0));
        // The field holds the start of the text, and lays out only what its line can show of that: showing a
        // 60 MiB text took the main thread 22 s when it laid out all of it. (bench/WebBench measures the stall.)
        const auto field = alert->textFieldAtIndex(0);
        const std::size_t held = std::min(length, kCut);
        EXPECT_EQ(field->text().size(), held);
        EXPECT_EQ(field->text().find_first_not_of('x'), std::string::npos);
        EXPECT_LT(field->laidOutLength(), 1024u);
        device.tap("OK");
        ASSERT_TRUE(device.runUntil([&] { return !page.view->isLoading(); }, 60));
        // OK answers what the field holds.
        EXPECT_EQ(page.title(), "answered " + std::to_string(held) + " true");
        EXPECT_EQ(page.delegate->events, (std::vector<std::string>{"should " + path + " other", "start", "finish"}));
        // The view goes on loading.
        page.load(server.url("/plain"));
        EXPECT_EQ(page.delegate->events, kPlainLoaded);
        EXPECT_EQ(page.title(), "plain");
    }

    // An answer larger than the engine takes (only a text put into the field could make one) goes as
    // cancelled.
    const std::string path = "/prompt-" + std::to_string(lengths[0]);
    page.view->loadRequest(ns::URLRequest(ns::URL::fromString(server.url(path))));
    ASSERT_TRUE(device.runUntil([&] { return !ui::AlertView::visibleAlerts().empty(); }, 120));
    ui::AlertView::visibleAlerts().back()->textFieldAtIndex(0)->setText(std::string(ui::WebEngine::kLargestCommand, 'y'));
    device.tap("OK");
    ASSERT_TRUE(device.runUntil([&] { return !page.view->isLoading(); }, 60));
    EXPECT_EQ(page.title(), "cancelled");
}

}  // namespace
}  // namespace ql
