#include "platform/web/WebEngineWork.h"

namespace ql::ui {

WebEngineWork::WebEngineWork(const WebEngineReading& reading, pid_t group)
    : reading_(reading), processor_(group), lastArrived_(reading.arrived.load()) {}

bool WebEngineWork::looksAtWork(bool* sawBytes) {
    const std::uint64_t arrived = reading_.arrived.load();
    const bool digesting = reading_.digesting.load();
    const bool bytes = arrived != lastArrived_;
    lastArrived_ = arrived;
    if (sawBytes) *sawBytes = bytes;
    const auto now = Clock::now();
    const double seconds = processor_.sinceFirstLook();
    if (seconds < 0) {
        samples_.clear();
        return bytes || digesting;
    }
    samples_.push_back({now, seconds});
    // The oldest sample kept is the last one at least a second old.
    while (samples_.size() > 2 && now - samples_[1].at >= std::chrono::seconds(1)) samples_.pop_front();
    const Sample& first = samples_.front();
    const double span = std::chrono::duration<double>(now - first.at).count();
    const bool busy = span >= 0.5 && seconds - first.seconds >= kBusyShare * span;
    return bytes || digesting || busy;
}

}  // namespace ql::ui
