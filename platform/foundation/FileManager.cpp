#include "platform/foundation/FileManager.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <utility>

#include "platform/foundation/AtomicWriteTemporary.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/VolumeFault.h"

namespace ql::ns {

namespace {

// Answers 0 or the errno of the failed write.
int writeAll(int fd, const std::uint8_t* bytes, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, bytes, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return 0;
}

std::string parentOf(std::string_view path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

Date dateOf(const struct statx_timestamp& t) {
    return Date::fromTimeIntervalSince1970(static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9);
}

std::string_view typeOf(mode_t mode) {
    switch (mode & S_IFMT) {
        case S_IFREG: return FileTypeRegular;
        case S_IFDIR: return FileTypeDirectory;
        case S_IFLNK: return FileTypeSymbolicLink;
        case S_IFSOCK: return FileTypeSocket;
        case S_IFCHR: return FileTypeCharacterSpecial;
        case S_IFBLK: return FileTypeBlockSpecial;
        default: return FileTypeUnknown;
    }
}

// lstat with the birth time where the file system has one. Answers 0 or the errno.
int readAttributes(const std::string& path, FileAttributes& out) {
    struct statx st {};
    unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, mask, &st) != 0) return errno;
    out.type = typeOf(st.stx_mode);
    out.size = st.stx_size;
    out.allocatedSize = st.stx_blocks * 512;
    out.modificationDate = dateOf(st.stx_mtime);
    out.creationDate = (st.stx_mask & STATX_BTIME) ? dateOf(st.stx_btime) : out.modificationDate;
    out.posixPermissions = st.stx_mode & 07777;
    out.referenceCount = st.stx_nlink;
    out.ownerAccountID = st.stx_uid;
    out.groupOwnerAccountID = st.stx_gid;
    out.systemNumber = (static_cast<std::uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
    out.systemFileNumber = st.stx_ino;
    return 0;
}

// The names of a folder in byte order, or the errno.
int listDirectory(const std::string& path, std::vector<std::string>& names) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return errno;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    int failure = errno;
    ::closedir(dir);
    if (failure) return failure;
    std::sort(names.begin(), names.end());
    return 0;
}

std::optional<unsigned> permissionsIn(const Dictionary& attributes) {
    const Value& v = attributes[FilePosixPermissions];
    if (!v.isNumber()) return std::nullopt;
    return static_cast<unsigned>(v.uint64Value() & 07777);
}

void syncDirectory(const std::string& path) {
    FileDescriptor dir(openRetrying(path.c_str(), O_RDONLY | O_DIRECTORY));
    if (dir) ::fsync(dir.get());
}

std::mutex hookMutex;
std::function<void(const std::string&)>& beforeReplaceHook() {
    static auto& hook = *new std::function<void(const std::string&)>;
    return hook;
}

Error withDestination(Error error, std::string_view toPath) {
    Dictionary info = error.userInfo();
    info.set(std::string(DestinationFilePathErrorKey), Value(toPath));
    return Error(error.domain(), error.code(), std::move(info));
}

void report(Error* slot, Error error) {
    if (slot) *slot = std::move(error);
}

bool fail(Error* slot, Error error) {
    report(slot, std::move(error));
    return false;
}

// Copies one regular file's bytes, mode and times to a new file. Reports read failures against the source
// and write failures against the destination.
bool copyRegularFile(const std::string& from, const std::string& to, const struct stat& st, Error* error) {
    // The name may have been given to a FIFO since it was looked at, whose opening would wait for a writer.
    FileDescriptor in(openRegularFile(from, O_RDONLY | O_NOFOLLOW));
    if (!in) return fail(error, fileErrorFromPOSIX(errno, from, false));
    FileDescriptor out(openRetrying(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));
    if (!out) return fail(error, fileErrorFromPOSIX(errno, to, true));
    bool kernelCopy = true;
    std::vector<std::uint8_t> buffer;
    for (;;) {
        if (kernelCopy) {
            ssize_t n = ::copy_file_range(in.get(), nullptr, out.get(), nullptr, 1 << 30, 0);
            if (n > 0) continue;
            if (n == 0) break;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                return fail(error, fileErrorFromPOSIX(errno, to, true));
            kernelCopy = false;
            buffer.resize(1 << 16);
        }
        ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(error, fileErrorFromPOSIX(errno, from, false));
        if (n == 0) break;
        if (int failure = writeAll(out.get(), buffer.data(), static_cast<std::size_t>(n)))
            return fail(error, fileErrorFromPOSIX(failure, to, true));
    }
    ::fchmod(out.get(), st.st_mode & 07777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times);
    if (int failure = out.close()) return fail(error, fileErrorFromPOSIX(failure, to, true));
    return true;
}

bool copyTree(const std::string& from, const std::string& to, Error* error) {
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0) return fail(error, fileErrorFromPOSIX(errno, from, false));
    switch (st.st_mode & S_IFMT) {
        case S_IFREG: return copyRegularFile(from, to, st, error);
        case S_IFLNK: {
            std::vector<char> target(static_cast<std::size_t>(st.st_size) + 1);
            ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
            if (n < 0) return fail(error, fileErrorFromPOSIX(errno, from, false));
            if (::symlink(std::string(target.data(), static_cast<std::size_t>(n)).c_str(), to.c_str()) != 0)
                return fail(error, fileErrorFromPOSIX(errno, to, true));
            return true;
        }
        case S_IFDIR: {
            // Owner access while filling it; the source's mode comes last.
            if (::mkdir(to.c_str(), 0700) != 0) return fail(error, fileErrorFromPOSIX(errno, to, true));
            std::vector<std::string> names;
            if (int failure = listDirectory(from, names))
                return fail(error, fileErrorFromPOSIX(failure, from, false));
            for (const auto& name : names)
                if (!copyTree(from + "/" + name, to + "/" + name, error)) return false;
            ::chmod(to.c_str(), st.st_mode & 07777);
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            ::utimensat(AT_FDCWD, to.c_str(), times, 0);
            return true;
        }
        default:
            // Sockets, devices and pipes have no contents to copy.
            return fail(error, fileErrorFromPOSIX(ENOTSUP, from, false));
    }
}

