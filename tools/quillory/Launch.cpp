#include "tools/quillory/Launch.h"

#include <cstdlib>

#include "app/service/StudentNetWorkApiManager.h"
#include "tools/standin-service/StandinService.h"

namespace ql::quillory {

Launch::Launch(const CommandLine& line) {
    std::optional<std::string> serviceState;
    if (line.home) {
        kept_.emplace(*line.home);
        serviceState = kept_->path() + "/standin-service";
    } else {
        fresh_.emplace();  // a first launch every time
    }
    if (line.service) {
        serviceURL_ = *line.service;
    } else {
        service_ = std::make_unique<standin::StandinService>(0, standin::StandinService::defaultFixturesDirectory(),
                                                             serviceState);
        serviceURL_ = service_->baseURL();
        for (const std::string& path : line.hold) service_->setFault(path, standin::Fault::held());
    }
    ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), serviceURL_.c_str(), 1);
}

Launch::~Launch() { ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str()); }

}  // namespace ql::quillory
