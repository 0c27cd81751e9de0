// The web view on the engine, over loopback: the first load of a 100 KB page with the engine started
// cold for it (process start, page target, load, drawing asked for), and a warm load of the same page on a
// running engine. Both report the engine's resident memory (its process and helpers) after the load.
//
// A warm load of the 100 KB page and a 20 MB page, each loaded by the web view (every request served
// through the platform's URL loading) and by the engine alone (a page target of the same engine that loads
// from the server itself, shown at the same size), each from asking until the load has ended and the page
// answers a script; the web view's cases report their time over the engine's alone (vs_engine_alone).
//
// A page's prompt with a default text of 1 KB, of 60 MiB and of 20 million "é": the main thread's longest
// stall (the longest time between two turns of its run loop, as a timer due every millisecond sees it) from
// asking for the page (once the view is at rest) until the page has the answer, the prompt shown as an alert
// and answered with OK in between, and the most processor time the main thread itself spent between two turns (its own work: while
// the engine makes a large prompt for seconds, a loaded machine also keeps the idle main thread waiting for
// a processor now and then); the large ones report both over the 1 KB one's (stall_vs_1KB, work_vs_1KB).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "bench/BenchmarkMain.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Screen.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebEngineFields.h"
#include "platform/web/WebView.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/StallMeter.h"

using namespace ql;
using ql::test::ScriptedServer;

