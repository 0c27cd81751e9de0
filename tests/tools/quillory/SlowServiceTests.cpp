// The run command against a service that is slow in real time: every reply half a minute late, through a
// chain of calls, and a reply that keeps trickling in. Real time is moved with the clock's test hook once a
// request has come, and the reply goes when the app's clock has kept pace, as it would have after that long:
// no test waits half a minute.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/service/BaseNetHTTPManager.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "platform/foundation/Clock.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/OnScopeExit.h"
#include "tests/tools/quillory/ScriptedApp.h"
#include "tools/quillory/AppDriver.h"
#include "tools/standin-service/ServiceOperations.h"

using namespace ql;
using ql::test::ScriptedApp;

namespace {

// Lets another thread wait until the app's clock reads a moment: every move of the clock wakes it.
class ClockWatch final : public ns::Clock::Client {
public:
    static std::shared_ptr<ClockWatch> make() {
        auto watch = std::make_shared<ClockWatch>();
        ns::Clock::addClient(watch);
        return watch;
    }

    double nextDeadlineAfter(double) const override { return ns::Clock::kNever; }
    void clockChanged() override { wake(); }

    // Wakes the waiting thread to ask its stop condition again.
    void wake() {
        { std::lock_guard lock(mutex_); }
        changed_.notify_all();
    }

    // Waits up to `seconds` of real time until the app's clock reads `time` or `stop` holds; true for the clock.
    bool waitUntil(double time, double seconds, const std::function<bool()>& stop) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return ns::Clock::now() >= time || stop(); });
        return ns::Clock::now() >= time;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

// Every operation of the stand-in answers `delay` seconds of real time after its request: the stand-in holds
// each reply; once one is held, real time moves on a second at a time, each once the run command has kept the
// app's clock with the last, as it would see real time pass, and after the delay the reply goes (replies
// held together share it).
class DelayedReplies {
public:
    DelayedReplies(standin::StandinService& service, int delay) : service_(service), delay_(delay) {
        for (const auto& [path, operation] : standin::serviceOperations()) service_.setFault(path, standin::Fault::held());
        thread_ = std::thread([this] { delayEach(); });
    }
    ~DelayedReplies() {
        stopping_ = true;
        clock_->wake();
        thread_.join();
        service_.clearFaults();
        service_.releaseHeldReplies();
        ns::Clock::shiftRealTimeForTesting(-shifted_);
    }
    DelayedReplies(const DelayedReplies&) = delete;
    DelayedReplies& operator=(const DelayedReplies&) = delete;

    // The times real time moved on for a held reply.
    int delays() const { return delays_; }

private:
    void delayEach() {
        while (!stopping_) {
            if (!service_.waitForHeldReplies(1, 0.1)) continue;
            const double asked = ns::Clock::now();
            ++delays_;
            for (int second = 1; second <= delay_; ++second) {
                ns::Clock::shiftRealTimeForTesting(1);
                ++shifted_;
                if (!clock_->waitUntil(asked + second, 10, [this] { return stopping_.load(); })) break;
            }
            service_.releaseHeldReplies();
        }
    }

    standin::StandinService& service_;
    const int delay_;
    const std::shared_ptr<ClockWatch> clock_ = ClockWatch::make();
    std::atomic<bool> stopping_{false};
    std::atomic<int> delays_{0};
    int shifted_ = 0;  // the delay thread's until it is joined
    std::thread thread_;
};

constexpr const char* kSignInFilled =
    "swipe left\nswipe left\ntap 进入App\ntap 手机号码\ntype 20160302\ntap Next\ntype abcdef\ntap Done\n";

}  // namespace

