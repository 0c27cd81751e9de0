#pragma once
// The processor time the engine's processes use, all of them: the browser that answers the app, and the
// renderers and helpers it may wait on meanwhile (a page's large upload is read in a renderer, while the
// browser waits for it doing nothing). Each process's own increase is summed, so a process that ends takes
// nothing back of what the group used before, and one that starts counts from its start.

#include <sys/types.h>

#include <unordered_map>

namespace ql::ui {

class WebEngineGroupTime {
public:
    explicit WebEngineGroupTime(pid_t group) : group_(group) {}

    // The seconds of processor the group's processes used since the first look (0 at the first look);
    // negative when the group cannot be read at all.
    double sinceFirstLook();

private:
    pid_t group_;
    bool looked_ = false;
    double used_ = 0;
    std::unordered_map<pid_t, double> seen_;  // each process's time at the last look
};

}  // namespace ql::ui
