#pragma once
// The whole app on the headless device against the stand-in service on loopback, in a fresh sandbox, on
// the manual clock: what the end-to-end tests of the app core start from. Screens are worked through the
// run command's script language, so the tests touch the app the way a person (or the tour) does.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>

#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/Account.h"
#include "app/session/UnitMetiodManager.h"
#include "app/shell/AppStart.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Sandbox.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/ScriptCommand.h"
#include "tools/standin-service/StandinService.h"

namespace ql::test {

class AppHarness {
public:
    // Longer than a toast or a result overlay stays.
    static constexpr double kLeftoverSeconds = 5;

    explicit AppHarness(const sim::ScreenProfile& profile = sim::ScreenProfile::phone375x667()) : profile_(profile) {
        pointAt(service.baseURL());
        Account::share().setInfo(nullptr);
        Account::share().setStuIndex(nullptr);
        loginSuccessObserver_ = ns::NotificationCenter::defaultCenter().addObserverForName(
            LoginSuccessNotification, nullptr, nullptr, [this](const ns::Notification&) { ++loginSuccessPosts; });
    }
    ~AppHarness() {
        quit();
        ns::NotificationCenter::defaultCenter().removeObserver(loginSuccessObserver_.get());
        ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str());
        Account::share().setInfo(nullptr);
    }

    static void pointAt(const std::string& url) {
        ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), url.c_str(), 1);
    }

    // A launch as the program makes it, settled.
    quillory::AppDriver& boot() {
        makeDevice();
        driver_->boot();
        return *driver_;
    }
    // A launch that does not wait for the service: the screens as they are before any reply.
    quillory::AppDriver& bootWithoutWaiting() {
        makeDevice();
        driver_->bootWithoutWaiting();
        return *driver_;
    }
    // Ends the running app, as when the process is killed; the sandbox stays. What the screen still has due
    // (a toast's fade, a result's overlay) runs out first: the main run loop outlives the device, and a
    // timer left on it would fire in the next device's time.
    void quit() {
        if (!driver_) return;
        if (driver_->device().isBooted()) driver_->device().advance(kLeftoverSeconds);
        driver_.reset();
    }

    quillory::AppDriver& app() { return *driver_; }
    sim::Device& device() { return driver_->device(); }

    // Runs script lines, failing the test at the first that cannot be done.
    void run(std::initializer_list<std::string> lines) {
        int number = 0;
        for (const std::string& line : lines) {
            auto command = quillory::parseScriptLine(line, ++number);
            if (!command) continue;
            try {
                driver_->run(*command);
            } catch (const std::exception& error) {
                ADD_FAILURE() << "\"" << line << "\": " << error.what() << "\n"
                              << quillory::AppDriver::describe(driver_->screen());
                return;
            }
        }
    }

    std::string top() const { return driver_->screen().controller; }
    bool shows(const std::string& text) const {
        const auto texts = driver_->screen().texts;
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
    template <class T>
    std::shared_ptr<T> topAs() const {
        return std::dynamic_pointer_cast<T>(driver_->topController());
    }
    std::size_t requests(std::string_view path) const { return service.journal(path).size(); }

    // Skips the first-run guide, as on every launch after the first.
    static void guideSeen() { UnitMetiodManager::saveShowGuideKey(true); }

    void signIn(const std::string& mobile, const std::string& password) {
        run({"tap 手机号码", "type " + mobile, "tap 密码", "type " + password, "tap 快乐阅读 天天进步", "tap 登 录"});
    }

    standin::StandinService service;
    ns::TemporarySandbox sandbox;
    int loginSuccessPosts = 0;

private:
    void makeDevice() {
        driver_.reset();
        driver_ = std::make_unique<quillory::AppDriver>(profile_, sandbox.path());
    }

    sim::ScreenProfile profile_;
    std::unique_ptr<quillory::AppDriver> driver_;
    std::shared_ptr<ns::Object> loginSuccessObserver_;
};

}  // namespace ql::test