// Each call waits 31 s for its reply, well within the run command's limit for one call, and binding makes
// three such calls one after the other (the binding, then the sign-in and the home tab's content it leads
// to): the script goes through as the app does. The countdown's first tick comes a second after the code's
// reply, and what the tree prints for the filled password field taps it.
TEST(SlowService, EveryReplyHalfAMinuteLateStillBindsAndReachesTheHomeTab) {
    ScriptedApp app;
    DelayedReplies slow(app.service, 31);
    ASSERT_TRUE(app.run(std::string(kSignInFilled) + "tree\ntap ******\n")) << app.errors.str();
    EXPECT_NE(app.out.str().find("20160302 | ****** | 登 录"), std::string::npos) << app.out.str();
    auto* field = dynamic_cast<ui::TextField*>(app.app.device().keyWindow()->firstResponder());
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->isSecureTextEntry());
    EXPECT_EQ(field->text(), "abcdef");

    ASSERT_TRUE(app.run("tap Done\ntap 登 录\ntree\n")) << app.errors.str();
    EXPECT_NE(app.out.str().find("BindViewController \"绑定手机\""), std::string::npos) << app.out.str();
    EXPECT_EQ(slow.delays(), 1);

    ASSERT_TRUE(app.run("tap 手机号码\ntype 13800000002\ntap Next\ntap 获取验证码\nwait 0.5\ntree\nwait 0.5\ntree\n"))
        << app.errors.str();
    const std::string countdown = app.out.str();
    const std::size_t halfASecond = countdown.find("ok 5\n"), aSecond = countdown.find("ok 7\n");
    ASSERT_NE(aSecond, std::string::npos) << countdown;
    EXPECT_NE(countdown.find("13800000002 | [验证码] | 获取验证码 | 绑 定", halfASecond), std::string::npos) << countdown;
    EXPECT_NE(countdown.find("13800000002 | [验证码] | (60)秒 | 绑 定", aSecond), std::string::npos) << countdown;
    EXPECT_EQ(slow.delays(), 2);

    ASSERT_TRUE(app.run("tap 验证码\ntype 520520\ntap Done\ntap 绑 定\ntree\n")) << app.errors.str();
    EXPECT_NE(app.out.str().find("HomeVC \"首页\"\n  首页 | 陈思远  小书虫 |"), std::string::npos) << app.out.str();
    EXPECT_GE(slow.delays(), 5);
}

// The limit counts until a reply is in full: one that keeps trickling in, a blank every quarter second, keeps
// the app waiting (each piece restarts its own time-out) but ends the script once its call has waited the
// limit, with a message that says so, rather than keep the run command waiting for ever. A limit of two
// seconds stands for the minute and a half.
TEST(SlowService, AReplyStillTricklingInAtTheLimitEndsTheScript) {
    constexpr double kLimit = 2;
    ScriptedApp app(sim::ScreenProfile::phone375x667(), kLimit);
    ASSERT_TRUE(app.run(kSignInFilled)) << app.errors.str();

    const auto clock = ClockWatch::make();
    auto stopped = std::make_shared<std::atomic<bool>>(false);
    auto blanks = std::make_shared<std::atomic<int>>(0);
    test::LoopbackServer trickling;
    trickling.handle("/Mobile/StudentLogin", [=](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("application/json", [=](std::size_t, httplib::DataSink& sink) {
            // JSON may start with blanks: the reply is whole once it is stopped.
            if (!clock->waitUntil(ns::Clock::now() + 0.25, 10, [&] { return stopped->load(); })) {
                const std::string refusal = "{\"result\":0,\"msg\":\"用户名或密码错误\"}";
                sink.write(refusal.data(), refusal.size());
                sink.done();
                return true;
            }
            ++*blanks;
            sink.write(" ", 1);
            return true;
        });
    });
    const auto stop = [&] {
        *stopped = true;
        clock->wake();
    };
    const test::OnScopeExit stopTrickling(stop);
    ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), trickling.url("/").c_str(), 1);

    EXPECT_FALSE(app.run("tap 登 录\n"));
    EXPECT_EQ(app.errors.str(), "quillory: line 1: a reply from the service did not come in full within 2 s\n");
    EXPECT_GE(*blanks, 4) << "the reply was coming in";
    EXPECT_EQ(BaseNetHTTPManager::formPostsInFlight(), 1u) << "the app had not given up";

    // The rest of the reply ends the call, and the app shows the refusal.
    stop();
    ASSERT_TRUE(app.run("tree\ntree\n")) << app.errors.str();
    EXPECT_EQ(BaseNetHTTPManager::formPostsInFlight(), 0u);
    EXPECT_NE(app.out.str().find("忘记密码？ | 用户名或密码错误\nok 2\n"), std::string::npos) << app.out.str();
}
