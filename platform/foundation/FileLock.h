#pragma once
// ns::FileLock: an exclusive lock on a file that other processes honour too (two apps may share one home),
// held for the object's lifetime. The kernel lets go of it when the holder's descriptor closes, however its
// process ends, so a process that dies never leaves a file locked. Every lock opens the file anew: two locks
// on one path exclude each other within one process as well. Interrupted calls are resumed, not failures.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

namespace ql::ns {

class FileLock {
public:
    // Opens the file, made when missing, and waits for the lock. A read-only volume (or one with a volume
    // fault laid on it) still lets an existing file be locked, opened for reading; a full one makes none.
    // Without a file to lock (a folder that cannot be written, or something other than a file at the path)
    // nothing is held, and the work it would guard goes on unguarded: it cannot write either.
    explicit FileLock(const std::string& path);
    // The lock on an existing file when no one holds it, and only while the path still names the locked
    // file: nothing when it is locked elsewhere, is no regular file, or was removed or replaced meanwhile.
    // Never waits, not even for a pipe put in the file's place.
    static std::optional<FileLock> claim(const std::string& path);

    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&&) = delete;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return fd_ >= 0; }
    // The locked file's bytes, read through the lock's own descriptor; nothing when they cannot be read or
    // are more than `limit`.
    std::optional<Data> contents(std::size_t limit) const;
    // Replaces the locked file's bytes in place (a small record kept under the lock). False when it cannot
    // be written (also under a volume fault).
    bool replaceContents(std::string_view bytes) const;

private:
    FileLock() = default;
    std::string lockedPath_;
    int fd_ = -1;
};

}  // namespace ql::ns
