#include "platform/web/WebEngineProfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/foundation/Sandbox.h"

namespace ql::ui {
namespace {

constexpr std::string_view kFolderPrefix = "web-engine-";
// Held while folders are looked over and a new one is made and locked, so that no process takes a folder
// another has just made (and not yet locked) for one left behind.
constexpr std::string_view kMakingLock = "web-engine.lock";

// A lock of the file (or folder), on a descriptor of its own; -1 when it is held elsewhere or cannot be had.
int lockOf(const std::string& path, int flags, int operation) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return -1;
    while (flock(fd, operation) != 0) {
        if (errno == EINTR) continue;
        close(fd);
        return -1;
    }
    return fd;
}

void removeLeftBehind(const std::string& temporary) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(temporary, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code kind;
        if (!name.starts_with(kFolderPrefix) || it->is_symlink(kind) || !it->is_directory(kind)) continue;
        const int held = lockOf(it->path().string(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW, LOCK_EX | LOCK_NB);
        if (held < 0) continue;
        std::error_code ignored;
        std::filesystem::remove_all(it->path(), ignored);
        close(held);
    }
}

}  // namespace

std::unique_ptr<WebEngineProfile> WebEngineProfile::make(std::string* problem) {
    const std::string temporary = ns::temporaryDirectory();
    const int making = lockOf(temporary + std::string(kMakingLock), O_RDWR | O_CREAT, LOCK_EX);
    if (making < 0) {
        if (problem) *problem = std::strerror(errno);
        return nullptr;
    }
    removeLeftBehind(temporary);
    std::string folder = temporary + std::string(kFolderPrefix) + "XXXXXX";
    int lock = -1;
    if (mkdtemp(folder.data())) {
        // Shared: a look-over's exclusive try fails on it, from this process as from any other.
        lock = lockOf(folder, O_RDONLY | O_DIRECTORY, LOCK_SH);
        if (lock < 0) {
            const int failure = errno;
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
            errno = failure;
        }
    }
    const int failure = errno;
    close(making);
    if (lock < 0) {
        if (problem) *problem = std::strerror(failure);
        return nullptr;
    }
    return std::unique_ptr<WebEngineProfile>(new WebEngineProfile(std::move(folder), lock));
}

WebEngineProfile::~WebEngineProfile() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    close(lock_);
}

}  // namespace ql::ui
