#pragma once
// The run command's command line: which service, which device, which script, where the screenshots and
// the app's home go. Everything is checked before the app boots, so a mistake is named at once.

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/device/ScreenProfile.h"

namespace ql::quillory {

// A command line that cannot be followed; the message says what is wrong with it.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CommandLine {
    std::optional<std::string> service;  // an http or https URL; the in-process stand-in when absent
    std::string device = "iphone6";
    std::optional<std::string> script;   // a file, or "-" for standard input
    std::string shots = "quillory-shots";
    std::optional<std::string> home;     // the app's sandbox, kept between launches; a fresh one when absent
    // Service operations ("Mobile/StudentLogin") whose replies the in-process stand-in holds until the
    // script's `release`, so that the screen can be seen while they are on their way.
    std::vector<std::string> hold;
    bool help = false;
};

// The screens by their names on the command line.
const std::map<std::string, sim::ScreenProfile>& deviceProfiles();

std::string usage();

// The arguments after the program's name, and the service base URL of the environment
// (QUILLORY_SERVICE_URL: null or empty when unset), which the app's own override names and --service
// overrides in turn. Raises UsageError for an unknown option, a missing or empty value, an unknown device,
// a service that is no http or https URL, or a held path that is no operation of the stand-in service, or
// held with another service or without a script.
CommandLine parseCommandLine(const std::vector<std::string>& arguments, const char* serviceFromEnvironment = nullptr);

}  // namespace ql::quillory
