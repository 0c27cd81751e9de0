#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Timer.h"
#include "platform/web/WebEngine.h"
#include "platform/web/WebEngineError.h"
#include "platform/web/WebView.h"
#include "tests/platform/web/engine/WebViewRecorder.h"

namespace ql {
namespace {

using test::pumpUntil;
using test::WebViewRecorder;

std::vector<std::string> loadWithEngine(const char* program, std::vector<ns::Error>& errors) {
    setenv(std::string(ui::WebEngine::kExecutableVariable).c_str(), program, 1);
    auto view = std::make_shared<ui::WebView>(cg::Rect{0, 0, 320, 480});
    auto delegate = std::make_shared<WebViewRecorder>();
    view->setDelegate(delegate);
    view->loadRequest(ns::URLRequest(ns::URL::fromString("http://127.0.0.1:9/page")));
    EXPECT_TRUE(pumpUntil([&] { return !view->isLoading(); }));
    EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("document.title"), "");
    unsetenv(std::string(ui::WebEngine::kExecutableVariable).c_str());
    errors = delegate->errors;
    return delegate->events;
}

TEST(WebEngineMissing, ALoadWithoutAnEngineEndsWithOneClearError) {
    std::vector<ns::Error> errors;
    EXPECT_EQ(loadWithEngine("/nonexistent/web-engine", errors),
              (std::vector<std::string>{"should /page other", "start", "fail 1"}));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].domain(), ui::WebEngineErrorDomain);
    EXPECT_EQ(errors[0].localizedDescription(),
              "The web engine (/nonexistent/web-engine) could not be started: No such file or directory.");

    // A program that is no engine ends at once: the load fails the same way, never hangs.
    EXPECT_EQ(loadWithEngine("/bin/true", errors), (std::vector<std::string>{"should /page other", "start", "fail 2"}));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].domain(), ui::WebEngineErrorDomain);
}

TEST(WebEngineMissing, AnEngineThatNeverAnswersIsStoppedAndTheLoadFails) {
    const std::string script = ns::temporaryDirectory() + "silent-engine-" + std::to_string(getpid());
    std::ofstream(script) << "#!/bin/sh\nexec sleep 600\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    std::vector<ns::Error> errors;
    EXPECT_EQ(loadWithEngine(script.c_str(), errors), (std::vector<std::string>{"should /page other", "start", "fail 2"}));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].localizedDescription(), "The web engine could not open a page: the web engine did not answer.");

    // A page's command left unanswered by an engine that answers nothing at all stops it as well.
    setenv(std::string(ui::WebEngine::kExecutableVariable).c_str(), script.c_str(), 1);
    ns::Error error = ui::webEngineError(0, "");
    auto engine = ui::WebEngine::running(&error);
    unsetenv(std::string(ui::WebEngine::kExecutableVariable).c_str());
    ASSERT_TRUE(engine);
    std::string problem;
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_TRUE(engine->call("Runtime.evaluate", {}, "a-page", &problem, 1).isNil());
    EXPECT_EQ(problem, "the web engine did not answer");
    // The call's bound, then the ping's time without a sign of work.
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count(), 1 + ui::WebEngine::kPingTimeout + 3);
    EXPECT_TRUE(pumpUntil([&] { return !engine->isAlive(); }));
    std::filesystem::remove(script);
}

// An engine that uses the processor without end and neither reads nor writes a byte: a sign of work, for a
// while, which the app allows for `busyLimit` seconds while it lives. The script goes with it.
class SpinningEngine {
public:
    explicit SpinningEngine(double busyLimit) {
        ui::WebEngine::setBusyLimitForTesting(busyLimit);
        std::ofstream(script_) << "#!/bin/sh\nwhile :; do :; done\n";
        std::filesystem::permissions(script_, std::filesystem::perms::owner_all);
        setenv(std::string(ui::WebEngine::kExecutableVariable).c_str(), script_.c_str(), 1);
        ns::Error error = ui::webEngineError(0, "");
        engine_ = ui::WebEngine::running(&error);
        unsetenv(std::string(ui::WebEngine::kExecutableVariable).c_str());
    }
    ~SpinningEngine() {
        ui::WebEngine::setBusyLimitForTesting(ui::WebEngine::kBusyLimit);
        if (engine_) engine_->terminate();
        std::filesystem::remove(script_);
    }
    SpinningEngine(const SpinningEngine&) = delete;
    SpinningEngine& operator=(const SpinningEngine&) = delete;
    const std::shared_ptr<ui::WebEngine>& engine() const { return engine_; }

private:
    std::string script_ = ns::temporaryDirectory() + "spinning-engine-" + std::to_string(getpid());
    std::shared_ptr<ui::WebEngine> engine_;
};

