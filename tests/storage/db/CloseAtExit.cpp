// A program whose exit handler closes a database queue that a stopped job holds, for DatabaseQueueAtExitTests.
//   storage_db_close_at_exit DATABASE end|read
// end: sets the user default "set-in-main" without synchronizing it; a pool job works on the queue of DATABASE,
//   waiting on a semaphore inside; main ends its background work with a short allowance and returns 5. An exit
//   handler sets the user default "set-in-handler", signals the semaphore, so that the job's thread wakes and
//   stops for good holding the queue, then closes the queue. "the queue closed" on standard output is a fault:
//   what ends the process is the end's allowance.
// read: prints the two user defaults, one a line, "nothing" for one not set.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/foundation/BackgroundWork.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/UserDefaults.h"
#include "storage/db/DatabaseQueue.h"
#include "tests/support/ChildProgram.h"

using namespace ql;

namespace {

// Short, so that the test does not wait out the whole of the usual one.
constexpr double kShortAllowance = 1.5;

const char* const kKeys[] = {"set-in-main", "set-in-handler"};

std::shared_ptr<DatabaseQueue> heldQueue;
ns::DispatchSemaphore* heldJobWaits;

void wakeTheStoppedJobThenCloseItsQueue() {
    ns::UserDefaults::standard().setObject(ns::Value("yes"), kKeys[1]);
    heldJobWaits->signal();
    heldQueue->close();
    std::printf("the queue closed\n");
}

int endWithAnExitHandlerClosingAHeldQueue(const std::string& database) {
    ns::UserDefaults::standard().setObject(ns::Value("yes"), kKeys[0]);
    heldQueue = DatabaseQueue::databaseQueueWithPath(database);
    if (!heldQueue) return 2;
    static auto* started = new ns::DispatchSemaphore(0);
    heldJobWaits = new ns::DispatchSemaphore(0);
    ns::DispatchQueue::global()->async([] {
        heldQueue->inDatabase([](const std::shared_ptr<Database>&) {
            started->signal();
            heldJobWaits->wait();
        });
    });
    started->wait();
    std::atexit(wakeTheStoppedJobThenCloseItsQueue);
    ns::BackgroundWork::endTheProcess(kShortAllowance);
    test::tellTheEndBegins();
    return 5;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    if (std::string(argv[2]) == "end") return endWithAnExitHandlerClosingAHeldQueue(argv[1]);
    for (const char* key : kKeys)
        std::printf("%s\n", ns::UserDefaults::standard().stringForKey(key).value_or("nothing").c_str());
    return 0;
}
