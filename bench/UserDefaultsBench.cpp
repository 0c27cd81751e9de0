// The settings store's synchronize as one process uses it: one key changed and written over a store of 60
// keys (read, merged and written atomically), and a synchronize with nothing to write. Items are
// synchronizes.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UserDefaults.h"

using namespace ql::ns;

namespace {

constexpr int kKeys = 60;

void fill(UserDefaults& defaults) {
    for (int i = 0; i < kKeys; ++i) defaults.setObject(Value("value of setting " + std::to_string(i)), "key" + std::to_string(i));
    defaults.synchronize();
}

void BM_SynchronizeOneChangedKey(benchmark::State& state) {
    TemporarySandbox sandbox;
    UserDefaults defaults(Sandbox::preferences() + "/bench.plist");
    fill(defaults);
    std::int64_t round = 0;
    for (auto _ : state) {
        defaults.setInteger(++round, "counter");
        if (!defaults.synchronize()) state.SkipWithError("synchronize failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SynchronizeOneChangedKey)->Unit(benchmark::kMicrosecond);

void BM_SynchronizeNothingChanged(benchmark::State& state) {
    TemporarySandbox sandbox;
    UserDefaults defaults(Sandbox::preferences() + "/bench.plist");
    fill(defaults);
    for (auto _ : state) benchmark::DoNotOptimize(defaults.synchronize());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SynchronizeNothingChanged)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
