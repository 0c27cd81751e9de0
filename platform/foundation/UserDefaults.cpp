#include "platform/foundation/Locked.h"
#include "platform/foundation/UserDefaults.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "platform/foundation/AtomicWriteTemporary.h"
#include "platform/foundation/BackgroundWork.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileLock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Text.h"

namespace ql::ns {

namespace {

bool containsMutable(const Value& value) {
    if (value.isMutable()) return true;
    if (const Array* array = value.asArray())
        for (const Value& element : *array)
            if (containsMutable(element)) return true;
    if (const Dictionary* dictionary = value.asDictionary())
        for (const auto& entry : *dictionary)
            if (containsMutable(entry.second)) return true;
    return false;
}

// What is read back is immutable on the platform, so what is stored is made so at once; storage is detached
// only where something mutable hides.
void freeze(Value& value) {
    if (!containsMutable(value)) return;
    value.setMutable(false);
    if (Array* array = value.mutableArrayStorage())
        for (Value& element : *array) freeze(element);
    if (Dictionary* dictionary = value.mutableDictionaryStorage())
        for (auto& entry : *dictionary) freeze(entry.second);
}

std::string standardPath() {
    std::string name = Bundle::main().bundleIdentifier().value_or(program_invocation_short_name);
    return Sandbox::preferences() + "/" + name + ".plist";
}

}  // namespace

const Class& UserDefaults::classObject() {
    static const Class& cls = *new Class("NSUserDefaults", &Object::classObject());
    return cls;
}

UserDefaults& UserDefaults::standard() {
    // Never destroyed: exit handlers and threads still running as the process ends set defaults too. The end writes
    // what was not synchronized, before the exit handlers and again once they are over.
    // Owned as every object is, so that it can be observed.
    static const std::shared_ptr<UserDefaults>* const instance = [] {
        std::uint64_t generation = Sandbox::generation();
        auto* owner = new std::shared_ptr<UserDefaults>(std::make_shared<UserDefaults>(standardPath()));
        UserDefaults* defaults = owner->get();
        std::lock_guard lock(defaults->mutex_);
        defaults->sandboxGeneration_ = generation;
        BackgroundWork::writeAtTheEnd([defaults] {
            std::lock_guard held(defaults->mutex_);
            defaults->flushBeforeLeaving();
        });
        return owner;
    }();
    (*instance)->rebindIfSandboxMoved();
    return **instance;
}

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)), process_(::getpid()) {
    std::lock_guard lock(mutex_);
    load();
}

UserDefaults::~UserDefaults() {
    std::lock_guard lock(mutex_);
    flushBeforeLeaving();
    unpin();
}

std::string UserDefaults::path() const { return ns::lockedCopy(mutex_, path_); }

void UserDefaults::rebindIfSandboxMoved() {
    std::uint64_t generation = Sandbox::generation();
    std::lock_guard lock(mutex_);
    if (sandboxGeneration_ == generation) return;
    flushBeforeLeaving();
    sandboxGeneration_ = generation;
    path_ = standardPath();
    changedKeys_.clear();
    load();
}

void UserDefaults::leaveTheParentsChangesToIt() {
    const pid_t process = ::getpid();
    if (process_ == process) return;
    process_ = process;
    changedKeys_.clear();
    stamp_ = kUnknownToThisProcess;
}

void UserDefaults::flushBeforeLeaving() {
    Error error(std::string(CocoaErrorDomain), FileWriteUnknownError);
    if (!changedKeys_.empty() && !synchronizeLocked(&error))
        Log::write("UserDefaults: changes to " + path_ + " are lost: " + error.localizedDescription());
}

void UserDefaults::load() {
    // A write cut short by the end of its process (a kill during synchronize) left its temporary beside the file.
    removeStaleAtomicWriteTemporaries(std::filesystem::path(path_).parent_path().string(), lastPathComponent(path_));
    loadError_.reset();
    fileUnreadable_ = false;
    values_.clear();
    readFile(values_, stamp_);
}

UserDefaults::FileStamp UserDefaults::stampOf(int fd, const std::string& path) {
    struct stat st {};
    if (fd >= 0 ? ::fstat(fd, &st) != 0 : ::stat(path.c_str(), &st) != 0) return {};
    return {st.st_dev, st.st_ino, static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            st.st_size};
}

