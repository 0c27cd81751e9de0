#pragma once
// What the world may put where a file of the app's belongs: a FIFO (opening it for reading waits for a
// writer), a socket, a link to /dev/zero (a read never ends) and a file larger than its reader allows
// (sparse: it takes no disk). A test puts each in place and checks that the reader refuses it and goes on;
// a HangGuard ends the test program should the reader wait all the same, so that the suite fails rather
// than hangs.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ql::test {

enum class HostileFile { FIFO, Socket, EndlessDevice, Oversized };

std::vector<HostileFile> hostileFiles();
std::string describe(HostileFile kind);

// Replaces whatever is at `path` (a file or a link) with the thing; the oversized file is `oversizedLength`
// bytes long.
void placeHostileFile(HostileFile kind, const std::string& path, std::uint64_t oversizedLength);

// While it lives, a watcher thread waits for it to go; should `limit` pass first, the failure is written out
// and the test program ends at once: the work that waits cannot be taken back from the waiting thread.
class HangGuard {
public:
    explicit HangGuard(std::string what, std::chrono::seconds limit = std::chrono::seconds(60));
    ~HangGuard();
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread watcher_;
};

}  // namespace ql::test
