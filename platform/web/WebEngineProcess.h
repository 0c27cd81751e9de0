#pragma once
// The engine's processes. The program runs in a process group of its own whose leader is a small watcher
// forked from the app: the watcher waits on a pipe whose only writer is the app and ends the whole group as
// soon as that pipe closes, which the system does when the app's process ends, however it ends (exit, a
// kill, a crash). It also asks for a signal when the app goes, in case a child the app forked still holds
// the pipe. So no engine process, helpers included, outlives the app.

#include <sys/types.h>

#include <string>
#include <vector>

namespace ql::ui {

class WebEngineProcess {
public:
    WebEngineProcess() = default;
    WebEngineProcess(const WebEngineProcess&) = delete;
    WebEngineProcess& operator=(const WebEngineProcess&) = delete;
    ~WebEngineProcess() { end(); }

    // Runs the program `arguments[0]` (looked up on PATH when it names no folder) with the engine's side of the
    // pipe on descriptors 3 (commands) and 4 (replies) and /dev/null on 0 to 2. 0, or the errno value of why
    // it could not be run.
    int start(const std::vector<std::string>& arguments, int commandFd, int replyFd);

    // The group's id (the watcher's process id); -1 before a start.
    pid_t group() const { return group_; }
    // Kills every process of the group at once.
    void kill() const;
    // Kills the group, waits for the watcher and forgets the group, whose id may then be reused.
    void end();

private:
    pid_t group_ = -1;
    int lifeline_ = -1;  // the app's end, never written
};

}  // namespace ql::ui