UserDefaults::FileStamp UserDefaults::currentStamp() const { return stampOf(-1, path_); }

UserDefaults::FileStamp UserDefaults::pinCurrentFile() {
    unpin();
    // Non-blocking, so that a pipe in the file's place cannot hold the store up, and never taking a
    // terminal for the app's own. A file that cannot be opened is still stamped; reading it then fails on
    // its own, as does reading anything but a regular file.
    pinned_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    return stampOf(pinned_, path_);
}

void UserDefaults::unpin() {
    if (pinned_ >= 0) ::close(pinned_);
    pinned_ = -1;
}

UserDefaults::FileState UserDefaults::readFile(Dictionary& contents, FileStamp& stamp) {
    // Stamped before it is read: should it be replaced meanwhile, what is read is the newer file, and the
    // stamp differs at the next look.
    stamp = pinCurrentFile();
    if (stamp == FileStamp{}) return FileState::Absent;
    Error error(std::string(CocoaErrorDomain), FileReadUnknownError);
    auto data = dataWithContentsOfFile(path_, PropertyListSerialization::kMaxFileLength, &error);
    if (!data) {
        Log::write("UserDefaults: cannot read " + path_ + ": " + error.localizedDescription());
        loadError_ = error;
        fileUnreadable_ = true;
        return FileState::Unreadable;
    }
    Error parseError(std::string(CocoaErrorDomain), FileReadCorruptFileError);
    Value plist = PropertyListSerialization::propertyListWithData(*data, PropertyListImmutable, nullptr, &parseError);
    if (const Dictionary* dictionary = plist.asDictionary()) {
        contents = *dictionary;
        fileUnreadable_ = false;
        return FileState::Read;
    }
    if (!plist.isNil())
        parseError = Error(std::string(CocoaErrorDomain), FileReadCorruptFileError,
                           {{std::string(DebugDescriptionErrorKey), Value("The root object is no dictionary.")}});
    if (!setAside(parseError)) return FileState::Unreadable;
    stamp = pinCurrentFile();
    fileUnreadable_ = false;
    return FileState::Corrupt;
}

bool UserDefaults::setAside(const Error& cause) {
    const FileManager& files = FileManager::defaultManager();
    std::string target;
    Error moveError(std::string(CocoaErrorDomain), FileWriteUnknownError);
    for (int attempt = 1;; ++attempt) {
        target = path_ + ".corrupt" + (attempt > 1 ? "-" + std::to_string(attempt) : "");
        if (files.moveItemAtPath(path_, target, &moveError)) break;
        if (moveError.code() != FileWriteFileExistsError) {
            // It cannot be moved out of the way, so it must not be written over either.
            Log::write("UserDefaults: " + path_ + " is corrupt and cannot be set aside: " +
                       moveError.localizedDescription());
            loadError_ = moveError;
            fileUnreadable_ = true;
            return false;
        }
    }
    std::string description = "The preferences file \u201c" + lastPathComponent(path_) +
                              "\u201d was corrupt and has been set aside as \u201c" + lastPathComponent(target) + "\u201d.";
    Log::write("UserDefaults: " + description);
    loadError_ = Error(std::string(CocoaErrorDomain), FileReadCorruptFileError,
                       {{std::string(FilePathErrorKey), Value(path_)},
                        {std::string(DestinationFilePathErrorKey), Value(target)},
                        {std::string(LocalizedDescriptionKey), Value(description)},
                        {std::string(UnderlyingErrorKey), cause.boxed()}});
    return true;
}

std::optional<Error> UserDefaults::loadError() const { return ns::lockedCopy(mutex_, loadError_); }

Value UserDefaults::objectForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    if (const Value* value = values_.find(key)) return *value;
    if (const Value* value = registered_.find(key)) return *value;
    return Value();
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
    Value value = objectForKey(key);
    if (value.isString() || value.isNumber()) return value.stringValue();
    return std::nullopt;
}

std::optional<Data> UserDefaults::dataForKey(std::string_view key) const {
    Value value = objectForKey(key);
    if (const Data* data = value.asData()) return *data;
    return std::nullopt;
}

std::optional<Date> UserDefaults::dateForKey(std::string_view key) const { return objectForKey(key).asDate(); }

std::optional<Array> UserDefaults::arrayForKey(std::string_view key) const {
    Value value = objectForKey(key);
    if (const Array* array = value.asArray()) return *array;
    return std::nullopt;
}

