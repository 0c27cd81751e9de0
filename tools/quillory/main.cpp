// quillory [--service URL] [--device iphone4|iphone5|iphone6|iphone6p|ipad] [--script FILE|-] [--shots DIR]
//          [--home DIR] [--hold PATH]...
//
// Boots the app on the headless device. Without --home it runs in a fresh sandbox (a first launch) that
// goes when it ends; with one, the app's sandbox is that folder and stays, and so does the in-process
// stand-in service's state (under DIR/standin-service; kept by one launch of the home at a time), so the
// next launch goes on from there. Without --service (or QUILLORY_SERVICE_URL, which --service overrides)
// it starts the stand-in service on a free loopback port and points the app at it. Without
// --script it walks the default tour, printing each screen it reaches and writing its screenshot; with one,
// it runs the script's commands as they arrive (see ScriptCommand.h), flushing after each; the launch is
// waited for before the first command unless that is a nowait one. --hold PATH (again for more) makes the
// in-process stand-in hold the replies of that operation until the script's `release`. Exit status 0
// only when every step or command succeeded, 2 (with the usage) for a command line that cannot be followed,
// a script file that cannot be read included, before anything starts. Interrupted (SIGINT, SIGTERM, SIGHUP),
// it ends the app and removes a fresh sandbox as at any end, then ends by that signal.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/service/StudentNetWorkApiManager.h"
#include "platform/foundation/Exception.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/CommandLine.h"
#include "tools/quillory/InterruptibleInput.h"
#include "tools/quillory/Interruption.h"
#include "tools/quillory/Launch.h"
#include "tools/quillory/ScriptRunner.h"
#include "tools/quillory/Tour.h"

using namespace ql;

namespace {

// `script` is the opened script file, or null for the tour or standard input.
int run(const quillory::CommandLine& line, std::istream* script) {
    std::filesystem::create_directories(line.shots);
    const quillory::Launch launch(line);
    std::cout << "quillory: service " << launch.serviceURL() << ", device " << line.device << ", home "
              << launch.home() << (launch.isKept() ? "" : " (fresh)") << ", screenshots in "
              << std::filesystem::absolute(line.shots).string() << "\n";
    if (launch.isKept() && launch.service() && !launch.keepsServiceState()) {
        std::cerr << "quillory: another launch on this home keeps the stand-in service's state: what this one "
                     "changes in the service is not kept\n";
    }
    quillory::AppDriver driver(quillory::deviceProfiles().at(line.device), line.shots);
    driver.setStandin(launch.service());
    bool succeeded;
    if (!line.script) {
        driver.boot();
        succeeded = quillory::runTour(driver, quillory::defaultTour(), std::cout);
        std::cout << (succeeded ? "tour complete\n" : "tour failed\n");
    } else {
        driver.bootWithoutWaiting();
        quillory::InterruptibleInput standardInput(STDIN_FILENO, quillory::Interruption::descriptor());
        std::istream lines(&standardInput);
        succeeded = quillory::runScript(driver, script ? *script : lines, std::cout, std::cerr);
    }
    std::cout << std::flush;
    return succeeded ? 0 : 1;
}

int refuseCommandLine(const char* why) {
    std::fprintf(stderr, "quillory: %s\n%s", why, quillory::usage().c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    quillory::CommandLine line;
    try {
        line = quillory::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                          std::getenv(std::string(ServiceBaseURLEnvironmentVariable).c_str()));
    } catch (const quillory::UsageError& error) {
        return refuseCommandLine(error.what());
    }
    if (line.help) {
        std::fputs(quillory::usage().c_str(), stdout);
        return 0;
    }
    // Opened before the sandbox is made and the stand-in started: a script that cannot be read is a command
    // line that cannot be followed.
    std::optional<std::ifstream> scriptFile;
    if (line.script && *line.script != "-") {
        try {
            scriptFile = quillory::openScript(*line.script);
        } catch (const quillory::ScriptError& error) {
            return refuseCommandLine(error.what());
        }
    }
    // Before the sandbox is made and the stand-in's threads start, which keep the signals blocked.
    std::optional<quillory::Interruption> interruption;
    try {
        interruption.emplace();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillory: %s\n", error.what());
        return 1;
    }
    int status = 1;
    try {
        status = run(line, scriptFile ? &*scriptFile : nullptr);
    } catch (const quillory::Interrupted&) {
        // Everything has ended on the way here: the process ends by the signal below.
    } catch (const ns::Exception& error) {
        std::fprintf(stderr, "quillory: %s\n", error.reason().c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillory: %s\n", error.what());
    }
    interruption->endProcessIfInterrupted();
    return status;
}
