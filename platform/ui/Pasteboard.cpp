#include "platform/ui/Pasteboard.h"

#include <unistd.h>

#include <map>

#include "platform/foundation/AtomicWriteTemporary.h"
#include "platform/foundation/FileLock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Value.h"

namespace ql::ui {

namespace {

constexpr std::string_view GeneralFileName = "general.pasteboard";
constexpr std::string_view ItemsKey = "items";
constexpr std::string_view ChangeCountKey = "changeCount";
// Items may be pictures as large as any picture file, with more beside them.
constexpr std::uint64_t MaxFileLength = std::uint64_t{512} << 20;

std::mutex registryMutex;
// Both guarded by registryMutex.
std::string& folderOverride() {
    static auto& folder = *new std::string;
    return folder;
}
std::map<std::string, std::shared_ptr<Pasteboard>>& localBoards() {
    static auto& boards = *new std::map<std::string, std::shared_ptr<Pasteboard>>;
    return boards;
}

// Any name becomes one safe file name: letters, digits, '-', '_' and inner dots stay, the rest is %XX.
std::string fileNameForName(const std::string& name) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out = "named-";
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || (c == '.' && i > 0);
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out + ".pasteboard";
}

std::string folderPath() {
    std::string folder;
    {
        std::lock_guard lock(registryMutex);
        folder = folderOverride();
    }
    if (folder.empty()) {
        const char* fromEnvironment = ::getenv("QUILLORY_PASTEBOARDS");
        if (fromEnvironment && *fromEnvironment) {
            folder = fromEnvironment;
        } else if (ns::Sandbox::hasHomeForTesting()) {
            // Tests running side by side must not share one clipboard.
            folder = ns::Sandbox::home() + "/SharedPasteboards";
        } else {
            folder = ns::userDataFolder() + "/quillory-pasteboards";
        }
    }
    ns::FileManager::defaultManager().createDirectoryAtPath(folder, true);
    // Writes of any app's pasteboards that a kill cut short left their temporaries here: they go when this
    // process first reads or writes a pasteboard of the folder, and at every write.
    ns::removeStaleAtomicWriteTemporariesAtFirstOpening(folder);
    return folder;
}

// Apps take the shared folder's lock file around each read-modify-write, so that one app's is never
// interleaved with another's.
std::string lockPath(const std::string& folder) { return folder + "/.lock"; }

}  // namespace

struct Pasteboard::Contents {
    ns::Dictionary items;
    std::int64_t changeCount = 0;
};

std::shared_ptr<Pasteboard> Pasteboard::generalPasteboard() {
    static const auto& general = *new std::shared_ptr<Pasteboard>(std::make_shared<Pasteboard>(""));
    return general;
}

std::shared_ptr<Pasteboard> Pasteboard::pasteboardWithName(const std::string& name, bool create) {
    if (name.empty()) return nullptr;
    {
        std::lock_guard lock(registryMutex);
        if (auto found = localBoards().find(name); found != localBoards().end()) return found->second;
    }
    auto board = std::make_shared<Pasteboard>(name);
    if (ns::FileManager::defaultManager().fileExistsAtPath(board->path())) return board;
    if (!create) return nullptr;
    board->local_ = std::make_shared<Contents>();
    std::lock_guard lock(registryMutex);
    return localBoards().emplace(name, board).first->second;
}

void Pasteboard::removePasteboardWithName(const std::string& name) {
    if (name.empty()) return;
    {
        std::lock_guard lock(registryMutex);
        localBoards().erase(name);
    }
    const std::string folder = folderPath();
    ns::FileLock lock(lockPath(folder));
    ::unlink((folder + "/" + fileNameForName(name)).c_str());
}

std::string Pasteboard::path() const {
    return folderPath() + "/" + (name_.empty() ? std::string(GeneralFileName) : fileNameForName(name_));
}

bool Pasteboard::isPersistent() const {
    std::lock_guard lock(mutex_);
    return local_ == nullptr;
}

void Pasteboard::setPersistent(bool persistent) {
    if (name_.empty()) return;  // the general pasteboard always is
    std::unique_lock lock(mutex_);
    if (persistent == (local_ == nullptr)) return;
    if (persistent) {
        const Contents contents = *local_;
        local_.reset();
        lock.unlock();
        {
            std::lock_guard registry(registryMutex);
            localBoards().erase(name_);
        }
        store(contents);
    } else {
        lock.unlock();
        auto contents = std::make_shared<Contents>(load());
        const std::string folder = folderPath();
        {
            ns::FileLock folderLock(lockPath(folder));
            ::unlink(path().c_str());
        }
        std::lock_guard again(mutex_);
        local_ = std::move(contents);
        std::lock_guard registry(registryMutex);
        localBoards().emplace(name_, std::static_pointer_cast<Pasteboard>(shared_from_this()));
    }
}

Pasteboard::Contents Pasteboard::load() const {
    {
        std::lock_guard lock(mutex_);
        if (local_) return *local_;
    }
    Contents contents;
    const auto data = ns::dataWithContentsOfFile(path(), MaxFileLength);
    if (!data) return contents;
    // Another app wrote the file: anything that is not our layout reads as an empty pasteboard.
    const ns::Value plist = ns::PropertyListSerialization::propertyListWithData(*data, ns::PropertyListImmutable,
                                                                              nullptr, nullptr);
    if (const ns::Dictionary* items = plist[ItemsKey].asDictionary()) contents.items = *items;
    if (plist[ChangeCountKey].isNumber()) contents.changeCount = plist[ChangeCountKey].int64Value();
    return contents;
}

void Pasteboard::store(const Contents& contents) {
    {
        std::lock_guard lock(mutex_);
        if (local_) {
            *local_ = contents;
            return;
        }
    }
    const ns::Value plist(ns::Dictionary{{std::string(ItemsKey), ns::Value(contents.items)},
                                         {std::string(ChangeCountKey), contents.changeCount}});
    // Apps sharing the folder may have been killed mid-write since this one first opened it.
    ns::removeStaleAtomicWriteTemporaries(folderPath());
    if (auto data = ns::PropertyListSerialization::dataWithPropertyList(plist, ns::PropertyListFormat::Binary,
                                                                         nullptr))
        ns::FileManager::defaultManager().writeAtomically(path(), *data, 0644);
}

void Pasteboard::setData(const ns::Data& data, std::string_view type) {
    const std::string folder = folderPath();
    ns::FileLock lock(lockPath(folder));
    Contents contents = load();
    contents.items = ns::Dictionary{{std::string(type), ns::Value(data)}};
    ++contents.changeCount;
    store(contents);
}

std::optional<ns::Data> Pasteboard::dataForPasteboardType(std::string_view type) const {
    const Contents contents = load();
    if (const ns::Value* value = contents.items.find(type); value && value->asData()) return *value->asData();
    return std::nullopt;
}

void Pasteboard::setString(const std::string& string) {
    setData(ns::Data(std::string_view(string)), PasteboardTypeUTF8PlainText);
}

std::optional<std::string> Pasteboard::string() const {
    if (auto data = dataForPasteboardType(PasteboardTypeUTF8PlainText)) return data->toString();
    return std::nullopt;
}

std::int64_t Pasteboard::changeCount() const {
    return load().changeCount;
}

std::string Pasteboard::sharedFolder() {
    return folderPath();
}

void Pasteboard::setSharedFolderForTesting(std::string path) {
    std::lock_guard lock(registryMutex);
    folderOverride() = std::move(path);
}

}  // namespace ql::ui
