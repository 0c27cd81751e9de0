#pragma once
// Runs one of the system's own programs as a child process, as a person would from the shell, so a test can
// look at how the whole process ends: its status, what it wrote on both streams, and whether it ended at all.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/BackgroundWork.h"

namespace ql::test {

// The longest a child program's end may take: the end's allowance for its background work and a margin for
// what comes after it (the exit handlers, a loaded machine). An end that waited out the allowance twice is well
// beyond it.
inline constexpr double kLongestEnd = ns::BackgroundWork::kEndAllowance + 4;

struct ChildRun {
    bool ended = false;  // false: it was still running after the time allowed and was killed
    int status = -1;     // the exit status when it exited, -1 when a signal ended it
    int signal = 0;      // the signal that ended it, 0 when it exited
    std::string out;
    std::string err;
    std::chrono::steady_clock::time_point endedAt;  // when it was seen gone

    // How long the child's end took: from the moment it said its end began (tellTheEndBegins) to the moment it
    // was gone. Nothing when it never said so.
    std::optional<double> secondsOfItsEnd() const;

    bool succeeded() const { return ended && status == 0; }
    // A report of AddressSanitizer, LeakSanitizer or UndefinedBehaviorSanitizer on its standard error.
    bool hasSanitizerReport() const;
    // Status, signal and standard error, for an assertion's message.
    std::string describe() const;
};

// The test's own environment with `changes` on top (an empty value unsets the variable), as NAME=VALUE texts.
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& changes);
// The texts as a null-terminated list for exec and spawn; valid while the texts are.
std::vector<char*> pointersTo(std::vector<std::string>& texts);

// Runs `arguments` (the program's path first) with `environment` set on top of the test's own (an empty value
// unsets the variable), `input` on its standard input, for at most `seconds` of real time.
ChildRun runChild(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment,
                  const std::string& input, double seconds);

// Waits until the process (any, not only a child of the test's) has ended, at most `seconds` of real time; false
// when it still runs then. Where the system cannot watch a process, it is taken as gone at once.
bool awaitGone(pid_t process, double seconds);

// For the child program: says on standard output that its end begins now (main is about to return), on the
// steady clock, which is the machine's own and so the same in the test that runs it.
void tellTheEndBegins();

// For the child program, before anything it then uses is made: as its process ends, once every object of static
// storage made afterwards has been destroyed, the end lingers a tenth of a second, as it might on a loaded
// machine, while threads that do not stop go on.
void lingerAtTheEnd();

}  // namespace ql::test
