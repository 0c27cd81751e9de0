#pragma once
// The main of benchmark programs that do more around their benchmarks than BENCHMARK_MAIN, and what the
// benchmarks of one program may share (a sandbox filled with pictures, a loopback server): made when the first
// of them asks for it and kept while they run, then ended once they all ran, before the process ends, so that
// it ends as it would in the app (a temporary sandbox removed with what is in it) and not never.

#include <benchmark/benchmark.h>

#include <optional>

namespace ql::bench {

// What BENCHMARK_MAIN does.
inline int runBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

template <class T>
class SharedFixture {
public:
    T& get() {
        if (!made_) made_.emplace();
        return *made_;
    }
    void end() { made_.reset(); }

private:
    std::optional<T> made_;
};

// The benchmarks, then the shared fixture's end.
template <class T>
int runBenchmarksThenEnd(int argc, char** argv, SharedFixture<T>& fixture) {
    const int status = runBenchmarks(argc, argv);
    fixture.end();
    return status;
}

}  // namespace ql::bench
