// The run command against a service that never answers, as --service names one: the real time from `tap 登 录`
// to the app's "无网络连接", which the app's own request time-out decides (60 s, as on a phone), once with the
// machine to itself and once with a busy loop on every core. The app's clock keeps pace with real time, so
// both come to a minute; a clock that lagged behind real time would come later, the more the busier the
// machine.
//
// One sign-in per case (each takes a minute): build/release/bench/sign_in_time_out_bench.

#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/service/StudentNetWorkApiManager.h"
#include "platform/foundation/Sandbox.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/ScriptCommand.h"

using namespace ql;

namespace {

constexpr const char* kFillIn[] = {"swipe left", "swipe left", "tap 进入App", "tap 手机号码", "type 20160302",
                                   "tap Next",   "type abcdef", "tap Done"};

// A port on 127.0.0.1 whose connections the system takes and nobody answers.
class SilentService {
public:
    SilentService() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd_, 16) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("no loopback port");
        }
        url_ = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    }
    ~SilentService() { ::close(fd_); }
    SilentService(const SilentService&) = delete;
    SilentService& operator=(const SilentService&) = delete;

    const std::string& url() const { return url_; }

private:
    int fd_ = -1;
    std::string url_;
};

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
    const SilentService service;
    ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), service.url().c_str(), 1);
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
