// The run command against a service that never answers, as --service names one: the real time from `tap 登 录`
// to the app's "无网络连接", which the app's own request time-out decides (60 s, as on a phone), once with the
// machine to itself and once with a busy loop on every core. The app's clock keeps pace with real time, so
// both come to a minute; a clock that lagged behind real time would come later, the more the busier the
// machine.
//
// One sign-in per case (each takes a minute): build/release/bench/sign_in_time_out_bench.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/service/StudentNetWorkApiManager.h"
#include "platform/foundation/Sandbox.h"
#include "tests/support/LoopbackServer.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/ScriptCommand.h"

using namespace ql;

namespace {

constexpr const char* kFillIn[] = {"swipe left", "swipe left", "tap 进入App", "tap 手机号码", "type 20160302",
                                   "tap Next",   "type abcdef", "tap Done"};

// `count` threads spinning for as long as the object lives.
class BusyLoops {
public:
    explicit BusyLoops(int count) {
        for (int i = 0; i < count; ++i) {
            threads_.emplace_back([this] {
                std::uint64_t spins = 0;
                while (!stop_.load(std::memory_order_relaxed)) benchmark::DoNotOptimize(++spins);
            });
        }
    }
    ~BusyLoops() {
        stop_ = true;
        for (auto& thread : threads_) thread.join();
    }
    BusyLoops(const BusyLoops&) = delete;
    BusyLoops& operator=(const BusyLoops&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

void run(quillory::AppDriver& app, const std::string& line) {
    if (auto command = quillory::parseScriptLine(line, 1)) app.run(*command);
}

void SignInAgainstASilentService(benchmark::State& state) {
    const test::SilentPort service;
    ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), service.url("/").c_str(), 1);
    for (auto _ : state) {
        ns::TemporarySandbox sandbox;
        quillory::AppDriver app(sim::ScreenProfile::phone375x667(), sandbox.path());
        app.boot();
        for (const char* line : kFillIn) run(app, line);
        const BusyLoops busy(static_cast<int>(state.range(0)));
        const auto start = std::chrono::steady_clock::now();
        run(app, "tap 登 录");
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        const auto texts = app.screen().texts;
        if (std::find(texts.begin(), texts.end(), "无网络连接") == texts.end()) state.SkipWithError("no toast");
    }
    ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str());
}
BENCHMARK(SignInAgainstASilentService)
    ->ArgName("busy_loops")
    ->Arg(0)
    ->Arg(8)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
