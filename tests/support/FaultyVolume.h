#pragma once
// A folder whose volume a test fills up or turns read-only. Where the process is root and may mount, it is
// a small tmpfs of its own, remounted read-only on demand; elsewhere (and as a second run where it may) the
// faults are laid on the file layer (platform/foundation/VolumeFault.h), which SQLite's files follow too
// through a pass-through file system of SQLite's that this helper makes the default.

#include <string>
#include <vector>

namespace ql::test {

enum class VolumeKind { Mounted, Injected };

// Every kind this process can make, injected faults first. When no tmpfs can be mounted the output says so
// once, with the reason: nothing is skipped silently.
std::vector<VolumeKind> volumeKinds();
std::string describe(VolumeKind kind);

class FaultyVolume {
public:
    static constexpr std::size_t kMountedBytes = 1 << 20;

    // Makes the folder (absent or empty) and, for a mounted volume, mounts it.
    FaultyVolume(VolumeKind kind, std::string folder);
    ~FaultyVolume();
    FaultyVolume(const FaultyVolume&) = delete;
    FaultyVolume& operator=(const FaultyVolume&) = delete;

    // No space is left: writes fail with ENOSPC, reads go on.
    void fill();
    // Every change fails with EROFS, reads go on.
    void makeReadOnly();
    // Space and writes are back.
    void restore();

    const std::string& folder() const { return folder_; }

private:
    VolumeKind kind_;
    std::string folder_;
};

}  // namespace ql::test
