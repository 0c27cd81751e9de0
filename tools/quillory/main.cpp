// quillory [--service URL] [--device iphone4|iphone5|iphone6|iphone6p|ipad] [--script FILE|-] [--shots DIR]
//
// Boots the app on the headless device, in a fresh sandbox (a first launch). Without --service it starts
// the stand-in service on a free loopback port and points the app at it. Without --script it walks the
// default tour, printing each screen it reaches and writing its screenshot; with one, it runs the script's
// commands as they arrive (see ScriptCommand.h), flushing after each. Exit status 0 only when every step
// or command succeeded.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/service/StudentNetWorkApiManager.h"
#include "platform/foundation/Sandbox.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/ScriptCommand.h"
#include "tools/quillory/Tour.h"
#include "tools/standin-service/StandinService.h"

using namespace ql;

namespace {

struct Options {
    std::optional<std::string> service;
    std::string device = "iphone6";
    std::optional<std::string> script;
    std::string shots = "quillory-shots";
};

const std::map<std::string, sim::ScreenProfile>& devices() {
    static const std::map<std::string, sim::ScreenProfile> profiles = {
        {"iphone4", sim::ScreenProfile::phone320x480()},  {"iphone5", sim::ScreenProfile::phone320x568()},
        {"iphone6", sim::ScreenProfile::phone375x667()},  {"iphone6p", sim::ScreenProfile::phone414x736()},
        {"ipad", sim::ScreenProfile::pad768x1024()},
    };
    return profiles;
}

int usage(std::FILE* to, int status) {
    std::fprintf(to,
                 "usage: quillory [--service URL] [--device iphone4|iphone5|iphone6|iphone6p|ipad]\n"
                 "                [--script FILE|-] [--shots DIR]\n");
    return status;
}

std::optional<Options> parse(int argc, char** argv, int& status) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "-h" || option == "--help") {
            status = usage(stdout, 0);
            return std::nullopt;
        }
        if (i + 1 >= argc || (option != "--service" && option != "--device" && option != "--script" && option != "--shots")) {
            std::fprintf(stderr, "quillory: %s\n",
                         i + 1 >= argc ? ("missing value after " + option).c_str() : ("unknown option " + option).c_str());
            status = usage(stderr, 2);
            return std::nullopt;
        }
        const std::string value = argv[++i];
        if (option == "--service") options.service = value;
        else if (option == "--device") options.device = value;
        else if (option == "--script") options.script = value;
        else options.shots = value;
    }
    if (!devices().contains(options.device)) {
        std::fprintf(stderr, "quillory: unknown device %s\n", options.device.c_str());
        status = usage(stderr, 2);
        return std::nullopt;
    }
    return options;
}

bool runScript(quillory::AppDriver& driver, std::istream& in) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        try {
            auto command = quillory::parseScriptLine(line, ++number);
            if (!command) continue;
            const std::string output = driver.run(*command);
            if (!output.empty()) std::cout << output << "\n";
            std::cout << "ok " << number << "\n" << std::flush;
        } catch (const std::exception& error) {
            std::cout << std::flush;
            std::fprintf(stderr, "quillory: %s\n", error.what());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int status = 0;
    const auto options = parse(argc, argv, status);
    if (!options) return status;
    try {
        std::filesystem::create_directories(options->shots);
        std::unique_ptr<standin::StandinService> service;
        std::string serviceURL;
        if (options->service) {
            serviceURL = *options->service;
        } else {
            service = std::make_unique<standin::StandinService>(0);
            serviceURL = service->baseURL();
        }
        ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), serviceURL.c_str(), 1);
        ns::TemporarySandbox sandbox;  // a first launch every time

        std::cout << "quillory: service " << serviceURL << ", device " << options->device << ", screenshots in "
                  << std::filesystem::absolute(options->shots).string() << "\n";
        quillory::AppDriver driver(devices().at(options->device), options->shots);
        driver.boot();
        bool succeeded;
        if (!options->script) {
            succeeded = quillory::runTour(driver, quillory::defaultTour(), std::cout);
            std::cout << (succeeded ? "tour complete\n" : "tour failed\n");
        } else if (*options->script == "-") {
            succeeded = runScript(driver, std::cin);
        } else {
            std::ifstream file(*options->script);
            if (!file) throw std::runtime_error("cannot read " + *options->script);
            succeeded = runScript(driver, file);
        }
        std::cout << std::flush;
        return succeeded ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillory: %s\n", error.what());
        return 1;
    }
}