std::string descriptionFor(std::int64_t code, std::string_view name) {
    const std::string file = "\u201c" + std::string(name) + "\u201d";
    switch (code) {
        case FileNoSuchFileError: return "The file " + file + " doesn\u2019t exist.";
        case FileReadUnknownError: return "The file " + file + " couldn\u2019t be opened.";
        case FileReadNoPermissionError:
            return "The file " + file + " couldn\u2019t be opened because you don\u2019t have permission to view it.";
        case FileReadInvalidFileNameError:
            return "The file " + file + " couldn\u2019t be opened because the file name is incorrect.";
        case FileReadCorruptFileError:
            return "The file " + file + " couldn\u2019t be opened because it isn\u2019t in the correct format.";
        case FileReadNoSuchFileError:
            return "The file " + file + " couldn\u2019t be opened because there is no such file.";
        case FileReadTooLargeError: return "The file " + file + " couldn\u2019t be opened because it is too large.";
        case FileWriteNoPermissionError: return "You don\u2019t have permission to save the file " + file + ".";
        case FileWriteInvalidFileNameError:
            return "The file " + file + " couldn\u2019t be saved because the file name is incorrect.";
        case FileWriteFileExistsError:
            return "The file " + file + " couldn\u2019t be saved because a file with the same name already exists.";
        case FileWriteOutOfSpaceError:
            return "The file " + file + " couldn\u2019t be saved because there isn\u2019t enough space.";
        case FileWriteVolumeReadOnlyError:
            return "The file " + file + " couldn\u2019t be saved because the volume is read only.";
        default: return "The file " + file + " couldn\u2019t be saved.";
    }
}

}  // namespace

Error fileError(std::int64_t code, std::string_view path, int posixError) {
    Dictionary info;
    info.set(std::string(FilePathErrorKey), Value(path));
    info.set(std::string(LocalizedDescriptionKey), Value(descriptionFor(code, lastPathComponent(path))));
    if (posixError) {
        Error underlying(std::string(POSIXErrorDomain), posixError);
        info.set(std::string(UnderlyingErrorKey), underlying.boxed());
    }
    return Error(std::string(CocoaErrorDomain), code, std::move(info));
}

Error fileErrorFromPOSIX(int posixError, std::string_view path, bool writing) {
    std::int64_t code;
    switch (posixError) {
        case ENOENT: code = writing ? FileNoSuchFileError : FileReadNoSuchFileError; break;
        case EACCES:
        case EPERM: code = writing ? FileWriteNoPermissionError : FileReadNoPermissionError; break;
        case ENAMETOOLONG: code = writing ? FileWriteInvalidFileNameError : FileReadInvalidFileNameError; break;
        case EEXIST:
        case ENOTEMPTY: code = writing ? FileWriteFileExistsError : FileReadUnknownError; break;
        case ENOSPC:
        case EDQUOT: code = writing ? FileWriteOutOfSpaceError : FileReadUnknownError; break;
        case EROFS: code = writing ? FileWriteVolumeReadOnlyError : FileReadUnknownError; break;
        case EFBIG: code = writing ? FileWriteOutOfSpaceError : FileReadTooLargeError; break;
        default: code = writing ? FileWriteUnknownError : FileReadUnknownError; break;
    }
    return fileError(code, path, posixError);
}

