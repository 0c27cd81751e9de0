#include "storage/foundation/UTExtendedFileAttributes.h"

#include <sys/xattr.h>

#include <cerrno>
#include <vector>

#include "platform/foundation/Text.h"

namespace ql {

namespace {

std::string attributeName(std::string_view name) { return "user." + std::string(name); }

}  // namespace

std::shared_ptr<UTExtendedFileAttributes> UTExtendedFileAttributes::withPath(std::string_view path) {
    if (path.empty()) return nullptr;
    return std::make_shared<UTExtendedFileAttributes>(std::string(path));
}

std::optional<std::string> UTExtendedFileAttributes::valueForAttribute(std::string_view name) const {
    if (name.empty()) return std::nullopt;
    const std::string key = attributeName(name);
    // The value may change between asking its size and reading it; a grown value is asked for again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        ssize_t size = ::getxattr(path_.c_str(), key.c_str(), nullptr, 0);
        if (size < 1) return std::nullopt;
        std::string value(static_cast<std::size_t>(size), '\0');
        ssize_t read = ::getxattr(path_.c_str(), key.c_str(), value.data(), value.size());
        if (read < 0 && errno == ERANGE) continue;
        if (read < 1) return std::nullopt;
        value.resize(static_cast<std::size_t>(read));
        if (!ns::isValidUTF8(value)) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

bool UTExtendedFileAttributes::setValue(std::optional<std::string_view> value, std::string_view name) const {
    if (name.empty()) return false;
    if (!value) return removeAttribute(name);
    return ::setxattr(path_.c_str(), attributeName(name).c_str(), value->data(), value->size(), 0) == 0;
}

bool UTExtendedFileAttributes::removeAttribute(std::string_view name) const {
    if (name.empty()) return false;
    return ::removexattr(path_.c_str(), attributeName(name).c_str()) == 0;
}

}  // namespace ql
