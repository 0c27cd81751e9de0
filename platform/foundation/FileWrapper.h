#pragma once
// ns::FileWrapper: a file-system node held in memory: a regular file with its contents, a directory with
// its children by name, or a symbolic link with its destination.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"

namespace ql::ns {

class FileWrapper : public Object {
    QL_OBJECT_NAMED(FileWrapper, Object, "NSFileWrapper")

public:
    using Children = std::map<std::string, std::shared_ptr<FileWrapper>>;

    FileWrapper() = default;
    static std::shared_ptr<FileWrapper> regularFileWithContents(Data contents);
    static std::shared_ptr<FileWrapper> directoryWithFileWrappers(Children children);
    static std::shared_ptr<FileWrapper> symbolicLinkWithDestination(std::string destination);

    bool isRegularFile() const { return kind_ == Kind::RegularFile; }
    bool isDirectory() const { return kind_ == Kind::Directory; }
    bool isSymbolicLink() const { return kind_ == Kind::SymbolicLink; }

    // Empty unless a regular file.
    const Data& regularFileContents() const { return contents_; }
    // Empty unless a directory.
    const Children& fileWrappers() const { return children_; }
    // Nothing unless a symbolic link.
    std::optional<std::string> symbolicLinkDestination() const;

    const std::optional<std::string>& preferredFilename() const { return preferredFilename_; }
    void setPreferredFilename(std::optional<std::string> name) { preferredFilename_ = std::move(name); }
    // Adds or replaces a directory's child; ignored for other kinds.
    void addFileWrapper(std::string name, std::shared_ptr<FileWrapper> child);

private:
    enum class Kind { RegularFile, Directory, SymbolicLink };
    Kind kind_ = Kind::RegularFile;
    Data contents_;
    Children children_;
    std::string destination_;
    std::optional<std::string> preferredFilename_;
};

}  // namespace ql::ns
