// A program in which a pool job calls exit() while another thread is ending the process, for BackgroundWorkTests.
//   foundation_second_exit return|exit|thread|job
// The first to end the process is main returning, main calling exit(0), an ns::Thread calling exit(0) or another
// pool job calling exit(0); the job calls exit(0) as soon as that thread has begun its end, so that it is the
// second caller. The program's own exit handler says "the exit handlers ran" on standard output.

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Thread.h"

using namespace ql::ns;

namespace {

std::atomic<bool> endBegan{false};

// Destroyed with the thread storage of the thread that ends the process, just before that thread's end of the
// background work: made after the thread's own, so destroyed before it.
struct TellsTheEndBegan {
    ~TellsTheEndBegan() {
        endBegan.store(true);
        endBegan.notify_all();
    }
};

void tellTheEndBeganWhenThisThreadEnds() {
    thread_local TellsTheEndBegan teller;
    (void)teller;
}

[[noreturn]] void endTheProcessFromHere() {
    tellTheEndBeganWhenThisThreadEnds();
    std::exit(0);
}

void tellTheExitHandlersRan() { std::printf("the exit handlers ran\n"); }

// Not a wait the pool knows of: the job counts as running all along, as one computing would.
void exitOnceTheEndHasBegun() {
    DispatchQueue::global()->async([] {
        endBegan.wait(false);
        std::exit(0);
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string first = argv[1];
    std::atexit(tellTheExitHandlersRan);
    exitOnceTheEndHasBegun();
    if (first == "exit") endTheProcessFromHere();
    if (first == "return") {
        tellTheEndBeganWhenThisThreadEnds();
        return 0;
    }
    if (first == "thread") Thread::detachNewThread([] { endTheProcessFromHere(); });
    else DispatchQueue::global()->async([] { endTheProcessFromHere(); });
    DispatchSemaphore(0).wait();  // never signalled: the process ends on the other threads
    return 1;
}
