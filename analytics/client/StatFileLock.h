#pragma once
// An exclusive lock on a file that other processes honour too (two apps may share one home). The kernel
// lets go of it when its process ends, however it ends, so a process that dies never leaves a file locked.

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

namespace ql {

class StatFileLock {
public:
    // Opens the file, made when missing, and waits for the lock. Without a file to lock (a folder that cannot
    // be written) nothing is held, and the work it would guard goes on unguarded: it cannot write either.
    explicit StatFileLock(const std::string& path);
    // The lock on an existing file when no one holds it, and only while the path still names the locked
    // file: nothing when it is locked elsewhere, or was removed or replaced meanwhile.
    static std::optional<StatFileLock> claim(const std::string& path);

    ~StatFileLock();
    StatFileLock(StatFileLock&& other) noexcept;
    StatFileLock& operator=(StatFileLock&&) = delete;
    StatFileLock(const StatFileLock&) = delete;
    StatFileLock& operator=(const StatFileLock&) = delete;

    bool held() const { return fd_ >= 0; }
    // The locked file's bytes, read through the lock's own descriptor; nothing when they cannot be read or
    // are more than `limit`.
    std::optional<ns::Data> contents(std::size_t limit) const;
    // Replaces the locked file's bytes in place (a small record kept under the lock).
    bool replaceContents(std::string_view bytes) const;

private:
    StatFileLock() = default;
    std::string lockedPath_;
    int fd_ = -1;
};

}  // namespace ql
