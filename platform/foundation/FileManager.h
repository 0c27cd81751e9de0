#pragma once
// ns::FileManager: the file operations of the platform's file manager over POSIX (existence, attributes,
// folders, listing and tree walks, move, copy, remove) and atomic writes that never leave a half-written
// file in place. Failures are NSCocoaErrorDomain errors with the platform's codes, the path under
// NSFilePath and the POSIX error underneath.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

// Codes of file errors in CocoaErrorDomain.
inline constexpr std::int64_t FileNoSuchFileError = 4;
inline constexpr std::int64_t FileReadUnknownError = 256;
inline constexpr std::int64_t FileReadNoPermissionError = 257;
inline constexpr std::int64_t FileReadInvalidFileNameError = 258;
inline constexpr std::int64_t FileReadCorruptFileError = 259;
inline constexpr std::int64_t FileReadNoSuchFileError = 260;
inline constexpr std::int64_t FileReadTooLargeError = 263;
inline constexpr std::int64_t FileWriteUnknownError = 512;
inline constexpr std::int64_t FileWriteNoPermissionError = 513;
inline constexpr std::int64_t FileWriteInvalidFileNameError = 514;
inline constexpr std::int64_t FileWriteFileExistsError = 516;
inline constexpr std::int64_t FileWriteOutOfSpaceError = 640;
inline constexpr std::int64_t FileWriteVolumeReadOnlyError = 642;

// The second path of a move or copy, in the user info of its errors.
inline constexpr std::string_view DestinationFilePathErrorKey = "NSDestinationFilePath";

// Attribute keys and file types, with the platform's names.
inline constexpr std::string_view FileType = "NSFileType";
inline constexpr std::string_view FileSize = "NSFileSize";
inline constexpr std::string_view FileModificationDate = "NSFileModificationDate";
inline constexpr std::string_view FileCreationDate = "NSFileCreationDate";
inline constexpr std::string_view FilePosixPermissions = "NSFilePosixPermissions";
inline constexpr std::string_view FileReferenceCount = "NSFileReferenceCount";
inline constexpr std::string_view FileOwnerAccountID = "NSFileOwnerAccountID";
inline constexpr std::string_view FileGroupOwnerAccountID = "NSFileGroupOwnerAccountID";
inline constexpr std::string_view FileSystemNumber = "NSFileSystemNumber";
inline constexpr std::string_view FileSystemFileNumber = "NSFileSystemFileNumber";

inline constexpr std::string_view FileTypeRegular = "NSFileTypeRegular";
inline constexpr std::string_view FileTypeDirectory = "NSFileTypeDirectory";
inline constexpr std::string_view FileTypeSymbolicLink = "NSFileTypeSymbolicLink";
inline constexpr std::string_view FileTypeSocket = "NSFileTypeSocket";
inline constexpr std::string_view FileTypeCharacterSpecial = "NSFileTypeCharacterSpecial";
inline constexpr std::string_view FileTypeBlockSpecial = "NSFileTypeBlockSpecial";
inline constexpr std::string_view FileTypeUnknown = "NSFileTypeUnknown";

// What is known of one item, without following a symbolic link in its last component.
struct FileAttributes {
    std::string_view type = FileTypeUnknown;  // one of the FileType… names
    std::uint64_t size = 0;
    // Bytes the item occupies on disk, which may differ from its size (sparse files, block rounding).
    std::uint64_t allocatedSize = 0;
    Date modificationDate;
    // The birth time where the file system records one, else the modification date.
    Date creationDate;
    unsigned posixPermissions = 0;
    std::uint64_t referenceCount = 0;
    std::uint64_t ownerAccountID = 0;
    std::uint64_t groupOwnerAccountID = 0;
    std::uint64_t systemNumber = 0;
    std::uint64_t systemFileNumber = 0;

    bool isDirectory() const { return type == FileTypeDirectory; }
    bool isRegularFile() const { return type == FileTypeRegular; }
    // The same facts under the platform's keys (NSFileSize, NSFileType, …).
    Dictionary dictionary() const;
};

// Options of a tree walk, with the platform's values.
enum DirectoryEnumerationOptions : unsigned {
    DirectoryEnumerationSkipsSubdirectoryDescendants = 1u << 0,
    DirectoryEnumerationSkipsHiddenFiles = 1u << 2,
};

// A depth-first walk of a folder tree: each entry (folders before their contents, names in byte order)
// as a path relative to the walked folder. Symbolic links are reported, never followed.
class DirectoryEnumerator {
public:
    // The next entry's relative path; nothing when the walk is over.
    std::optional<std::string> nextObject();
    // Attributes of the entry nextObject last returned.
    const FileAttributes& fileAttributes() const { return current_; }
    // Do not descend into the folder nextObject last returned.
    void skipDescendants() { descendPending_ = false; }
    // Depth of the last returned entry: 1 for the walked folder's own children.
    std::size_t level() const { return currentLevel_; }

private:
    friend class FileManager;
    DirectoryEnumerator(std::string root, unsigned options) : root_(std::move(root)), options_(options) {}
    struct Frame {
        std::string relativePath;
        std::vector<std::string> names;
        std::size_t next = 0;
    };
    // Lists a folder onto the stack; 0 or the errno.
    int push(std::string relativePath);

    std::string root_;
    unsigned options_;
    std::vector<Frame> stack_;
    std::string currentPath_;
    FileAttributes current_;
    std::size_t currentLevel_ = 0;
    bool descendPending_ = false;
};

