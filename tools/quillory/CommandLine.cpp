#include "tools/quillory/CommandLine.h"

#include "app/service/StudentNetWorkApiManager.h"
#include "platform/foundation/URL.h"
#include "tools/standin-service/ServiceOperations.h"

namespace ql::quillory {

namespace {

// `source` names where the URL came from: the option or the environment variable.
void checkService(const std::string& text, std::string_view source) {
    const auto url = ns::URL::fromString(text);
    const std::string scheme = url && url->scheme() ? *url->scheme() : std::string();
    if ((scheme != "http" && scheme != "https") || !url->host() || url->host()->empty()) {
        throw UsageError(std::string(source) + " needs an http or https URL such as http://127.0.0.1:8080/, not \"" +
                         text + "\"");
    }
}

void checkHeld(const std::string& path) {
    const std::string_view operation = std::string_view(path).substr(path.starts_with('/') ? 1 : 0);
    if (!standin::serviceOperations().contains(operation)) {
        throw UsageError("--hold needs the path of a service operation such as Mobile/StudentLogin, not \"" + path +
                         "\"");
    }
}

}  // namespace

const std::map<std::string, sim::ScreenProfile>& deviceProfiles() {
    static const std::map<std::string, sim::ScreenProfile> profiles = {
        {"iphone4", sim::ScreenProfile::phone320x480()},  {"iphone5", sim::ScreenProfile::phone320x568()},
        {"iphone6", sim::ScreenProfile::phone375x667()},  {"iphone6p", sim::ScreenProfile::phone414x736()},
        {"ipad", sim::ScreenProfile::pad768x1024()},
    };
    return profiles;
}

std::string usage() {
    return "usage: quillory [--service URL] [--device iphone4|iphone5|iphone6|iphone6p|ipad]\n"
           "                [--script FILE|-] [--shots DIR] [--home DIR] [--hold PATH]...\n"
           "Without --service, " + std::string(ServiceBaseURLEnvironmentVariable) +
           " names the service when set; without either, the in-process stand-in serves.\n";
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments, const char* serviceFromEnvironment) {
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "-h" || option == "--help") {
            line.help = true;
            return line;
        }
        if (option != "--service" && option != "--device" && option != "--script" && option != "--shots" &&
            option != "--home" && option != "--hold") {
            throw UsageError("unknown option " + option);
        }
        if (i + 1 >= arguments.size()) throw UsageError("missing value after " + option);
        const std::string& value = arguments[++i];
        if (value.empty()) throw UsageError(option + " needs a value, not an empty text");
        if (option == "--service") {
            checkService(value, option);
            line.service = value;
        } else if (option == "--device") {
            if (!deviceProfiles().contains(value)) throw UsageError("unknown device " + value);
            line.device = value;
        } else if (option == "--script") {
            line.script = value;
        } else if (option == "--shots") {
            line.shots = value;
        } else if (option == "--hold") {
            checkHeld(value);
            line.hold.push_back(value);
        } else {
            line.home = value;
        }
    }
    const std::string_view environmentName = ServiceBaseURLEnvironmentVariable;
    const bool serviceFromOption = line.service.has_value();
    if (!serviceFromOption && serviceFromEnvironment && *serviceFromEnvironment) {
        checkService(serviceFromEnvironment, environmentName);
        line.service = serviceFromEnvironment;
    }
    if (!line.hold.empty() && line.service) {
        throw UsageError("--hold works with the in-process stand-in service only, not with " +
                         std::string(serviceFromOption ? "--service" : environmentName));
    }
    if (!line.hold.empty() && !line.script) {
        throw UsageError("--hold needs a --script, whose release sends what is held");
    }
    return line;
}

}  // namespace ql::quillory
