#include "platform/web/WebEngineLiveness.h"

#include <chrono>

namespace ql::ui {

WebEngineLiveness::WebEngineLiveness(const WebEngineReading& reading, pid_t group, Limits limits)
    : work_(reading, group), limits_(limits) {}

bool WebEngineLiveness::stillAlive(bool tookBytes) {
    bool arrived = false;
    const bool atWork = work_.looksAtWork(&arrived) || tookBytes;
    const auto now = WebEngineWork::Clock::now();
    if (!looked_) {
        looked_ = true;
        lastSign_ = now;
        lastByte_ = now;
    }
    if (atWork) lastSign_ = now;
    if (arrived || tookBytes) lastByte_ = now;
    return now - lastSign_ <= std::chrono::duration<double>(limits_.withoutSign) &&
           now - lastByte_ <= std::chrono::duration<double>(limits_.withoutByte);
}

}  // namespace ql::ui
