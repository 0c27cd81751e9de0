#pragma once
// The app against the in-process stand-in in a fresh sandbox, worked by scripts as the run command works
// it: what a script prints and what it complains of are kept for the test to read.

#include <cstdlib>
#include <sstream>
#include <string>

#include "app/service/StudentNetWorkApiManager.h"
#include "platform/device/ScreenProfile.h"
#include "platform/foundation/Sandbox.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/ScriptRunner.h"
#include "tools/standin-service/StandinService.h"

namespace ql::test {

struct ScriptedApp {
    explicit ScriptedApp(const sim::ScreenProfile& profile = sim::ScreenProfile::phone375x667(),
                         double replyLimit = quillory::AppDriver::kReplyTimeout)
        : app(profile, sandbox.path(), replyLimit) {
        ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), service.baseURL().c_str(), 1);
        app.boot();
    }
    ~ScriptedApp() { ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str()); }
    ScriptedApp(const ScriptedApp&) = delete;
    ScriptedApp& operator=(const ScriptedApp&) = delete;

    // Runs the script; true when every line ran, as the run command then ends with status 0.
    bool run(const std::string& script) {
        std::istringstream in(script);
        out.str("");
        errors.str("");
        return quillory::runScript(app, in, out, errors);
    }

    standin::StandinService service;
    ns::TemporarySandbox sandbox;
    quillory::AppDriver app;
    std::ostringstream out, errors;
};

}  // namespace ql::test
