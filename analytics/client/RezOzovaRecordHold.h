#pragma once
// Records an app takes back from the record cache stay on disk until they are safe somewhere else (in an
// envelope, or in the cache written anew): they move into a folder of the analytics folder that the app
// holds ("held-…", with a claim the kernel lets go of when the app ends, however it ends). The file that
// takes their place is written into the held folder, and renaming the folder ("consumed-…") lets go of the
// records and commits the file in one step; the file then moves out into the analytics folder. So a crash
// at any point leaves each record on disk exactly once: a held folder whose app has ended is taken over by
// the next app that takes from the cache (what it was about to put in place never was), and a consumed
// folder's file is moved out by the next app that takes the folder's lock (RezOzovaFolderLock).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/FileLock.h"

namespace ql {

// The analytics folder's lock (RezOzovaUtility::folderLockPath), which apps sharing a home take around their
// work in the folder: numbering and naming envelopes, the record cache, the holds. Taking it first finishes
// what a holder that died half-way through letting go of its records left.
class RezOzovaFolderLock {
public:
    RezOzovaFolderLock();
    const ns::FileLock& file() const { return lock_; }

private:
    ns::FileLock lock_;
};

// Everything below is done under the folder's lock.
class RezOzovaRecordHold {
public:
    // A file to put in the analytics folder in place of the held records.
    struct Output {
        std::string name;
        ns::Data bytes;
        std::optional<unsigned> mode;
    };

    // A new, empty hold; nothing when its folder cannot be made (a full or read-only disk).
    static std::shared_ptr<RezOzovaRecordHold> make();
    // The held folders of apps that have ended, oldest first.
    static std::vector<std::string> leftBehind();

    // Going without release() leaves the records in the folder for the next app to take over.
    ~RezOzovaRecordHold() = default;
    RezOzovaRecordHold(const RezOzovaRecordHold&) = delete;
    RezOzovaRecordHold& operator=(const RezOzovaRecordHold&) = delete;

    // Moves the file into the hold; the path it has there, or nothing when it stays where it was.
    std::optional<std::string> adopt(const std::string& path);
    // Moves the record files of a held folder an app left (see leftBehind) into this hold and removes the
    // folder with what its app was about to put in place. The paths the files have here, in their order.
    std::vector<std::string> adoptLeftBehind(const std::string& folder);
    // Lets go of the held records, putting the output (when there is one) in the analytics folder, over a
    // file of its name, in the same step. False, with the hold as it was, when the output cannot be written.
    bool release(const std::optional<Output>& output);

    // Called at each step of a release: "written" (the output is in the held folder), "committed" (the folder
    // is renamed), "moved" (the output is in the analytics folder). Tests end the process there.
    static void setStepHookForTesting(std::function<void(std::string_view step)> hook);

private:
    friend class RezOzovaFolderLock;
    RezOzovaRecordHold(std::string folder, ns::FileLock claim);
    // Moves a consumed folder's output into the analytics folder, then removes the folder.
    static void finish(const std::string& consumedFolder);
    static void finishInterrupted();

    std::string folder_;
    ns::FileLock claim_;
    int adopted_ = 0;
};

}  // namespace ql
