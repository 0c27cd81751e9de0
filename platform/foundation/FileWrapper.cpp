#include "platform/foundation/FileWrapper.h"

namespace ql::ns {

std::shared_ptr<FileWrapper> FileWrapper::regularFileWithContents(Data contents) {
    auto wrapper = std::make_shared<FileWrapper>();
    wrapper->contents_ = std::move(contents);
    return wrapper;
}

std::shared_ptr<FileWrapper> FileWrapper::directoryWithFileWrappers(Children children) {
    auto wrapper = std::make_shared<FileWrapper>();
    wrapper->kind_ = Kind::Directory;
    for (auto& [name, child] : children) {
        if (child) wrapper->addFileWrapper(name, std::move(child));
    }
    return wrapper;
}

std::shared_ptr<FileWrapper> FileWrapper::symbolicLinkWithDestination(std::string destination) {
    auto wrapper = std::make_shared<FileWrapper>();
    wrapper->kind_ = Kind::SymbolicLink;
    wrapper->destination_ = std::move(destination);
    return wrapper;
}

std::optional<std::string> FileWrapper::symbolicLinkDestination() const {
    if (!isSymbolicLink()) return std::nullopt;
    return destination_;
}

void FileWrapper::addFileWrapper(std::string name, std::shared_ptr<FileWrapper> child) {
    if (!isDirectory() || !child) return;
    if (!child->preferredFilename_) child->preferredFilename_ = name;
    children_[std::move(name)] = std::move(child);
}

}  // namespace ql::ns