// Options of Data writes, with the platform's values.
enum DataWritingOptions : unsigned {
    DataWritingAtomic = 1u << 0,
    DataWritingWithoutOverwriting = 1u << 1,
};

class FileManager : public Object {
public:
    static const Class& classObject();
    const Class& objectClass() const override { return classObject(); }

    // The shared manager. Managers keep no state, so any instance may be used from any thread.
    static FileManager& defaultManager();

    // Follows symbolic links; isDirectory, when given, is set for an existing item.
    bool fileExistsAtPath(const std::string& path, bool* isDirectory = nullptr) const;
    std::optional<FileAttributes> attributesOfItemAtPath(const std::string& path, Error* error = nullptr) const;
    // Applies NSFilePosixPermissions and NSFileModificationDate; other keys are ignored.
    bool setAttributes(const Dictionary& attributes, const std::string& path, Error* error = nullptr) const;

    // With intermediates, missing parents are made too and an existing folder is success. NSFilePosixPermissions
    // in the attributes is applied exactly (without the umask) to every folder made.
    bool createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories,
                               const Dictionary& attributes = {}, Error* error = nullptr) const;
    // The names in a folder (no "." or ".."), hidden ones included, in byte order.
    std::optional<std::vector<std::string>> contentsOfDirectoryAtPath(const std::string& path,
                                                                      Error* error = nullptr) const;
    // Nothing when the path is no folder that can be read.
    std::optional<DirectoryEnumerator> enumeratorAtPath(const std::string& path, unsigned options = 0) const;
    // Every entry of the tree below the folder, as the enumerator gives them.
    std::optional<std::vector<std::string>> subpathsOfDirectoryAtPath(const std::string& path,
                                                                      Error* error = nullptr) const;
    // A file's size, or the sum of the sizes of the regular files in a folder tree.
    std::optional<std::uint64_t> totalSizeOfItemAtPath(const std::string& path, Error* error = nullptr) const;

    // Move and copy refuse to replace an existing destination. A copy keeps permissions and modification
    // dates, copies links as links, and is removed again when it fails half-way.
    bool moveItemAtPath(const std::string& path, const std::string& toPath, Error* error = nullptr) const;
    bool copyItemAtPath(const std::string& path, const std::string& toPath, Error* error = nullptr) const;
    // Removes a file, a link or a whole folder tree.
    bool removeItemAtPath(const std::string& path, Error* error = nullptr) const;

    // Creates or replaces the file atomically; NSFilePosixPermissions in the attributes sets its mode.
    bool createFileAtPath(const std::string& path, const Data& contents, const Dictionary& attributes = {}) const;
    // As dataWithContentsOfFile without a bound of the reader's.
    std::optional<Data> contentsAtPath(const std::string& path) const;

    // Writes the data to a temporary file in the same folder, flushes it to disk, then renames it over the
    // path, so readers see the old contents or the new, never a mix, whatever happens in between. The mode is
    // applied exactly; without one a new file gets 0666 less the umask and a replaced file keeps its mode.
    // What a write cut short by the end of its process leaves is removed by removeStaleAtomicWriteTemporaries
    // (AtomicWriteTemporary.h), which stores call when they open.
    bool writeAtomically(const std::string& path, const Data& data, std::optional<unsigned> mode,
                         Error* error = nullptr) const;

    // The same write, made only where nothing is yet: of writers racing for one path, the first one's file
    // stays and the others fail with FileWriteFileExistsError.
    bool createAtomically(const std::string& path, const Data& data, std::optional<unsigned> mode,
                          Error* error = nullptr) const;

    // Called once the temporary file of an atomic write is complete and flushed, just before it replaces the
    // target: tests use it to stop the process at the worst moment. An empty function removes it.
    static void setBeforeAtomicReplaceHookForTesting(std::function<void(const std::string& temporaryPath)> hook);
};

// The contents of a regular file (or of one a link leads to) of at most maxLength bytes; anything else is
// refused without being waited on or read, as ns::RegularFile tells. Readers pass the bound fitting what
// they read; without one it is MaxFileReadLength.
inline constexpr std::uint64_t MaxFileReadLength = std::uint64_t{1} << 30;
std::optional<Data> dataWithContentsOfFile(const std::string& path, std::uint64_t maxLength, Error* error = nullptr);
std::optional<Data> dataWithContentsOfFile(const std::string& path, Error* error = nullptr);
// Writes the data to a file, atomically with DataWritingAtomic; DataWritingWithoutOverwriting refuses an
// existing file (with both, one there by the time the write is complete).
bool writeToFile(const Data& data, const std::string& path, unsigned options, Error* error = nullptr);

// The resource key of the flag that keeps a file out of device backups.
inline constexpr std::string_view URLIsExcludedFromBackupKey = "NSURLIsExcludedFromBackupKey";
// Sets the excluded-from-backup flag of an existing file. There is no backup on this platform, so nothing is
// recorded: the answer is the platform's, true for a file that exists and false (with a file error) otherwise.
bool setExcludedFromBackup(const std::string& path, bool excluded, Error* error = nullptr);

// A file error in CocoaErrorDomain with the path, the platform's description and, when given, the POSIX
// error underneath.
Error fileError(std::int64_t code, std::string_view path, int posixError = 0);
// The file error for a POSIX failure of a read or of a write (ENOENT is 260 for a read and 4 for a write).
Error fileErrorFromPOSIX(int posixError, std::string_view path, bool writing);

}  // namespace ql::ns
