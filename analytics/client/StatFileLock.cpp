#include "analytics/client/StatFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/foundation/VolumeFault.h"

namespace ql {

namespace {

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd = -1;
    do {
        fd = ::open(path, flags, mode);
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

}  // namespace

StatFileLock::StatFileLock(const std::string& path) : lockedPath_(path) {
    // A read-only volume still lets an existing file be locked, opened for reading; a full one makes none.
    const int fault = ns::volumeFaultForTesting(path);
    if (!fault) fd_ = openRetrying(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0 && (fault || errno == EROFS)) fd_ = openRetrying(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0 && !lockRetrying(fd_, LOCK_EX)) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<StatFileLock> StatFileLock::claim(const std::string& path) {
    StatFileLock lock;
    lock.lockedPath_ = path;
    // Non-blocking, so that a pipe put in the file's place cannot hold the open up.
    lock.fd_ = openRetrying(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (lock.fd_ < 0) return std::nullopt;
    struct stat opened {};
    if (::fstat(lock.fd_, &opened) != 0 || !S_ISREG(opened.st_mode)) return std::nullopt;
    if (!lockRetrying(lock.fd_, LOCK_EX | LOCK_NB)) return std::nullopt;
    // The holder before us may have finished with the file and removed it, or a new file may have taken its
    // name: only the file the path names now is ours to work on.
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0 || named.st_dev != opened.st_dev || named.st_ino != opened.st_ino)
        return std::nullopt;
    return lock;
}

StatFileLock::~StatFileLock() {
    if (fd_ >= 0) ::close(fd_);
}

StatFileLock::StatFileLock(StatFileLock&& other) noexcept
    : lockedPath_(std::move(other.lockedPath_)), fd_(other.fd_) {
    other.fd_ = -1;
}

std::optional<ns::Data> StatFileLock::contents(std::size_t limit) const {
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
    return ns::Data(std::move(bytes));
}

bool StatFileLock::replaceContents(std::string_view bytes) const {
    if (fd_ < 0 || ns::volumeFaultForTesting(lockedPath_)) return false;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return ::ftruncate(fd_, static_cast<off_t>(bytes.size())) == 0;
}

}  // namespace ql
