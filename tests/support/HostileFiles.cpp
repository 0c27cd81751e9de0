#include "tests/support/HostileFiles.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <utility>

namespace ql::test {

namespace {

[[noreturn]] void failed(const std::string& what, const std::string& path) {
    throw std::runtime_error("cannot make " + what + " at " + path + ": " + std::strerror(errno));
}

// A socket address holds a short path only: the socket is bound in a short folder of its own and then
// renamed into place (the temporary folder and the sandboxes share one volume).
void placeSocket(const std::string& path) {
    std::string folder = (std::filesystem::temp_directory_path() / "qlsock-XXXXXX").string();
    if (!::mkdtemp(folder.data())) failed("a socket folder", folder);
    const std::string bound = folder + "/s";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, bound.c_str(), bound.size() + 1);
    const bool made = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                      ::rename(bound.c_str(), path.c_str()) == 0;
    const int error = errno;
    if (fd >= 0) ::close(fd);
    std::filesystem::remove_all(folder);
    errno = error;
    if (!made) failed("a socket", path);
}

}  // namespace

std::vector<HostileFile> hostileFiles() {
    return {HostileFile::FIFO, HostileFile::Socket, HostileFile::EndlessDevice, HostileFile::Oversized};
}

std::string describe(HostileFile kind) {
    switch (kind) {
        case HostileFile::FIFO: return "a FIFO";
        case HostileFile::Socket: return "a socket";
        case HostileFile::EndlessDevice: return "a link to /dev/zero";
        case HostileFile::Oversized: return "an oversized file";
    }
    return "?";
}

void placeHostileFile(HostileFile kind, const std::string& path, std::uint64_t oversizedLength) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    switch (kind) {
        case HostileFile::FIFO:
            if (::mkfifo(path.c_str(), 0600) != 0) failed("a FIFO", path);
            return;
        case HostileFile::Socket: return placeSocket(path);
        case HostileFile::EndlessDevice:
            if (::symlink("/dev/zero", path.c_str()) != 0) failed("a link", path);
            return;
        case HostileFile::Oversized: {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            const bool made = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(oversizedLength)) == 0;
            if (fd >= 0) ::close(fd);
            if (!made) failed("an oversized file", path);
            return;
        }
    }
}

HangGuard::HangGuard(std::string what, std::chrono::seconds limit)
    : watcher_([this, what = std::move(what), limit] {
          std::unique_lock lock(mutex_);
          if (ended_.wait_for(lock, limit, [this] { return done_; })) return;
          std::fprintf(stderr, "FAILED: %s did not end within %lld s: it hangs\n", what.c_str(),
                       static_cast<long long>(limit.count()));
          std::fflush(stderr);
          std::_Exit(EXIT_FAILURE);
      }) {}

HangGuard::~HangGuard() {
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    ended_.notify_one();
    watcher_.join();
}

}  // namespace ql::test