Dictionary FileAttributes::dictionary() const {
    Dictionary d;
    d.set(std::string(FileType), Value(type));
    d.set(std::string(FileSize), Value(size));
    d.set(std::string(FileModificationDate), Value(modificationDate));
    d.set(std::string(FileCreationDate), Value(creationDate));
    d.set(std::string(FilePosixPermissions), Value(static_cast<std::uint64_t>(posixPermissions)));
    d.set(std::string(FileReferenceCount), Value(referenceCount));
    d.set(std::string(FileOwnerAccountID), Value(ownerAccountID));
    d.set(std::string(FileGroupOwnerAccountID), Value(groupOwnerAccountID));
    d.set(std::string(FileSystemNumber), Value(systemNumber));
    d.set(std::string(FileSystemFileNumber), Value(systemFileNumber));
    return d;
}

// MARK: - DirectoryEnumerator

int DirectoryEnumerator::push(std::string relativePath) {
    Frame frame;
    frame.relativePath = std::move(relativePath);
    std::string full = frame.relativePath.empty() ? root_ : root_ + "/" + frame.relativePath;
    if (int failure = listDirectory(full, frame.names)) return failure;
    stack_.push_back(std::move(frame));
    return 0;
}

std::optional<std::string> DirectoryEnumerator::nextObject() {
    if (descendPending_) {
        descendPending_ = false;
        push(currentPath_);  // an unreadable folder is reported but not entered
    }
    while (!stack_.empty()) {
        Frame& frame = stack_.back();
        if (frame.next == frame.names.size()) {
            stack_.pop_back();
            continue;
        }
        const std::string& name = frame.names[frame.next++];
        if ((options_ & DirectoryEnumerationSkipsHiddenFiles) && name.front() == '.') continue;
        std::string relative = frame.relativePath.empty() ? name : frame.relativePath + "/" + name;
        if (readAttributes(root_ + "/" + relative, current_) != 0) continue;  // gone since the listing
        currentLevel_ = stack_.size();
        descendPending_ = current_.isDirectory() && !(options_ & DirectoryEnumerationSkipsSubdirectoryDescendants);
        currentPath_ = relative;
        return relative;
    }
    return std::nullopt;
}

// MARK: - FileManager

const Class& FileManager::classObject() {
    static const Class& cls = *new Class("NSFileManager", &Object::classObject());
    return cls;
}

FileManager& FileManager::defaultManager() {
    // Never destroyed, so that objects torn down at exit may still write their files.
    static auto* manager = new std::shared_ptr<FileManager>(std::make_shared<FileManager>());
    return **manager;
}

bool FileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

std::optional<FileAttributes> FileManager::attributesOfItemAtPath(const std::string& path, Error* error) const {
    FileAttributes attributes;
    if (int failure = readAttributes(path, attributes)) {
        report(error, fileErrorFromPOSIX(failure, path, false));
        return std::nullopt;
    }
    return attributes;
}

bool FileManager::setAttributes(const Dictionary& attributes, const std::string& path, Error* error) const {
    if (auto mode = permissionsIn(attributes); mode && ::chmod(path.c_str(), *mode) != 0)
        return fail(error, fileErrorFromPOSIX(errno, path, true));
    if (auto date = attributes[FileModificationDate].asDate()) {
        double seconds = date->timeIntervalSince1970();
        double whole = std::floor(seconds);
        struct timespec times[2] = {{0, UTIME_OMIT},
                                    {static_cast<time_t>(whole), static_cast<long>((seconds - whole) * 1e9)}};
        if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
            return fail(error, fileErrorFromPOSIX(errno, path, true));
    }
    return true;
}