TEST(WebEngineMissing, AnEngineThatSpinsWithoutEverAnsweringIsStoppedAtTheBusyLimit) {
    constexpr double kLimit = 6;
    SpinningEngine spinning(kLimit);
    const auto& engine = spinning.engine();
    ASSERT_TRUE(engine);
    const auto asked = std::chrono::steady_clock::now();
    std::string problem;
    EXPECT_TRUE(engine->call("Runtime.evaluate", {}, "a-page", &problem, 1).isNil());
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
    EXPECT_EQ(problem, "the web engine did not answer");
    // Kept past the time an idle engine gets, as long as the limit allows a busy one.
    EXPECT_GE(waited, 1 + kLimit - 0.5);
    EXPECT_LT(waited, 1 + kLimit + 5);
    EXPECT_TRUE(pumpUntil([&] { return !engine->isAlive(); }));
}

TEST(WebEngineMissing, AnEngineThatSpinsWithoutReadingIsStoppedAtTheBusyLimitWhileACommandWaitsForIt) {
    constexpr double kLimit = 6;
    SpinningEngine spinning(kLimit);
    const auto& engine = spinning.engine();
    ASSERT_TRUE(engine);
    const auto asked = std::chrono::steady_clock::now();
    // Many times what the pipe holds, so the engine has to read it for the send to end.
    const bool sent = engine->send("Target.createTarget", {{"url", ns::Value("data:text/plain," + std::string(std::size_t{32} << 20, 'x'))}}, "");
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
    EXPECT_FALSE(sent);
    // Kept past the time an idle engine gets, as long as the limit allows a busy one; then stopped.
    EXPECT_GE(waited, kLimit - 0.5);
    EXPECT_LT(waited, kLimit + 5);
    EXPECT_FALSE(engine->isAlive());
}

TEST(WebEngineMissing, AnEngineThatStopsReadingIsReplacedByAFreshOne) {
    // It closes the pipe it is sent commands on but keeps its reply pipe open, so nothing but a failed
    // write tells that it is gone; the marker says the pipe is closed.
    const std::string script = ns::temporaryDirectory() + "deaf-engine-" + std::to_string(getpid());
    const std::string marker = script + ".closed";
    std::ofstream(script) << "#!/bin/sh\nexec 3<&-\n: > '" << marker << "'\nexec sleep 600\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    setenv(std::string(ui::WebEngine::kExecutableVariable).c_str(), script.c_str(), 1);
    ns::Error error = ui::webEngineError(0, "");
    auto deaf = ui::WebEngine::running(&error);
    ASSERT_TRUE(deaf);
    auto poll = ns::Timer::scheduledTimer(0.005, true, [](ns::Timer&) {});
    EXPECT_TRUE(pumpUntil([&] { return std::filesystem::exists(marker); }));
    poll->invalidate();
    std::string problem;
    EXPECT_TRUE(deaf->call("Browser.getVersion", {}, "", &problem, 30).isNil());
    EXPECT_EQ(problem, "the web engine is not running");
    EXPECT_FALSE(deaf->isAlive());
    auto fresh = ui::WebEngine::running(&error);
    unsetenv(std::string(ui::WebEngine::kExecutableVariable).c_str());
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh.get(), deaf.get());
    fresh->terminate();
    deaf->terminate();
    std::filesystem::remove(script);
    std::filesystem::remove(marker);
}

}  // namespace
}  // namespace ql
