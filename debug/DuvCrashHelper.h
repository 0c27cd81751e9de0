#pragma once
// DuvCrashHelper: keeps a property list per crash (an uncaught exception or a fatal signal) in
// Caches/DuvCrashLog, with an index "crashLog.plist" of their keys, newest first, at most 20, so the crash
// screen can show them on a later run. Installed only with the debug mode. A fatal signal or an uncaught
// exception is only noted by its handler (see DuvPendingSignal.h, DuvPendingException.h); the store makes
// its record when it next opens, and then also removes what saves cut short by a crash left behind.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Value.h"

namespace ql {

class DuvCrashHelper {
public:
    static constexpr std::size_t kMaxRecords = 20;

    static DuvCrashHelper& sharedInstance();

    // Sets the handlers once: the uncaught-exception handler, and the signals 6, 4, 11, 8, 10 and 13 (those
    // the process ignores stay ignored).
    void install();
    bool isInstalled() const;

    // Stores the record at once; the uncaught-exception handler only notes it (see above).
    void saveException(const ns::Exception& exception);
    void saveSignal(std::int32_t signal);
    // Stamps the record with its key under "date" and stores it; false (and no index entry) when it could
    // not be written. Two saves in one second get distinct keys.
    bool saveToFile(ns::Dictionary record);

    std::vector<std::string> crashPlist() const;
    std::optional<ns::Dictionary> crashForKey(const std::string& key) const;
    // Newest first; records that cannot be read are skipped.
    std::vector<ns::Dictionary> crashLogs() const;
    std::optional<ns::Dictionary> crashReport() const;

    // The caller's stack, at most 32 frames.
    static std::vector<std::string> backtrace();

    const std::string& crashFolder() const { return folder_; }

    // A store over another folder, for tests.
    explicit DuvCrashHelper(std::string folder);

private:
    bool save(ns::Dictionary record, ns::Date when);
    std::string recordPath(const std::string& key) const;
    void writeIndex() const;

    const std::string folder_;
    mutable std::mutex mutex_;
    std::vector<std::string> index_;
    bool installed_ = false;
};

}  // namespace ql