bool FileManager::createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories,
                                        const Dictionary& attributes, Error* error) const {
    std::optional<unsigned> mode = permissionsIn(attributes);
    auto make = [&](const std::string& folder) {
        if (int fault = volumeFaultForTesting(folder)) return fault;
        if (::mkdir(folder.c_str(), mode.value_or(0777)) != 0) return errno;
        if (mode) ::chmod(folder.c_str(), *mode);
        return 0;
    };
    if (path.empty()) return fail(error, fileErrorFromPOSIX(ENOENT, path, true));
    if (!withIntermediateDirectories) {
        if (int failure = make(path)) return fail(error, fileErrorFromPOSIX(failure, path, true));
        return true;
    }
    // Walk down from the first component, making what is missing; a folder made by someone else meanwhile is fine.
    std::string::size_type position = 0;
    for (;;) {
        position = path.find('/', position + 1);
        std::string prefix = path.substr(0, position);
        if (!prefix.empty() && prefix.back() != '/') {
            struct stat st {};
            if (::stat(prefix.c_str(), &st) == 0) {
                if (!S_ISDIR(st.st_mode))
                    return fail(error, fileErrorFromPOSIX(position == std::string::npos ? EEXIST : ENOTDIR, prefix, true));
            } else if (int failure = make(prefix); failure && failure != EEXIST) {
                return fail(error, fileErrorFromPOSIX(failure, prefix, true));
            }
        }
        if (position == std::string::npos) return true;
    }
}

std::optional<std::vector<std::string>> FileManager::contentsOfDirectoryAtPath(const std::string& path,
                                                                               Error* error) const {
    std::vector<std::string> names;
    if (int failure = listDirectory(path, names)) {
        report(error, fileErrorFromPOSIX(failure, path, false));
        return std::nullopt;
    }
    return names;
}

std::optional<DirectoryEnumerator> FileManager::enumeratorAtPath(const std::string& path, unsigned options) const {
    DirectoryEnumerator enumerator(path, options);
    if (enumerator.push("") != 0) return std::nullopt;
    return enumerator;
}

std::optional<std::vector<std::string>> FileManager::subpathsOfDirectoryAtPath(const std::string& path,
                                                                               Error* error) const {
    DirectoryEnumerator enumerator(path, 0);
    if (int failure = enumerator.push("")) {
        report(error, fileErrorFromPOSIX(failure, path, false));
        return std::nullopt;
    }
    std::vector<std::string> subpaths;
    while (auto next = enumerator.nextObject()) subpaths.push_back(std::move(*next));
    return subpaths;
}

std::optional<std::uint64_t> FileManager::totalSizeOfItemAtPath(const std::string& path, Error* error) const {
    auto attributes = attributesOfItemAtPath(path, error);
    if (!attributes) return std::nullopt;
    if (!attributes->isDirectory()) return attributes->size;
    DirectoryEnumerator enumerator(path, 0);
    if (int failure = enumerator.push("")) {
        report(error, fileErrorFromPOSIX(failure, path, false));
        return std::nullopt;
    }
    std::uint64_t total = 0;
    while (enumerator.nextObject())
        if (enumerator.fileAttributes().isRegularFile()) total += enumerator.fileAttributes().size;
    return total;
}

bool FileManager::moveItemAtPath(const std::string& path, const std::string& toPath, Error* error) const {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return fail(error, withDestination(fileErrorFromPOSIX(errno, path, true), toPath));
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, toPath.c_str(), RENAME_NOREPLACE) == 0) return true;
    int failure = errno;
    if (failure == EINVAL || failure == ENOSYS) {
        // A file system without no-replace renames: check, then rename.
        if (::lstat(toPath.c_str(), &st) == 0) failure = EEXIST;
        else failure = ::rename(path.c_str(), toPath.c_str()) == 0 ? 0 : errno;
        if (!failure) return true;
    }
    if (failure == EXDEV) {
        // Across file systems a move is a copy and a removal.
        return copyItemAtPath(path, toPath, error) && removeItemAtPath(path, error);
    }
    return fail(error, withDestination(fileErrorFromPOSIX(failure, failure == EEXIST ? toPath : path, true), toPath));
}

bool FileManager::copyItemAtPath(const std::string& path, const std::string& toPath, Error* error) const {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return fail(error, withDestination(fileErrorFromPOSIX(errno, path, false), toPath));
    if (::lstat(toPath.c_str(), &st) == 0)
        return fail(error, withDestination(fileErrorFromPOSIX(EEXIST, toPath, true), toPath));
    Error failure(std::string(CocoaErrorDomain), FileWriteUnknownError);
    if (copyTree(path, toPath, &failure)) return true;
    // Take away a partial copy (only ours: the destination did not exist before).
    std::error_code ignored;
    std::filesystem::remove_all(toPath, ignored);
    return fail(error, withDestination(std::move(failure), toPath));
}

bool FileManager::removeItemAtPath(const std::string& path, Error* error) const {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return fail(error, fileErrorFromPOSIX(errno, path, true));
    std::error_code failure;
    std::filesystem::remove_all(path, failure);
    if (failure) return fail(error, fileErrorFromPOSIX(failure.value(), path, true));
    return true;
}

