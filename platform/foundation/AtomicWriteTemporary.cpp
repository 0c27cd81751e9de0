#include "platform/foundation/AtomicWriteTemporary.h"

#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <filesystem>
#include <mutex>
#include <random>
#include <set>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"

namespace ql::ns {

namespace {

constexpr std::string_view kMarker = ".tmp-";

std::string temporarySiblingPath(const std::string& path, int attempt) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix(8, 'x');
    for (char& c : suffix) c = kAlphabet[random() % (sizeof kAlphabet - 1)];
    std::string parent = std::filesystem::path(path).parent_path().string();
    std::string name = "." + lastPathComponent(path) + std::string(kMarker) + suffix + std::to_string(attempt);
    return parent.empty() ? name : parent + "/" + name;
}

bool lockRetrying(int fd, int operation) {
    int result;
    do result = ::flock(fd, operation);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether the path still names the file open on the descriptor.
bool stillNamed(int fd, const std::string& path) {
    struct stat opened {}, named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && sameFile(opened, named);
}

// The lock is taken without waiting: a writer holds it for as long as its write is at work. Looked at
// before opening, so that nothing but a regular file is opened at all.
bool removeIfStale(const std::string& path) {
    struct stat before {};
    if (::lstat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) return false;
    FileDescriptor file(openRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY));
    if (!file || !lockRetrying(file.get(), LOCK_EX | LOCK_NB)) return false;
    // Unlinked while the lock is held: a writer that opened it and waits for the lock finds it gone.
    return stillNamed(file.get(), path) && ::unlink(path.c_str()) == 0;
}

}  // namespace

std::optional<AtomicWriteTemporary> AtomicWriteTemporary::create(const std::string& targetPath, mode_t mode) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = temporarySiblingPath(targetPath, attempt);
        FileDescriptor writing(openRetrying(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode));
        if (!writing) {
            if (errno == EEXIST) continue;
            return std::nullopt;
        }
        FileDescriptor lock(::fcntl(writing.get(), F_DUPFD_CLOEXEC, 0));
        if (!lock) {
            const int failure = errno;
            ::unlink(path.c_str());
            errno = failure;
            return std::nullopt;
        }
        // A file system without such locks leaves the temporary unlocked, and no opening ever removes it.
        lockRetrying(lock.get(), LOCK_EX);
        // Someone opening the folder may have found it unlocked in the moment before, and removed it.
        if (!stillNamed(lock.get(), path)) continue;
        return AtomicWriteTemporary(std::move(path), std::move(writing), std::move(lock));
    }
    errno = EEXIST;
    return std::nullopt;
}

int AtomicWriteTemporary::replace(const std::string& targetPath) {
    const int failure = ::rename(path_.c_str(), targetPath.c_str()) == 0 ? 0 : errno;
    if (failure) discard();
    else lettingGo();
    return failure;
}

int AtomicWriteTemporary::install(const std::string& targetPath) {
    int failure = ::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, targetPath.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
    if (failure == EINVAL || failure == ENOSYS) {
        // A file system without such renames: a hard link is made only where nothing is either.
        failure = ::link(path_.c_str(), targetPath.c_str()) == 0 ? 0 : errno;
        if (!failure) ::unlink(path_.c_str());
    }
    if (failure) discard();
    else lettingGo();
    return failure;
}

void AtomicWriteTemporary::discard() {
    ::unlink(path_.c_str());
    lettingGo();
}

void AtomicWriteTemporary::lettingGo() {
    writing_ = FileDescriptor();
    lock_ = FileDescriptor();
}

bool isAtomicWriteTemporaryName(std::string_view name, std::string_view targetName) {
    if (!targetName.empty()) {
        const std::string prefix = "." + std::string(targetName) + std::string(kMarker);
        return name.size() > prefix.size() && name.starts_with(prefix);
    }
    const auto marker = name.rfind(kMarker);
    return name.starts_with('.') && marker != std::string_view::npos && marker > 1 &&
           marker + kMarker.size() < name.size();
}

std::size_t removeStaleAtomicWriteTemporaries(const std::string& folder, std::string_view targetName) {
    std::size_t removed = 0;
    const auto names = FileManager::defaultManager().contentsOfDirectoryAtPath(folder);
    for (const std::string& name : names.value_or(std::vector<std::string>{}))
        if (isAtomicWriteTemporaryName(name, targetName) && removeIfStale(folder + "/" + name)) ++removed;
    return removed;
}

std::size_t removeStaleAtomicWriteTemporariesAtFirstOpening(const std::string& folder, std::string_view targetName) {
    static std::mutex mutex;
    static auto& opened = *new std::set<std::string>;  // guarded by mutex: folder, a NUL, the target's name
    // Held through the removal, so a store's second opening finds its leftovers gone; the removal never waits.
    std::lock_guard lock(mutex);
    if (!opened.insert(folder + '\0' + std::string(targetName)).second) return 0;
    return removeStaleAtomicWriteTemporaries(folder, targetName);
}

}  // namespace ql::ns