std::optional<Dictionary> UserDefaults::dictionaryForKey(std::string_view key) const {
    Value value = objectForKey(key);
    if (const Dictionary* dictionary = value.asDictionary()) return *dictionary;
    return std::nullopt;
}

bool UserDefaults::boolForKey(std::string_view key) const {
    Value value = objectForKey(key);
    return (value.isNumber() || value.isString()) && value.boolValue();
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    Value value = objectForKey(key);
    return value.isNumber() || value.isString() ? value.int64Value() : 0;
}

double UserDefaults::doubleForKey(std::string_view key) const {
    Value value = objectForKey(key);
    return value.isNumber() || value.isString() ? value.doubleValue() : 0.0;
}

void UserDefaults::setObject(const Value& value, std::string_view key) {
    if (value.isNil()) return removeObjectForKey(key);
    if (!PropertyListSerialization::propertyListIsValidForFormat(value, PropertyListFormat::Binary))
        throw Exception(InvalidArgumentException, "Attempt to insert non-property list object " + value.description() +
                                                      " for key " + std::string(key));
    Value stored = value;
    freeze(stored);
    {
        std::lock_guard lock(mutex_);
        leaveTheParentsChangesToIt();
        values_.set(std::string(key), std::move(stored));
        changedKeys_.emplace(key);
    }
    postChange();
}

void UserDefaults::removeObjectForKey(std::string_view key) {
    {
        std::lock_guard lock(mutex_);
        leaveTheParentsChangesToIt();
        if (!values_.erase(key)) return;
        changedKeys_.emplace(key);
    }
    postChange();
}

void UserDefaults::registerDefaults(const Dictionary& defaults) {
    for (const auto& [key, value] : defaults)
        if (!PropertyListSerialization::propertyListIsValidForFormat(value, PropertyListFormat::Binary))
            throw Exception(InvalidArgumentException, "Attempt to register non-property list object " +
                                                          value.description() + " for key " + key);
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : defaults) registered_.set(key, value);
}

Dictionary UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    Dictionary merged = registered_;
    for (const auto& [key, value] : values_) merged.set(key, value);
    return merged;
}

bool UserDefaults::synchronize(Error* error) {
    std::lock_guard lock(mutex_);
    return synchronizeLocked(error);
}

bool UserDefaults::synchronizeLocked(Error* error) {
    leaveTheParentsChangesToIt();
    // Nothing to write and nothing new to read: no other app needs to be waited for.
    if (changedKeys_.empty() && !fileUnreadable_ && currentStamp() == stamp_) return true;
    // Other apps on this home write the file too: the look at it, the merge and the write happen under the
    // lock they all take, so that none writes back what it read before another's write.
    const FileLock shared(path_ + ".lock");
    if (fileUnreadable_ || currentStamp() != stamp_) {
        // Someone else wrote the file since we last saw it: theirs, with our own changes on top.
        Dictionary onDisk;
        switch (readFile(onDisk, stamp_)) {
            case FileState::Unreadable:
                if (error) *error = *loadError_;
                return false;
            case FileState::Corrupt:
                // Set aside now; what this store holds is the last good state, and the file must come back.
                for (const auto& entry : values_) changedKeys_.insert(entry.first);
                break;
            case FileState::Absent:
            case FileState::Read:
                for (const std::string& key : changedKeys_) {
                    if (const Value* mine = values_.find(key)) onDisk.set(key, *mine);
                    else onDisk.erase(key);
                }
                values_ = std::move(onDisk);
                break;
        }
    }
    if (changedKeys_.empty()) return true;

    Error failure(std::string(CocoaErrorDomain), FileWriteUnknownError);
    auto data = PropertyListSerialization::dataWithPropertyList(Value(values_), PropertyListFormat::Binary, &failure);
    // The folder is not made here: a store whose sandbox has been removed must not bring it back.
    if (!data || !FileManager::defaultManager().writeAtomically(path_, *data, 0600, &failure)) {
        if (error) *error = failure;
        return false;
    }
    stamp_ = pinCurrentFile();
    changedKeys_.clear();
    return true;
}

void UserDefaults::postChange() {
    NotificationCenter::defaultCenter().post(UserDefaultsDidChangeNotification, this);
}

}  // namespace ql::ns