bool FileManager::createFileAtPath(const std::string& path, const Data& contents, const Dictionary& attributes) const {
    return writeAtomically(path, contents, permissionsIn(attributes), nullptr);
}

std::optional<Data> FileManager::contentsAtPath(const std::string& path) const {
    return dataWithContentsOfFile(path, nullptr);
}

namespace {

enum class Placing { Replacing, WhereNothingIs };

bool writeThroughTemporary(const std::string& path, const Data& data, std::optional<unsigned> mode, Placing placing,
                           Error* error) {
    if (int fault = volumeFaultForTesting(path)) return fail(error, fileErrorFromPOSIX(fault, path, true));
    struct stat existing {};
    if (!mode && ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) mode = existing.st_mode & 07777;

    // 0666 lets the umask decide a new file's mode when none is asked for.
    auto temporary = AtomicWriteTemporary::create(path, mode ? 0600 : 0666);
    if (!temporary) return fail(error, fileErrorFromPOSIX(errno, path, true));

    int failure = 0;
    if (mode && ::fchmod(temporary->descriptor(), *mode) != 0) failure = errno;
    if (!failure) failure = writeAll(temporary->descriptor(), data.bytes(), data.length());
    if (!failure && ::fsync(temporary->descriptor()) != 0) failure = errno;
    if (int closeFailure = temporary->finishWriting(); !failure) failure = closeFailure;
    if (failure) return fail(error, fileErrorFromPOSIX(failure, path, true));

    std::function<void(const std::string&)> hook;
    {
        std::lock_guard lock(hookMutex);
        hook = beforeReplaceHook();
    }
    if (hook) hook(temporary->path());

    failure = placing == Placing::Replacing ? temporary->replace(path) : temporary->install(path);
    if (failure) return fail(error, fileErrorFromPOSIX(failure, path, true));
    syncDirectory(parentOf(path));
    return true;
}

}  // namespace

bool FileManager::writeAtomically(const std::string& path, const Data& data, std::optional<unsigned> mode,
                                  Error* error) const {
    return writeThroughTemporary(path, data, mode, Placing::Replacing, error);
}

bool FileManager::createAtomically(const std::string& path, const Data& data, std::optional<unsigned> mode,
                                   Error* error) const {
    return writeThroughTemporary(path, data, mode, Placing::WhereNothingIs, error);
}

void FileManager::setBeforeAtomicReplaceHookForTesting(std::function<void(const std::string&)> hook) {
    std::lock_guard lock(hookMutex);
    beforeReplaceHook() = std::move(hook);
}

// MARK: - Data

bool setExcludedFromBackup(const std::string& path, bool /*excluded*/, Error* error) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) return true;
    if (error) *error = fileErrorFromPOSIX(errno, path, true);
    return false;
}

std::optional<Data> dataWithContentsOfFile(const std::string& path, std::uint64_t maxLength, Error* error) {
    const auto file = RegularFile::open(path, maxLength, error);
    return file ? file->readAll(error) : std::nullopt;
}

std::optional<Data> dataWithContentsOfFile(const std::string& path, Error* error) {
    return dataWithContentsOfFile(path, MaxFileReadLength, error);
}

bool writeToFile(const Data& data, const std::string& path, unsigned options, Error* error) {
    struct stat st {};
    if ((options & DataWritingWithoutOverwriting) && ::lstat(path.c_str(), &st) == 0)
        return fail(error, fileErrorFromPOSIX(EEXIST, path, true));
    if (options & DataWritingAtomic)
        return options & DataWritingWithoutOverwriting
                   ? FileManager::defaultManager().createAtomically(path, data, std::nullopt, error)
                   : FileManager::defaultManager().writeAtomically(path, data, std::nullopt, error);
    if (int fault = volumeFaultForTesting(path)) return fail(error, fileErrorFromPOSIX(fault, path, true));
    int flags = O_WRONLY | O_CREAT | ((options & DataWritingWithoutOverwriting) ? O_EXCL : O_TRUNC);
    FileDescriptor file(openRetrying(path.c_str(), flags, 0666));
    if (!file) return fail(error, fileErrorFromPOSIX(errno, path, true));
    int failure = writeAll(file.get(), data.bytes(), data.length());
    if (int closeFailure = file.close(); !failure) failure = closeFailure;
    if (failure) return fail(error, fileErrorFromPOSIX(failure, path, true));
    return true;
}

}  // namespace ql::ns
