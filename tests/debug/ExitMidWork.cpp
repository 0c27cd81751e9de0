// A program that calls exit(0) on a thread other than the main one while other work runs, for DuvExitTests. The
// crash store is installed on the folder CRASHES first.
//   debug_exit_mid_work CRASHES digests FOLDER
//     eight serial queues each take MD5 digests and write them to a file in FOLDER, twenty blocks a queue; a job on
//     a global queue calls exit once every queue has written once. The main thread waits on a semaphore meanwhile.
//   debug_exit_mid_work CRASHES downloads BASE_URL handler|main-timer
//     six image downloads of the web image manager run, each starting the next once its picture is kept (from
//     BASE_URL/image/<i>, a new query each time); the completion handler of a URL load of BASE_URL/quick calls
//     exit (handler), or a timer of the main thread that fires every millisecond does once that load has come
//     (main-timer). The main thread runs its run loop meanwhile.
// Ending in any other way than exit(0) from there is a fault: the process never ends otherwise.

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>

#include "debug/DuvCrashHelper.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/foundation/URL.h"
#include "images/webimage/WebImageManager.h"
#include "platform/net/URLSession.h"

using namespace ql;

namespace {

constexpr int kQueues = 8;
constexpr int kBlocksPerQueue = 20;
constexpr int kDownloads = 6;

void digestAndWrite(const std::string& path, int block) {
    const std::string chunk(16 * 1024, static_cast<char>('a' + block % 26));
    const std::string digest = ns::hexString(ns::md5(chunk + path));
    ns::FileManager::defaultManager().writeAtomically(path, ns::Data(digest), 0600, nullptr);
}

[[noreturn]] void exitWhileDigesting(const std::string& folder) {
    static auto* everyQueueWrote = new ns::DispatchSemaphore(0);
    static std::atomic<int> queuesThatWrote{0};
    for (int q = 0; q < kQueues; ++q) {
        const auto queue = ns::DispatchQueue::serial("digests-" + std::to_string(q));
        const std::string path = folder + "/digest-" + std::to_string(q);
        for (int block = 0; block < kBlocksPerQueue; ++block) {
            queue->async([path, block] {
                digestAndWrite(path, block);
                if (block == 0 && queuesThatWrote.fetch_add(1) + 1 == kQueues) everyQueueWrote->signal();
            });
        }
    }
    ns::DispatchQueue::global()->async([] {
        everyQueueWrote->wait();
        std::exit(0);
    });
    ns::DispatchSemaphore(0).wait();
    std::abort();  // never signalled
}

// One download after another of the picture `image`, each under a URL of its own, so none comes from the cache.
void keepDownloading(const std::string& base, int image, int round) {
    const std::string url = base + "image/" + std::to_string(image) + "?round=" + std::to_string(round);
    WebImageManager::sharedManager()->downloadImageWithURL(
        std::string_view(url), 0, {}, [base, image, round](const auto&, const auto&, auto, bool finished, const auto&) {
            if (finished) keepDownloading(base, image, round + 1);
        });
}

[[noreturn]] void exitWhileDownloading(const std::string& base, bool fromTheMainThread) {
    for (int i = 0; i < kDownloads; ++i) keepDownloading(base, i, 0);
    static std::atomic<bool> quickLoadCame{false};
    ns::URLSession::sharedSession()
        ->dataTaskWithURL(*ns::URL::fromString(base + "quick"),
                          [fromTheMainThread](const auto&, const auto&, const auto&) {
                              if (!fromTheMainThread) std::exit(0);
                              quickLoadCame.store(true);
                          })
        ->resume();
    if (fromTheMainThread) {
        ns::RunLoop::main()->addTimer(ns::Timer::timer(0.001, true,
                                                       [](ns::Timer&) {
                                                           if (quickLoadCame.load()) std::exit(0);
                                                       }),
                                      ns::DefaultRunLoopMode);
    }
    ns::RunLoop::main()->run();
    std::abort();  // the loop has a timer or waits for the loads: it never returns
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    // Kept for the process, as the app's store is.
    static DuvCrashHelper* const store = new DuvCrashHelper(argv[1]);
    store->install();
    const std::string how = argv[2];
    if (how == "digests") exitWhileDigesting(argv[3]);
    if (how == "downloads" && argc > 4) exitWhileDownloading(argv[3], std::string(argv[4]) == "main-timer");
    return 2;
}
