#include "storage/foundation/UTAsyncFileDeleter.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/UUID.h"
#include "storage/foundation/UTPaths.h"

namespace ql {

namespace {

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// A name beside the item, hidden, for when the temporary folder is on another file system (where a
// rename cannot go) or no longer there.
std::string hiddenSibling(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const std::size_t slash = trimmed.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : trimmed.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    return folder + "." + name + "." + ns::UUID().UUIDString() + ".deleting";
}

// Where the item went, or nothing when it could not be moved.
std::optional<std::string> moveAside(const std::string& path) {
    std::string target = pathForTemporaryFile();
    if (::rename(path.c_str(), target.c_str()) == 0) return target;
    if (!exists(path)) return std::nullopt;
    target = hiddenSibling(path);
    if (::rename(path.c_str(), target.c_str()) == 0) return target;
    return std::nullopt;
}

}  // namespace

UTAsyncFileDeleter::UTAsyncFileDeleter() { queues(); }

UTAsyncFileDeleter::Queues& UTAsyncFileDeleter::queues() {
    static auto& shared = *new Queues;
    return shared;
}

const std::shared_ptr<UTAsyncFileDeleter>& UTAsyncFileDeleter::sharedInstance() {
    static const auto& deleter = *new std::shared_ptr<UTAsyncFileDeleter>(std::make_shared<UTAsyncFileDeleter>());
    return deleter;
}

void UTAsyncFileDeleter::removeItemAtPath(std::string_view path) {
    if (path.empty()) return;
    std::optional<std::string> moved;
    const std::string source(path);
    queues().rename->sync([&] { moved = moveAside(source); });
    if (!moved) return;
    queues().group->async(queues().remove, [target = *moved] { ns::FileManager::defaultManager().removeItemAtPath(target); });
}

void UTAsyncFileDeleter::removeItemAtURL(const ns::URL& url) { removeItemAtPath(url.path()); }

void UTAsyncFileDeleter::waitUntilFinished() { queues().group->wait(-1); }

}  // namespace ql
