#include "tools/quillory/Launch.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "app/service/StudentNetWorkApiManager.h"
#include "tools/standin-service/ServiceState.h"
#include "tools/standin-service/StandinService.h"

namespace ql::quillory {

namespace {

// The lock on the file, made when missing (never replaced: another launch may hold it); nothing when
// another launch holds it or no lock can be had there.
std::optional<ns::FileLock> claimLock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    return ns::FileLock::claim(path);
}

}  // namespace

Launch::Launch(const CommandLine& line) {
    if (line.home) {
        kept_.emplace(*line.home);
    } else {
        fresh_.emplace();  // a first launch every time
    }
    if (line.service) {
        serviceURL_ = *line.service;
    } else {
        std::string fixtures = standin::StandinService::defaultFixturesDirectory();
        std::optional<std::string> serviceState;
        if (kept_) {
            // One launch at a time keeps the service's state: each stand-in saves all it knows, so a second
            // one saving what it read before the first changed something would undo that change. A second
            // launch goes on from the saved state and keeps nothing.
            const std::string folder = kept_->path() + "/standin-service";
            if (auto lock = claimLock(kept_->path() + "/standin-service.lock")) {
                serviceStateLock_.emplace(std::move(*lock));
                serviceState = folder;
            } else if (standin::ServiceState::isSaved(folder)) {
                fixtures = folder;
            }
        }
        service_ = std::make_unique<standin::StandinService>(0, fixtures, serviceState);
        serviceURL_ = service_->baseURL();
        for (const std::string& path : line.hold) service_->setFault(path, standin::Fault::held());
    }
    ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), serviceURL_.c_str(), 1);
}

Launch::~Launch() { ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str()); }

}  // namespace ql::quillory
