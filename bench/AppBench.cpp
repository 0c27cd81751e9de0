// The app core's speed on the headless device: a cold start up to the sign-in screen being shown (load
// hooks, delegate, window, the sign-in screen's nib, artwork and first layout and display), and a sign-in
// round trip against the stand-in service on loopback (request, reply mapping, saved settings and the tab
// shell put up). Both report the process's peak memory. Typing a line into the sign-in screen's mobile
// field measures the keyboard's cost per character, which must not grow with the line.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>

#include "app/account/LoginViewController.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/UnitMetiodManager.h"
#include "app/uikit/AppScreens.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "tools/quillory/AppDriver.h"
#include "tools/standin-service/StandinService.h"

using namespace ql;

namespace {

double peakMemoryMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

void ColdStartToSignIn(benchmark::State& state) {
    ns::TemporarySandbox sandbox;
    UnitMetiodManager::saveShowGuideKey(true);
    for (auto _ : state) {
        std::optional<quillory::AppDriver> app;
        app.emplace(sim::ScreenProfile::phone375x667(), sandbox.path());
        app->boot();
        app->device().screenshot();  // what the student sees has been drawn
        if (app->screen().controller != "LoginViewController") throw std::runtime_error("no sign-in screen");
        state.PauseTiming();
        app.reset();  // the device's teardown is not part of the start
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peakMemoryMB();
}
BENCHMARK(ColdStartToSignIn)->Unit(benchmark::kMillisecond);

void SignInRoundTrip(benchmark::State& state) {
    standin::StandinService service;
    ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), service.baseURL().c_str(), 1);
    ns::TemporarySandbox sandbox;
    UnitMetiodManager::saveShowGuideKey(true);
    quillory::AppDriver app(sim::ScreenProfile::phone375x667(), sandbox.path());
    app.boot();
    for (auto _ : state) {
        state.PauseTiming();
        auto navigation = LoginViewController::navigationControllerContainSelf();
        AppScreens::setRootViewController(navigation);
        app.settle();
        auto screen = std::dynamic_pointer_cast<LoginViewController>(navigation->topViewController());
        screen->userName()->setText("13800000001");
        screen->userPwd()->setText("123456");
        state.ResumeTiming();
        screen->checkInputString();
        app.settle();
        if (app.screen().controller != "HomeVC") throw std::runtime_error("the sign-in did not reach the shell");
    }
    state.counters["peak_MB"] = peakMemoryMB();
    ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str());
}
BENCHMARK(SignInRoundTrip)->Unit(benchmark::kMillisecond);

void TypingALine(benchmark::State& state) {
    ns::TemporarySandbox sandbox;
    UnitMetiodManager::saveShowGuideKey(true);
    quillory::AppDriver app(sim::ScreenProfile::phone375x667(), sandbox.path());
    app.boot();
    auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(AppScreens::window()->rootViewController());
    auto screen = std::dynamic_pointer_cast<LoginViewController>(navigation ? navigation->topViewController() : nullptr);
    if (!screen) throw std::runtime_error("no sign-in screen");
    const std::string line(std::size_t(state.range(0)), '7');
    for (auto _ : state) {
        state.PauseTiming();
        screen->userName()->setText("");
        app.device().tap(*screen->userName());
        state.ResumeTiming();
        app.device().type(line);
        state.PauseTiming();
        if (screen->userName()->text().size() != line.size()) throw std::runtime_error("the line was not typed");
        screen->userName()->resignFirstResponder();
        app.settle();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(TypingALine)->RangeMultiplier(2)->Range(1250, 10000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