namespace {

constexpr std::size_t kPageSize = 100 * 1024;
constexpr std::size_t kLargePageSize = 20 * 1024 * 1024;

std::string page(std::size_t size) {
    std::string html = "<html><head><title>bench</title></head><body>";
    html.reserve(size + 64);
    for (int i = 0; html.size() < size - 32; ++i) {
        html += "<p>Paragraph " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog again.</p>";
    }
    return html + "</body></html>";
}

std::string reply(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// Each reply written whole as soon as its request has come: an HTTP server of the test library, which writes
// a large body in small pieces, holds the engine's own loads back (its reads stall on each piece) although
// the platform's URL loading reads the same body at once, which would flatter the web view.
// A page asking for a name with the default text the script makes, telling the answer's length in its title.
std::string promptPage(const std::string& text) {
    return "<title>prompt</title><script>var answer = prompt('Name?', " + text + ");"
           "document.title = 'answered ' + (answer === null ? -1 : answer.length);</script>";
}

const std::string kPromptTexts[] = {"'x'.repeat(1024)", "'x'.repeat(60 * 1048576)", "'\\u00e9'.repeat(20000000)"};

ScriptedServer& server() {
    static ScriptedServer* s = [] {
        static const std::string small = reply(page(kPageSize));
        static const std::string large = reply(page(kLargePageSize));
        static const std::string prompts[] = {reply(promptPage(kPromptTexts[0])), reply(promptPage(kPromptTexts[1])),
                                              reply(promptPage(kPromptTexts[2]))};
        return new ScriptedServer([](const std::string& head) -> std::string {
            if (head.rfind("GET /prompt", 0) == 0) return prompts[std::clamp(head[11] - '0', 0, 2)];
            return head.rfind("GET /large ", 0) == 0 ? large : small;
        });
    }();
    return *s;
}

std::shared_ptr<ui::WebEngine> runningEngine() {
    ns::Error error = ui::webEngineError(0, "");
    return ui::WebEngine::running(&error);
}

void stopEngine() {
    auto engine = runningEngine();
    if (!engine) return;
    engine->terminate();
    while (engine->isAlive()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Loaded means shown and answering: a large page may keep the engine busy past its load's end, and the
// view's evaluations are bounded, so the title is asked for again until it comes.
bool load(ui::WebView& view, const std::string& path) {
    view.loadRequest(ns::URLRequest(ns::URL::fromString(server().url(path))));
    if (!ns::RunLoop::main()->runUntil([&] { return !view.isLoading(); }, 300)) return false;
    for (int asked = 0; asked < 60; ++asked) {
        if (view.stringByEvaluatingJavaScriptFromString("document.title") == "bench") return true;
    }
    return false;
}

void reportMemory(benchmark::State& state) {
    auto engine = runningEngine();
    state.counters["engine_MB"] = engine ? static_cast<double>(engine->residentMemory()) / (1024 * 1024) : 0;
}

void BM_ColdFirstLoad(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        stopEngine();
        auto view = std::make_shared<ui::WebView>(cg::Rect{0, 0, 375, 667});
        state.ResumeTiming();
        if (!load(*view, "/page")) state.SkipWithError("the load failed");
        state.PauseTiming();
        reportMemory(state);
        view.reset();
        state.ResumeTiming();
    }
}

// Seconds per load by the engine alone, of the 100 KB page warm and of the large page, for the web view's
// cases to compare with.
double& engineAloneSeconds(bool large) {
    static double seconds[2] = {0, 0};
    return seconds[large ? 1 : 0];
}

// A page target of the running engine, driven directly: no request interception, no web view.
class BarePage {
public:
    explicit BarePage(ui::WebEngine& engine) : engine_(engine) {
        target_ = ui::textField(ui::fieldsOf(engine.call("Target.createTarget", {{"url", ns::Value("about:blank")}}, "")), "targetId");
        session_ = ui::textField(
            ui::fieldsOf(engine.call("Target.attachToTarget", {{"targetId", ns::Value(target_)}, {"flatten", ns::Value(true)}}, "")),
            "sessionId");
        engine.setSessionHandler(session_, target_, {"Page.frameNavigated", "Page.frameStoppedLoading"}, [this](std::string_view method, const ns::Value& params) {
            // The load's end is the stop after the new document came (an earlier document's stop may still be on
            // its way).
            const auto& fields = ui::fieldsOf(params);
            if (method == "Page.frameNavigated" && ui::textField(ui::fieldsOf(fields["frame"]), "url") == loading_) arrived_ = true;
            if (method == "Page.frameStoppedLoading" && ui::textField(fields, "frameId") == target_ && arrived_) stopped_ = true;
        });
        engine.call("Page.enable", {}, session_);
        // As the web view shows its page.
        engine.call("Emulation.setDeviceMetricsOverride", {{"width", ns::Value(375)}, {"height", ns::Value(667)},
                                                            {"deviceScaleFactor", ns::Value(ui::Screen::mainScreen().scale())},
                                                            {"mobile", ns::Value(false)}},
                    session_);
        engine.call("Emulation.setTouchEmulationEnabled", {{"enabled", ns::Value(true)}, {"maxTouchPoints", ns::Value(1)}}, session_);
    }
    ~BarePage() {
        engine_.removeSession(session_);
        engine_.send("Target.closeTarget", {{"targetId", ns::Value(target_)}}, "");
    }
    bool load(const std::string& path) {
        stopped_ = false;
        arrived_ = false;
        loading_ = server().url(path);
        engine_.send("Page.navigate", {{"url", ns::Value(loading_)}}, session_);
        if (!ns::RunLoop::main()->runUntil([&] { return stopped_; }, 300)) return false;
        return ui::textField(ui::fieldsOf(ui::fieldsOf(engine_.call("Runtime.evaluate", {{"expression", ns::Value("document.title")},
                                                                                          {"returnByValue", ns::Value(true)}},
                                                                        session_, nullptr, 120))["result"]),
                             "value") == "bench";
    }

private:
    ui::WebEngine& engine_;
    std::string target_;
    std::string session_;
    std::string loading_;
    bool arrived_ = false;
    bool stopped_ = false;
};

// A bare page of the running engine with its first load done; none when there is no engine. Either failure
// skips the benchmark.
std::unique_ptr<BarePage> loadedBarePage(benchmark::State& state) {
    auto engine = runningEngine();
    if (!engine) {
        state.SkipWithError("no engine");
        return nullptr;
    }
    auto bare = std::make_unique<BarePage>(*engine);
    if (!bare->load("/page")) state.SkipWithError("the first load failed");
    return bare;
}

void BM_WarmLoad_EngineAlone(benchmark::State& state) {
    const auto bare = loadedBarePage(state);
    if (!bare) return;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!bare->load("/page")) {
            state.SkipWithError("the load failed");
            break;
        }
    }
    engineAloneSeconds(false) = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                                static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPageSize));
}

