// The engine's program finds its pipe on descriptors 3 and 4 wherever the app's copies of them lay, even
// where they lay on those very numbers.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/web/WebEngineProcess.h"

namespace ql {
namespace {

// Runs in a child of the test, which owns its descriptors: puts the program's ends of two pipes on
// `commandAt` and `replyAt`, starts a program that answers a line from 3 on 4, and ends with 0 when the
// answer comes back whole.
[[noreturn]] void exchangeWithCommandAndReplyAt(int commandAt, int replyAt) {
    int toProgram[2];
    int fromProgram[2];
    if (pipe2(toProgram, O_CLOEXEC) != 0 || pipe2(fromProgram, O_CLOEXEC) != 0) _exit(10);
    // Out of the way of the numbers being arranged, then onto them.
    for (int* end : {&toProgram[0], &toProgram[1], &fromProgram[0], &fromProgram[1]}) {
        const int moved = fcntl(*end, F_DUPFD_CLOEXEC, 100);
        close(*end);
        *end = moved;
    }
    if (dup3(toProgram[0], commandAt, O_CLOEXEC) < 0 || dup3(fromProgram[1], replyAt, O_CLOEXEC) < 0) _exit(11);
    close(toProgram[0]);
    close(fromProgram[1]);

    ui::WebEngineProcess process;
    if (process.start({"/bin/sh", "-c", "read line <&3 && echo \"got $line\" >&4"}, commandAt, replyAt) != 0) _exit(12);
    close(commandAt);
    close(replyAt);
    if (write(toProgram[1], "ping\n", 5) != 5) _exit(13);
    std::string answer;
    char byte = 0;
    while (read(fromProgram[0], &byte, 1) == 1) answer += byte;
    _exit(answer == "got ping\n" ? 0 : 14);
}

TEST(WebEngineProcess, TheProgramFindsItsPipeWhereverTheAppsCopiesLay) {
    const std::vector<std::pair<int, int>> arrangements{
        {3, 4},  // on their own numbers
        {4, 3},  // each on the other's
        {5, 3},  // the command pipe where the program's start-up report goes
        {20, 21},
    };
    for (const auto& [commandAt, replyAt] : arrangements) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) exchangeWithCommandAndReplyAt(commandAt, replyAt);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << commandAt << "," << replyAt;
        EXPECT_EQ(WEXITSTATUS(status), 0) << "commands on " << commandAt << ", replies on " << replyAt;
    }
}

}  // namespace
}  // namespace ql
