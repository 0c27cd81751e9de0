#pragma once
// ns::FileDescriptor: owns one open file descriptor of the file layer's own, closed when it goes; and the
// open that resumes when a signal interrupts it. Internal to the foundation's file code.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace ql::ns {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes now and answers the errno of a failed close (0 on success), which may report a deferred write error.
    int close() {
        int result = ::close(std::exchange(fd_, -1)) == 0 ? 0 : errno;
        return result == EINTR ? 0 : result;
    }

private:
    int fd_;
};

// Close-on-exec always.
inline int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do fd = ::open(path, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace ql::ns
