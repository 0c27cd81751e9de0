#pragma once
// Runs one of the system's own programs as a child process, as a person would from the shell, so a test can
// look at how the whole process ends: its status, what it wrote on both streams, and whether it ended at all.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ql::test {

struct ChildRun {
    bool ended = false;  // false: it was still running after the time allowed and was killed
    int status = -1;     // the exit status when it exited, -1 when a signal ended it
    int signal = 0;      // the signal that ended it, 0 when it exited
    std::string out;
    std::string err;

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

}  // namespace ql::test
