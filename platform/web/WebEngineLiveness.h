#pragma once
// When the app takes the engine as hung, while it waits on it: for one of its answers, or for it to take a
// command the app writes. The engine counts as alive as long as it shows a sign of work (WebEngineWork, or
// bytes of the app's command taken) within every span of `withoutSign` seconds, and moves a byte either way
// (arriving, or taken) within every span of `withoutByte` seconds: a program spinning without end uses the
// processor but answers and takes nothing. The spans count from the first look.

#include <sys/types.h>


#include "platform/web/WebEngineWork.h"

namespace ql::ui {

class WebEngineLiveness {
public:
    struct Limits {
        double withoutSign;
        double withoutByte;
    };

    // Follows what the app's reader tells and the processes of the group `group`, as WebEngineWork does.
    WebEngineLiveness(const WebEngineReading& reading, pid_t group, Limits limits);

    // Looks again, `tookBytes` telling whether the engine took bytes from the app since the last look. False
    // once the engine has gone past either limit.
    bool stillAlive(bool tookBytes = false);

private:
    WebEngineWork work_;
    Limits limits_;
    bool looked_ = false;
    WebEngineWork::Clock::time_point lastSign_{};
    WebEngineWork::Clock::time_point lastByte_{};
};

}  // namespace ql::ui
