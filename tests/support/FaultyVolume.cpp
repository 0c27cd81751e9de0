#include "tests/support/FaultyVolume.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UUID.h"
#include "platform/foundation/VolumeFault.h"

namespace ql::test {

namespace {

constexpr const char* kFiller = "/.filler";

std::string mountOptions() { return "size=" + std::to_string(FaultyVolume::kMountedBytes) + ",mode=0755"; }

// Why no tmpfs can be mounted here, or nothing when one can.
std::string mountRefusal() {
    if (::geteuid() != 0) return "not running as root";
    const std::string probe = ns::temporaryDirectory() + "/volume-probe-" + ns::UUID().UUIDString();
    std::filesystem::create_directories(probe);
    std::string refusal;
    if (::mount("tmpfs", probe.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, mountOptions().c_str()) != 0)
        refusal = std::string("mount refused: ") + std::strerror(errno);
    else
        ::umount2(probe.c_str(), MNT_DETACH);
    std::filesystem::remove(probe);
    return refusal;
}

// ---- SQLite's files under injected faults ----
// A pass-through of the default file system whose writes fail as the fault laid on the file's folder says,
// and which opens files read-only where the volume would refuse writing, as SQLite's own does on EROFS.

sqlite3_vfs* realFileSystem = nullptr;

struct FaultyFile {
    sqlite3_file base;
    const char* path;  // valid until close, SQLite promises
    sqlite3_file* real;
};

sqlite3_file* real(sqlite3_file* file) { return reinterpret_cast<FaultyFile*>(file)->real; }

int faultyWrite(sqlite3_file* file, const void* bytes, int amount, sqlite3_int64 offset) {
    const char* path = reinterpret_cast<FaultyFile*>(file)->path;
    if (const int fault = path ? ns::volumeFaultForTesting(path) : 0) {
        errno = fault;
        return fault == ENOSPC ? SQLITE_FULL : SQLITE_IOERR_WRITE;
    }
    return real(file)->pMethods->xWrite(real(file), bytes, amount, offset);
}

int faultyClose(sqlite3_file* file) {
    const int rc = real(file)->pMethods->xClose(real(file));
    file->pMethods = nullptr;
    return rc;
}

const sqlite3_io_methods* faultyMethods() {
    static const sqlite3_io_methods methods = [] {
        sqlite3_io_methods m{};
        m.iVersion = 3;
        m.xClose = faultyClose;
        m.xRead = [](sqlite3_file* f, void* out, int n, sqlite3_int64 at) {
            return real(f)->pMethods->xRead(real(f), out, n, at);
        };
        m.xWrite = faultyWrite;
        m.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) { return real(f)->pMethods->xTruncate(real(f), size); };
        m.xSync = [](sqlite3_file* f, int flags) { return real(f)->pMethods->xSync(real(f), flags); };
        m.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) { return real(f)->pMethods->xFileSize(real(f), size); };
        m.xLock = [](sqlite3_file* f, int level) { return real(f)->pMethods->xLock(real(f), level); };
        m.xUnlock = [](sqlite3_file* f, int level) { return real(f)->pMethods->xUnlock(real(f), level); };
        m.xCheckReservedLock = [](sqlite3_file* f, int* out) {
            return real(f)->pMethods->xCheckReservedLock(real(f), out);
        };
        m.xFileControl = [](sqlite3_file* f, int op, void* arg) {
            return real(f)->pMethods->xFileControl(real(f), op, arg);
        };
        m.xSectorSize = [](sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); };
        m.xDeviceCharacteristics = [](sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); };
        m.xShmMap = [](sqlite3_file* f, int region, int size, int extend, void volatile** out) {
            return real(f)->pMethods->xShmMap(real(f), region, size, extend, out);
        };
        m.xShmLock = [](sqlite3_file* f, int offset, int n, int flags) {
            return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
        };
        m.xShmBarrier = [](sqlite3_file* f) { real(f)->pMethods->xShmBarrier(real(f)); };
        m.xShmUnmap = [](sqlite3_file* f, int remove) { return real(f)->pMethods->xShmUnmap(real(f), remove); };
        m.xFetch = [](sqlite3_file* f, sqlite3_int64 at, int n, void** out) {
            return real(f)->pMethods->xFetch(real(f), at, n, out);
        };
        m.xUnfetch = [](sqlite3_file* f, sqlite3_int64 at, void* p) {
            return real(f)->pMethods->xUnfetch(real(f), at, p);
        };
        return m;
    }();
    return &methods;
}

int faultyOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    auto* faulty = reinterpret_cast<FaultyFile*>(file);
    faulty->base.pMethods = nullptr;
    faulty->path = name;
    faulty->real = reinterpret_cast<sqlite3_file*>(faulty + 1);
    std::memset(faulty->real, 0, static_cast<std::size_t>(realFileSystem->szOsFile));
    if (name && ns::volumeFaultForTesting(name) == EROFS && (flags & SQLITE_OPEN_READWRITE)) {
        if (::access(name, F_OK) != 0) {
            errno = EROFS;
            return SQLITE_CANTOPEN;
        }
        flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
    }
    const int rc = realFileSystem->xOpen(realFileSystem, name, faulty->real, flags, outFlags);
    // SQLite closes whatever has methods, even after a failed open: the real file is closed through ours.
    if (faulty->real->pMethods) faulty->base.pMethods = faultyMethods();
    return rc;
}

void makeSQLiteFollowFaults() {
    static std::once_flag once;
    std::call_once(once, [] {
        realFileSystem = sqlite3_vfs_find(nullptr);
        static sqlite3_vfs faulty = *realFileSystem;
        faulty.zName = "faulty-volume";
        faulty.szOsFile = static_cast<int>(sizeof(FaultyFile)) + realFileSystem->szOsFile;
        faulty.xOpen = faultyOpen;
        if (sqlite3_vfs_register(&faulty, 1) != SQLITE_OK) throw std::runtime_error("cannot register a file system");
    });
}

// ---- Mounted ----

void remount(const std::string& folder, unsigned long flags) {
    if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT | MS_NOSUID | MS_NODEV | flags, mountOptions().c_str()) != 0)
        throw std::runtime_error("cannot remount " + folder + ": " + std::strerror(errno));
}

}  // namespace

std::vector<VolumeKind> volumeKinds() {
    static const std::string refusal = mountRefusal();
    static std::once_flag told;
    if (!refusal.empty()) {
        std::call_once(told, [] {
            std::fprintf(stderr, "No tmpfs for volume faults (%s): they are injected through the file layer only.\n",
                         refusal.c_str());
        });
        return {VolumeKind::Injected};
    }
    return {VolumeKind::Injected, VolumeKind::Mounted};
}

std::string describe(VolumeKind kind) {
    return kind == VolumeKind::Mounted ? "a small tmpfs" : "faults injected through the file layer";
}

FaultyVolume::FaultyVolume(VolumeKind kind, std::string folder) : kind_(kind), folder_(std::move(folder)) {
    std::filesystem::create_directories(folder_);
    if (kind_ == VolumeKind::Injected) {
        makeSQLiteFollowFaults();
        return;
    }
    if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, mountOptions().c_str()) != 0)
        throw std::runtime_error("cannot mount a tmpfs on " + folder_ + ": " + std::strerror(errno));
}

FaultyVolume::~FaultyVolume() {
    if (kind_ == VolumeKind::Injected) ns::setVolumeFaultForTesting(folder_, 0);
    else ::umount2(folder_.c_str(), MNT_DETACH);
}

void FaultyVolume::fill() {
    if (kind_ == VolumeKind::Injected) {
        ns::setVolumeFaultForTesting(folder_, ENOSPC);
        return;
    }
    const int file = ::open((folder_ + kFiller).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (file < 0) throw std::runtime_error("cannot make the filler: " + std::string(std::strerror(errno)));
    static const std::vector<char> chunk(4096, 'x');
    while (::write(file, chunk.data(), chunk.size()) > 0) {
    }
    const int stopped = errno;
    ::close(file);
    if (stopped != ENOSPC) throw std::runtime_error("the filler stopped short: " + std::string(std::strerror(stopped)));
}

void FaultyVolume::makeReadOnly() {
    if (kind_ == VolumeKind::Injected) ns::setVolumeFaultForTesting(folder_, EROFS);
    else remount(folder_, MS_RDONLY);
}

void FaultyVolume::restore() {
    if (kind_ == VolumeKind::Injected) {
        ns::setVolumeFaultForTesting(folder_, 0);
        return;
    }
    remount(folder_, 0);
    ::unlink((folder_ + kFiller).c_str());
}

}  // namespace ql::test
