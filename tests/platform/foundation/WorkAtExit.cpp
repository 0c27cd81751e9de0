// A program that ends while its background work is still going, for BackgroundWorkTests. A serial queue's job
// writes log lines and digests for a while, and performs blocks that log on another thread's run loop, then
// writes the file named by its first argument; main returns (or, with "exit", calls exit) as soon as that job
// has started. With "waits-for-main", the job waits for the main queue first, which never runs again.
//   foundation_work_at_exit MARKER [return|exit|waits-for-main]

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/foundation/Digest.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"

using namespace ql::ns;

namespace {

// Long enough that the end of main comes in the middle of it.
constexpr auto kWorkTime = std::chrono::milliseconds(300);

std::shared_ptr<RunLoop> loggingThreadLoop() {
    auto thread = std::make_shared<Thread>([] {
        RunLoop::current()->addSource(Port::port(), DefaultRunLoopMode);
        RunLoop::current()->run();
    });
    thread->start();
    return thread->runLoop();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string marker = argv[1];
    const std::string how = argc > 2 ? argv[2] : "return";
    static auto* started = new DispatchSemaphore(0);
    auto loop = loggingThreadLoop();
    DispatchQueue::serial("work-at-exit")->async([=] {
        started->signal();
        if (how == "waits-for-main") DispatchQueue::main()->sync([] {});
        const std::string chunk(64 * 1024, 'x');
        int round = 0;
        for (auto end = std::chrono::steady_clock::now() + kWorkTime; std::chrono::steady_clock::now() < end; ++round) {
            Log::write("round " + std::to_string(round) + " " + hexString(md5(chunk)));
            loop->performBlock([round] { Log::write("performed " + std::to_string(round)); });
        }
        std::ofstream(marker) << round << "\n";
    });
    started->wait();
    if (how == "exit") std::exit(0);
    return 0;
}
