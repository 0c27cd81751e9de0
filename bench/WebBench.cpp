// The web view on the engine, over loopback: the first load of a 100 KB page with the engine started
// cold for it (process start, page target, load, drawing asked for), and a warm load of the same page on a
// running engine. Both report the engine's resident memory (its process and helpers) after the load.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/foundation/RunLoop.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebView.h"
#include "tests/support/LoopbackServer.h"

using namespace ql;
using ql::test::LoopbackServer;

namespace {

constexpr std::size_t kPageSize = 100 * 1024;

std::string page() {
    std::string html = "<html><head><title>bench</title></head><body>";
    for (int i = 0; html.size() < kPageSize - 32; ++i) {
        html += "<p>Paragraph " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog again.</p>";
    }
    return html + "</body></html>";
}

LoopbackServer& server() {
    static LoopbackServer* s = [] {
        auto* created = new LoopbackServer;
        created->serveText("/page", page(), "text/html; charset=utf-8");
        return created;
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

bool load(ui::WebView& view) {
    view.loadRequest(ns::URLRequest(ns::URL::fromString(server().url("/page"))));
    return ns::RunLoop::main()->runUntil([&] { return !view.isLoading(); }, 60) &&
           view.stringByEvaluatingJavaScriptFromString("document.title") == "bench";
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
        if (!load(*view)) state.SkipWithError("the load failed");
        state.PauseTiming();
        reportMemory(state);
        view.reset();
        state.ResumeTiming();
    }
}

void BM_WarmLoad(benchmark::State& state) {
    auto view = std::make_shared<ui::WebView>(cg::Rect{0, 0, 375, 667});
    if (!load(*view)) state.SkipWithError("the first load failed");
    for (auto _ : state) {
        if (!load(*view)) state.SkipWithError("the load failed");
    }
    reportMemory(state);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPageSize));
}

}  // namespace

BENCHMARK(BM_ColdFirstLoad)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_WarmLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