void BM_WarmLoad(benchmark::State& state) {
    auto view = std::make_shared<ui::WebView>(cg::Rect{0, 0, 375, 667});
    if (!load(*view, "/page")) state.SkipWithError("the first load failed");
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!load(*view, "/page")) state.SkipWithError("the load failed");
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                           static_cast<double>(state.iterations());
    if (engineAloneSeconds(false) > 0) state.counters["vs_engine_alone"] = seconds / engineAloneSeconds(false);
    reportMemory(state);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPageSize));
}

void BM_LargePage_EngineAlone(benchmark::State& state) {
    const auto bare = loadedBarePage(state);
    if (!bare) return;
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!bare->load("/large")) {
            state.SkipWithError("the load failed");
            break;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        bare->load("/page");  // the next load starts from the same small page as the web view's
        state.ResumeTiming();
    }
    engineAloneSeconds(true) = total / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kLargePageSize));
}

void BM_LargePage_WebView(benchmark::State& state) {
    auto view = std::make_shared<ui::WebView>(cg::Rect{0, 0, 375, 667});
    if (!load(*view, "/page")) state.SkipWithError("the first load failed");
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!load(*view, "/large")) {
            state.SkipWithError("the load failed");
            break;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        load(*view, "/page");
        state.ResumeTiming();
    }
    const double seconds = total / static_cast<double>(state.iterations());
    if (engineAloneSeconds(true) > 0) state.counters["vs_engine_alone"] = seconds / engineAloneSeconds(true);
    reportMemory(state);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kLargePageSize));
}

// The 1 KB prompt's longest stall and longest work, for the large ones to compare with.
double& shortPrompt(bool work) {
    static double seconds[2] = {0, 0};
    return seconds[work ? 1 : 0];
}

void BM_PromptStall(benchmark::State& state) {
    const auto kind = state.range(0);
    auto view = std::make_shared<ui::WebView>(cg::Rect{0, 0, 375, 667});
    // The page is opened on the engine first, and its first prompt shown once, so that neither is measured.
    const std::string path = "/prompt" + std::to_string(kind);
    const auto answer = [&] {
        view->loadRequest(ns::URLRequest(ns::URL::fromString(server().url(path))));
        if (!ns::RunLoop::main()->runUntil([] { return !ui::AlertView::visibleAlerts().empty(); }, 300)) return false;
        // As a tap on OK does.
        ui::AlertView::visibleAlerts().back()->dismissWithClickedButtonIndex(1, true);
        return ns::RunLoop::main()->runUntil([&] { return !view->isLoading(); }, 300);
    };
    if (!load(*view, "/page") || !answer()) state.SkipWithError("the first prompt failed");
    double longest = 0;
    double longestWork = 0;
    // What the view does once a page has loaded (its picture asked for and drawn) is left out: the view comes
    // to rest before each prompt.
    const auto rest = [] { ns::RunLoop::main()->runUntil([] { return false; }, 0.5); };
    for (auto _ : state) {
        state.PauseTiming();
        rest();
        state.ResumeTiming();
        test::StallMeter stalls;
        if (!answer()) {
            state.SkipWithError("the prompt was not answered");
            break;
        }
        longest = std::max(longest, stalls.longest());
        longestWork = std::max(longestWork, stalls.longestWork());
    }
    if (view->stringByEvaluatingJavaScriptFromString("document.title") != "answered " + std::to_string(kind == 0 ? 1024 : 10240)) {
        state.SkipWithError("the page did not get the answer expected");
    }
    state.counters["longest_stall_ms"] = longest * 1000;
    state.counters["longest_work_ms"] = longestWork * 1000;
    if (kind == 0) {
        shortPrompt(false) = longest;
        shortPrompt(true) = longestWork;
    } else if (shortPrompt(false) > 0 && shortPrompt(true) > 0) {
        state.counters["stall_vs_1KB"] = longest / shortPrompt(false);
        state.counters["work_vs_1KB"] = longestWork / shortPrompt(true);
    }
}

}  // namespace

BENCHMARK(BM_ColdFirstLoad)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_WarmLoad_EngineAlone)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WarmLoad)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LargePage_EngineAlone)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_LargePage_WebView)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
// 0: 1 KB, 1: 60 MiB, 2: 20 million "é".
BENCHMARK(BM_PromptStall)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

int main(int argc, char** argv) {
    // The engine's folders go into a sandbox of the run's own, not into the user's app home.
    const ns::TemporarySandbox sandbox;
    return bench::runBenchmarks(argc, argv);
}
