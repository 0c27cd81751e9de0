#include "platform/foundation/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/foundation/VolumeFault.h"

namespace ql::ns {

namespace {

// Non-blocking, so that a pipe put in the file's place cannot hold the open up; the lock itself still waits.
int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd = -1;
    do {
        fd = ::open(path, flags | O_CLOEXEC | O_NONBLOCK, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool lockRetrying(int fd, int operation) {
    int result = -1;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool isRegularFile(int fd, struct stat& status) { return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode); }

}  // namespace

FileLock::FileLock(const std::string& path) : lockedPath_(path) {
    const int fault = volumeFaultForTesting(path);
    if (!fault) fd_ = openRetrying(path.c_str(), O_RDWR | O_CREAT, 0600);
    if (fd_ < 0 && (fault || errno == EROFS)) fd_ = openRetrying(path.c_str(), O_RDONLY);
    struct stat status {};
    if (fd_ >= 0 && (!isRegularFile(fd_, status) || !lockRetrying(fd_, LOCK_EX))) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<FileLock> FileLock::claim(const std::string& path) {
    FileLock lock;
    lock.lockedPath_ = path;
    lock.fd_ = openRetrying(path.c_str(), O_RDONLY);
    if (lock.fd_ < 0) return std::nullopt;
    struct stat opened {};
    if (!isRegularFile(lock.fd_, opened) || !lockRetrying(lock.fd_, LOCK_EX | LOCK_NB)) return std::nullopt;
    // The holder before us may have finished with the file and removed it, or a new file may have taken its
    // name: only the file the path names now is ours to work on.
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0 || named.st_dev != opened.st_dev || named.st_ino != opened.st_ino)
        return std::nullopt;
    return lock;
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);
}

FileLock::FileLock(FileLock&& other) noexcept
    : lockedPath_(std::move(other.lockedPath_)), fd_(std::exchange(other.fd_, -1)) {}

std::optional<Data> FileLock::contents(std::size_t limit) const {
    if (fd_ < 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[16384];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(fd_, chunk, sizeof chunk, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        if (bytes.size() + static_cast<std::size_t>(n) > limit) return std::nullopt;
        bytes.insert(bytes.end(), chunk, chunk + n);
        offset += n;
    }
    return Data(std::move(bytes));
}

bool FileLock::replaceContents(std::string_view bytes) const {
    if (fd_ < 0 || volumeFaultForTesting(lockedPath_)) return false;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    int result = -1;
    do {
        result = ::ftruncate(fd_, static_cast<off_t>(bytes.size()));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

}  // namespace ql::ns
