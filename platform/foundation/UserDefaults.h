#pragma once
// ns::UserDefaults: the app's settings as property-list values under text keys, kept in memory, written
// to a property-list file (Library/Preferences/<bundle identifier>.plist for the standard store) by
// synchronize, and read back by later runs. Writes are atomic and the file is private to the user; a
// file that cannot be read as a property list is set aside under another name and reported, never
// overwritten. Safe to use from any thread, and from several processes over one file (two apps on one
// home): a synchronize reads, merges and writes under a lock they all take (the file's name + ".lock").
// Reading the file also removes what writes of it cut short by the end of their process left beside it. A forked
// child writes only what it changes itself: what its parent had not yet synchronized is the parent's to write, so
// the child never puts an older value back over one the parent has written since.

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

inline constexpr std::string_view UserDefaultsDidChangeNotification = "NSUserDefaultsDidChangeNotification";

class UserDefaults : public Object {
public:
    static const Class& classObject();
    const Class& objectClass() const override { return classObject(); }

    // The store in the sandbox's Library/Preferences, named after the main bundle's identifier. When the
    // sandbox moves (tests), it writes what it has to the old file and reads the one in the new place.
    static UserDefaults& standard();

    // A store over the property-list file at the path; reads it now.
    explicit UserDefaults(std::string path);
    ~UserDefaults() override;

    std::string path() const;

    // The stored value, else the registered default, else nil.
    Value objectForKey(std::string_view key) const;
    // Texts of numbers as well as texts; nothing for other kinds.
    std::optional<std::string> stringForKey(std::string_view key) const;
    std::optional<Data> dataForKey(std::string_view key) const;
    std::optional<Date> dateForKey(std::string_view key) const;
    std::optional<Array> arrayForKey(std::string_view key) const;
    std::optional<Dictionary> dictionaryForKey(std::string_view key) const;
    // Numbers and numeric texts convert as the platform converts them; anything else, or nothing, is NO / 0.
    bool boolForKey(std::string_view key) const;
    std::int64_t integerForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;

    // Only property-list values may be stored (booleans, numbers, texts, data, dates and arrays and
    // dictionaries of them); anything else raises "NSInvalidArgumentException". Nil removes the key.
    void setObject(const Value& value, std::string_view key);
    void setBool(bool value, std::string_view key) { setObject(Value(value), key); }
    void setInteger(std::int64_t value, std::string_view key) { setObject(Value(value), key); }
    void setDouble(double value, std::string_view key) { setObject(Value(value), key); }
    void removeObjectForKey(std::string_view key);

    // Defaults answered for keys that hold no stored value; never written to disk.
    void registerDefaults(const Dictionary& defaults);
    // Registered defaults overlaid with the stored values.
    Dictionary dictionaryRepresentation() const;

    // Writes the changes made here since the last synchronize, merged key by key over whatever another
    // store wrote to the file meanwhile, and picks up that store's other changes. False (and the error) when
    // the file could not be written, in which case the changes stay pending for the next attempt.
    bool synchronize(Error* error = nullptr);

    // What went wrong reading the file, when something did: an unreadable file, or a corrupt one, which was
    // set aside beside it (NSFileReadCorruptFileError; the new path under NSDestinationFilePath and in the
    // description, the parser's error underneath).
    std::optional<Error> loadError() const;

private:
    struct FileStamp {
        dev_t device = 0;
        ino_t inode = 0;
        std::int64_t modifiedNanoseconds = 0;
        off_t size = -1;
        bool operator==(const FileStamp&) const = default;
    };

    enum class FileState { Absent, Read, Corrupt, Unreadable };

    // Stands for the file as a forked child sees it: unknown, so its next synchronize reads it whatever is there.
    static constexpr FileStamp kUnknownToThisProcess{0, 0, 0, -2};

    // All under mutex_.
    void load();
    // In a child forked since the last change: what the parent left unsynchronized is the parent's to write, so the
    // child writes only what it changes itself, over whatever the file holds by then.
    void leaveTheParentsChangesToIt();
    // Through the descriptor when there is one, else at the path; empty when there is no file.
    static FileStamp stampOf(int fd, const std::string& path);
    FileStamp currentStamp() const;
    // Stamps the file now at the path and keeps it open in place of the one kept before (see pinned_).
    FileStamp pinCurrentFile();
    void unpin();
    // Reads the file into `contents` (left alone unless it is read). A corrupt file is set aside at once.
    FileState readFile(Dictionary& contents, FileStamp& stamp);
    bool setAside(const Error& cause);
    bool synchronizeLocked(Error* error);
    // Last chance for unsynchronized changes, before the store goes away or moves with the sandbox.
    void flushBeforeLeaving();
    void rebindIfSandboxMoved();  // locks
    void postChange();  // outside the lock: observers may read the store

    mutable std::mutex mutex_;
    std::string path_;
    Dictionary values_;
    Dictionary registered_;
    std::set<std::string, std::less<>> changedKeys_;
    FileStamp stamp_;
    // The file stamp_ describes, kept open: while it is held its inode cannot be given to another file, so a
    // file written in its place always has another stamp, however coarse the clock and equal the size.
    int pinned_ = -1;
    std::optional<Error> loadError_;
    // A file that exists but could not be read is never replaced: its contents may still be wanted.
    bool fileUnreadable_ = false;
    std::uint64_t sandboxGeneration_ = 0;
    // The process whose changes changedKeys_ holds.
    pid_t process_;
};

}  // namespace ql::ns
