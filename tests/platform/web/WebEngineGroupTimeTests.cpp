// The processor time of a process group counts every process of the group, one started late included,
// nothing of the processes outside it, and never goes back when a process of the group ends.

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/web/WebEngineGroupTime.h"

namespace ql {
namespace {

// What /proc counts in: a clock tick.
constexpr double kTick = 0.01;

double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Uses `seconds` of the processor in the calling process.
void spin(double seconds) {
    const double until = processorSeconds() + seconds;
    while (processorSeconds() < until) {
    }
}

char readByte(int fd) {
    char byte = 0;
    while (read(fd, &byte, 1) < 0 && errno == EINTR) {
    }
    return byte;
}

void writeByte(int fd, char byte) { ASSERT_EQ(write(fd, &byte, 1), 1); }

// A child that spins `seconds` of the processor each time it reads a byte, and answers with one when done.
pid_t spinner(int orders, int answers, double seconds) {
    const pid_t child = fork();
    if (child == 0) {
        while (readByte(orders) != 0) {
            spin(seconds);
            if (write(answers, "d", 1) != 1) _exit(1);
        }
        _exit(0);
    }
    return child;
}

struct Pipe {
    Pipe() { EXPECT_EQ(pipe(ends), 0); }
    ~Pipe() {
        close(ends[0]);
        close(ends[1]);
    }
    int ends[2];
    int reading() const { return ends[0]; }
    int writing() const { return ends[1]; }
};

TEST(WebEngineGroupTime, CountsEveryProcessOfTheGroupAndNothingElse) {
    Pipe orders;
    Pipe answers;
    // The group's leader spins like its members, which it takes into its group.
    const pid_t leader = spinner(orders.reading(), answers.writing(), 0.2);
    ASSERT_GT(leader, 0);
    ASSERT_EQ(setpgid(leader, leader), 0);
    ui::WebEngineGroupTime time(leader);
    EXPECT_EQ(time.sinceFirstLook(), 0);

    writeByte(orders.writing(), 'g');
    readByte(answers.reading());
    const double afterLeader = time.sinceFirstLook();
    EXPECT_GE(afterLeader, 0.2 - kTick);

    // Processor time outside the group is not the group's.
    spin(0.2);
    EXPECT_LT(time.sinceFirstLook() - afterLeader, 0.2 - kTick);

    // A process that joins after the first look counts from its start.
    Pipe memberOrders;
    const pid_t member = spinner(memberOrders.reading(), answers.writing(), 0.3);
    ASSERT_GT(member, 0);
    ASSERT_EQ(setpgid(member, leader), 0);
    writeByte(memberOrders.writing(), 'g');
    readByte(answers.reading());
    const double afterMember = time.sinceFirstLook();
    EXPECT_GE(afterMember - afterLeader, 0.3 - kTick);

    // One that ends takes nothing back.
    kill(member, SIGKILL);
    waitpid(member, nullptr, 0);
    EXPECT_GE(time.sinceFirstLook(), afterMember);

    kill(leader, SIGKILL);
    waitpid(leader, nullptr, 0);
}

}  // namespace
}  // namespace ql
