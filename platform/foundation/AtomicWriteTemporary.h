#pragma once
// The temporary file an atomic write fills and flushes before renaming it over its target: a hidden
// sibling ".<name>.tmp-<random>", so that walks skipping hidden files pass it by. Its writer holds a lock
// on it from the moment it exists until it has replaced the target or been removed, and the kernel lets go
// of that lock when the writer's process ends, however it ends. So a store opening its folder tells a
// write at work (of this process, or of another app sharing the home) from what a write left when its
// process died half-way, and removes only the latter.

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/FileDescriptor.h"

namespace ql::ns {

class AtomicWriteTemporary {
public:
    // A fresh temporary beside the target, made with the mode, open for writing and locked; nothing, with
    // errno set, when none can be made.
    static std::optional<AtomicWriteTemporary> create(const std::string& targetPath, mode_t mode);

    // Going without replace(), install() or discard() (a write given up on its way, by a return or a throw)
    // removes the file. Only a process that ends half-way leaves it, for the next opening of its store.
    ~AtomicWriteTemporary() {
        if (lock_) discard();
    }
    AtomicWriteTemporary(AtomicWriteTemporary&&) noexcept = default;
    AtomicWriteTemporary& operator=(AtomicWriteTemporary&&) = delete;

    const std::string& path() const { return path_; }
    int descriptor() const { return writing_.get(); }
    // Closes the descriptor written through: 0, or the errno of a deferred write error. The lock stays.
    int finishWriting() { return writing_.close(); }
    // Renames it over the target and lets go of it: 0, or the errno (it is removed then).
    int replace(const std::string& targetPath);
    // Renames it to the target only where nothing is (EEXIST otherwise), and lets go of it: 0, or the errno
    // (it is removed then).
    int install(const std::string& targetPath);
    // Removes it and lets go of it.
    void discard();

private:
    AtomicWriteTemporary(std::string path, FileDescriptor writing, FileDescriptor lock)
        : path_(std::move(path)), writing_(std::move(writing)), lock_(std::move(lock)) {}
    void lettingGo();

    std::string path_;
    FileDescriptor writing_;
    // The same open file as writing_, so that the lock outlives the closing of the descriptor written through.
    FileDescriptor lock_;
};

// Whether the name is one an atomic write gives its temporary; only for that target's name when one is given.
bool isAtomicWriteTemporaryName(std::string_view name, std::string_view targetName = {});

// Removes from the folder (not below it) the temporaries whose writers are gone, only those of the target's
// name when one is given, and answers how many. A temporary still locked by its writer stays, as does
// anything under such a name that is no regular file. Never waits.
std::size_t removeStaleAtomicWriteTemporaries(const std::string& folder, std::string_view targetName = {});

// The same the first time a process asks it for that folder and target name, and nothing (0) after: for a
// store read from its file at every access, whose first access is its opening.
std::size_t removeStaleAtomicWriteTemporariesAtFirstOpening(const std::string& folder,
                                                            std::string_view targetName = {});

}  // namespace ql::ns
