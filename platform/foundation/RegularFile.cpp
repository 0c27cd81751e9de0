#include "platform/foundation/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"

namespace ql::ns {

namespace {

std::optional<Error> refusalOf(const struct stat& info, const std::string& path, std::uint64_t maxLength) {
    if (!S_ISREG(info.st_mode)) {
        Error error = fileError(FileReadUnknownError, path, S_ISDIR(info.st_mode) ? EISDIR : 0);
        Dictionary userInfo = error.userInfo();
        userInfo.set(std::string(LocalizedDescriptionKey),
                     Value("The file \u201c" + lastPathComponent(path) +
                           "\u201d couldn\u2019t be opened because it isn\u2019t a regular file."));
        return Error(error.domain(), error.code(), std::move(userInfo));
    }
    if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > maxLength)
        return fileError(FileReadTooLargeError, path, EFBIG);
    return std::nullopt;
}

std::nullopt_t report(Error* slot, Error error) {
    if (slot) *slot = std::move(error);
    return std::nullopt;
}

}  // namespace

std::optional<RegularFile> RegularFile::open(const std::string& path, std::uint64_t maxLength, Error* error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return report(error, fileErrorFromPOSIX(errno, path, false));
    if (auto refusal = refusalOf(info, path, maxLength)) return report(error, std::move(*refusal));
    int descriptor;
    do descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return report(error, fileErrorFromPOSIX(errno, path, false));
    RegularFile file(path, descriptor, maxLength);
    if (::fstat(descriptor, &info) != 0) return report(error, fileErrorFromPOSIX(errno, path, false));
    if (auto refusal = refusalOf(info, path, maxLength)) return report(error, std::move(*refusal));
    file.size_ = static_cast<std::uint64_t>(info.st_size);
    return file;
}

int openRegularFile(const std::string& path, int flags, mode_t mode) {
    const auto refusal = [](const struct stat& info) { return S_ISDIR(info.st_mode) ? EISDIR : ENOTSUP; };
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        errno = refusal(info);
        return -1;
    }
    int descriptor;
    do descriptor = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return -1;
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int failure = S_ISREG(info.st_mode) ? errno : refusal(info);
        ::close(descriptor);
        errno = failure;
        return -1;
    }
    return descriptor;
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : path_(std::move(other.path_)),
      descriptor_(std::exchange(other.descriptor_, -1)),
      maxLength_(other.maxLength_),
      size_(other.size_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) ::close(descriptor_);
        path_ = std::move(other.path_);
        descriptor_ = std::exchange(other.descriptor_, -1);
        maxLength_ = other.maxLength_;
        size_ = other.size_;
    }
    return *this;
}

RegularFile::~RegularFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

ssize_t RegularFile::readAt(void* buffer, std::size_t length, std::uint64_t offset) const {
    ssize_t count;
    do count = ::pread(descriptor_, buffer, length, static_cast<off_t>(offset));
    while (count < 0 && errno == EINTR);
    return count;
}

std::optional<Data> RegularFile::readAll(Error* error) const {
    // One byte past the bound tells a file that grew past it from one that ends there.
    const std::uint64_t limit = maxLength_ + (maxLength_ < UINT64_MAX ? 1 : 0);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(size_ + 1, limit)));
    std::size_t length = 0;
    for (;;) {
        if (length == bytes.size()) {
            if (length >= limit) break;
            bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(limit, bytes.size() * 2 + 4096)));
        }
        const ssize_t count = readAt(bytes.data() + length, bytes.size() - length, length);
        if (count < 0) return report(error, fileErrorFromPOSIX(errno, path_, false));
        if (count == 0) break;
        length += static_cast<std::size_t>(count);
    }
    if (length > maxLength_) return report(error, fileError(FileReadTooLargeError, path_, EFBIG));
    bytes.resize(length);
    return Data(std::move(bytes));
}

}  // namespace ql::ns
