#pragma once
// A file's extended attributes read and written as texts. Names are the caller's own; they are kept in
// the user namespace of the file system ("user.<name>").

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ql {

class UTExtendedFileAttributes {
public:
    // Nothing for an empty path.
    static std::shared_ptr<UTExtendedFileAttributes> withPath(std::string_view path);
    explicit UTExtendedFileAttributes(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // None for an empty name, a missing or empty attribute, or bytes that are no UTF-8.
    std::optional<std::string> valueForAttribute(std::string_view name) const;
    // No value removes the attribute.
    bool setValue(std::optional<std::string_view> value, std::string_view name) const;
    bool removeAttribute(std::string_view name) const;

private:
    std::string path_;
};

}  // namespace ql
