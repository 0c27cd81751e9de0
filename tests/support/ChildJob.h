#pragma once
// One of the system's own programs running as a job, as a shell with job control starts it: in a process group
// of its own with the default handling of every signal, its standard input a socket the test writes to, both
// output streams read as they come. The test can act at a chosen moment of the run (interrupt it, say) and
// then see how the whole job ended.

#include <sys/types.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/ChildProgram.h"

namespace ql::test {

class ChildJob {
public:
    // Starts `arguments` (the program's path first) with `environment` on top of the test's own (an empty
    // value unsets the variable). Raises std::runtime_error when it cannot start.
    ChildJob(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment);
    // A job still running is killed, its whole group.
    ~ChildJob();
    ChildJob(const ChildJob&) = delete;
    ChildJob& operator=(const ChildJob&) = delete;

    pid_t pid() const { return pid_; }
    // Writes to its standard input; false when it no longer reads it.
    bool write(std::string_view input);
    // Its standard input ends.
    void closeInput();
    // Reads its output until its standard output holds `text`: false when the output ended or `seconds` of real
    // time passed first.
    bool waitForOutput(std::string_view text, double seconds);
    const std::string& output() const { return out_; }

    // As a terminal's Ctrl-C does: to every process of the group.
    void signalGroup(int signal) const;
    // As `kill PID` does: to the program alone.
    void signalProgram(int signal) const;

    // Waits for the program to end, at most `seconds` of real time (then the group is killed): its status and
    // everything it wrote.
    ChildRun wait(double seconds);
    // Whether a process of the job's group is still there: after the end, one the program left behind.
    bool groupHasProcesses() const;

private:
    // Reads what both streams have until `done` holds or the deadline passes; false when the time ran out.
    template <class Done>
    bool readUntil(const Done& done, double seconds);

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int errors_ = -1;
    int handle_ = -1;  // readable once the program ended
    bool waited_ = false;
    std::string out_;
    std::string err_;
};

}  // namespace ql::test
