#pragma once
// Where a run of the app lives: its sandbox (a fresh temporary one, or a home folder kept between launches)
// and its service (the in-process stand-in, keeping its state in the home when there is one, or a real
// service). Made before the device boots; the app is pointed at both for as long as the launch lasts.
// Several launches may share a home; one at a time keeps the stand-in's state there.

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/FileLock.h"
#include "platform/foundation/Sandbox.h"
#include "tools/quillory/CommandLine.h"

namespace ql::standin {
class StandinService;
}

namespace ql::quillory {

class Launch {
public:
    // Raises std::runtime_error when the home cannot be made or the stand-in cannot start.
    explicit Launch(const CommandLine& line);
    ~Launch();
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    const std::string& serviceURL() const { return serviceURL_; }
    // The sandbox's folder, and whether it stays when the launch ends.
    const std::string& home() const { return kept_ ? kept_->path() : fresh_->path(); }
    bool isKept() const { return kept_.has_value(); }
    // The in-process stand-in; null when a real service is used.
    standin::StandinService* service() const { return service_.get(); }
    // Whether the in-process stand-in keeps what changes in the service in the home, for the next launch:
    // false for another launch on a home whose state one launch keeps already.
    bool keepsServiceState() const { return serviceStateLock_.has_value(); }

private:
    std::optional<ns::TemporarySandbox> fresh_;
    std::optional<ns::SandboxHome> kept_;
    // Held while the stand-in saves into the home, so it outlives the stand-in.
    std::optional<ns::FileLock> serviceStateLock_;
    std::unique_ptr<standin::StandinService> service_;
    std::string serviceURL_;
};

}  // namespace ql::quillory
