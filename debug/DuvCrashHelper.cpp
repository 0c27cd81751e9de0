#include "debug/DuvCrashHelper.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "debug/DuvPendingException.h"
#include "debug/DuvPendingSignal.h"

#include "platform/foundation/AtomicWriteTemporary.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UncaughtException.h"

namespace ql {

namespace {

constexpr std::array kSignals{SIGABRT, SIGILL, SIGSEGV, SIGFPE, SIGBUS, SIGPIPE};
// A record holds at most a few hundred frames and what the exception carried, the index a few dozen names:
// anything far larger is not ours.
constexpr std::uint64_t kLargestFile = 4 << 20;

std::optional<ns::Value> readPropertyList(const std::string& path) {
    const auto data = ns::dataWithContentsOfFile(path, kLargestFile);
    if (!data) return std::nullopt;
    ns::Value value = ns::PropertyListSerialization::propertyListWithData(*data, ns::PropertyListImmutable, nullptr,
                                                                          nullptr);
    if (value.isNil()) return std::nullopt;
    return value;
}

bool writePropertyList(const ns::Value& value, const std::string& path) {
    const auto data = ns::PropertyListSerialization::dataWithPropertyList(value, ns::PropertyListFormat::XML, nullptr);
    return data && ns::FileManager::defaultManager().writeAtomically(path, *data, std::nullopt);
}

ns::Dictionary exceptionRecord(const ns::Exception& exception) {
    ns::Dictionary info;
    info.set("name", exception.name());
    if (!exception.reason().empty()) info.set("reason", exception.reason());
    if (!exception.userInfo().empty()) info.set("userInfo", exception.userInfo());
    ns::Array stack;
    for (const std::string& symbol : exception.callStackSymbols()) stack.push_back(symbol);
    info.set("callStack", std::move(stack));
    return ns::Dictionary{{"type", "exception"}, {"info", std::move(info)}};
}

}  // namespace

DuvCrashHelper& DuvCrashHelper::sharedInstance() {
    static DuvCrashHelper* const shared =
        new DuvCrashHelper(ns::searchPathForDirectoriesInDomains(ns::CachesDirectory, ns::UserDomainMask, true)
                               .front() +
                           "/DuvCrashLog");
    return *shared;
}

DuvCrashHelper::DuvCrashHelper(std::string folder) : folder_(std::move(folder)) {
    ns::FileManager::defaultManager().createDirectoryAtPath(folder_, true);
    // A save cut short by a crash left the temporary of its atomic write; another app's save at work stays.
    ns::removeStaleAtomicWriteTemporaries(folder_);
    if (auto index = readPropertyList(folder_ + "/crashLog.plist"); index && index->isArray()) {
        for (const ns::Value& key : *index->asArray()) {
            if (key.isString()) index_.push_back(key.stringValue());
        }
    }
    // What the crashes of earlier runs noted becomes ordinary records now that it is safe to write, oldest
    // first. An uncaught exception ends in an abort: in the same second its note goes before the signal's.
    std::vector<std::pair<std::int64_t, ns::Dictionary>> pending;
    for (auto& exception : duv_pending_exception::collect(folder_))
        pending.emplace_back(exception.seconds, std::move(exception.record));
    for (const auto& signal : duv_pending_signal::collect(folder_))
        pending.emplace_back(signal.seconds, ns::Dictionary{{"signal type", signal.signal}});
    std::stable_sort(pending.begin(), pending.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [seconds, record] : pending)
        save(std::move(record), ns::Date::fromTimeIntervalSince1970(static_cast<double>(seconds)));
}

void DuvCrashHelper::install() {
    std::lock_guard lock(mutex_);
    if (installed_) return;
    installed_ = true;
    // Takes no lock and reaches for no shared instance: see DuvPendingException.h.
    ns::setUncaughtExceptionHandler([folder = folder_](const ns::Exception& exception) {
        duv_pending_exception::note(folder, exceptionRecord(exception));
    });
    duv_pending_signal::install(folder_, kSignals);
}

bool DuvCrashHelper::isInstalled() const {
    std::lock_guard lock(mutex_);
    return installed_;
}

void DuvCrashHelper::saveException(const ns::Exception& exception) { saveToFile(exceptionRecord(exception)); }

void DuvCrashHelper::saveSignal(std::int32_t signal) {
    saveToFile(ns::Dictionary{{"signal type", signal}});
}

bool DuvCrashHelper::saveToFile(ns::Dictionary record) { return save(std::move(record), ns::Date::now()); }

bool DuvCrashHelper::save(ns::Dictionary record, ns::Date when) {
    std::lock_guard lock(mutex_);
    ns::DateFormatter formatter;
    formatter.setDateFormat("yyyy-MM-dd HH:mm:ss");
    const std::string stamp = formatter.stringFromDate(when);
    std::string key = stamp;
    for (int n = 2; std::find(index_.begin(), index_.end(), key) != index_.end(); ++n)
        key = stamp + " (" + std::to_string(n) + ")";
    record.set("date", key);
    if (!writePropertyList(ns::Value(std::move(record)), recordPath(key))) {
        ns::Log::write("DuvDebugTool:crash report failed!");
        return false;
    }
    ns::Log::write("DuvDebugTool:save crash report succeed!");
    index_.insert(index_.begin(), key);
    while (index_.size() > kMaxRecords) {
        ::unlink(recordPath(index_.back()).c_str());
        index_.pop_back();
    }
    writeIndex();
    return true;
}

std::vector<std::string> DuvCrashHelper::crashPlist() const {
    std::lock_guard lock(mutex_);
    return index_;
}

std::optional<ns::Dictionary> DuvCrashHelper::crashForKey(const std::string& key) const {
    auto record = readPropertyList(recordPath(key));
    if (!record || !record->isDictionary()) return std::nullopt;
    return *record->asDictionary();
}

std::vector<ns::Dictionary> DuvCrashHelper::crashLogs() const {
    std::vector<ns::Dictionary> logs;
    for (const std::string& key : crashPlist()) {
        if (auto record = crashForKey(key)) logs.push_back(std::move(*record));
    }
    return logs;
}

std::optional<ns::Dictionary> DuvCrashHelper::crashReport() const {
    const auto keys = crashPlist();
    if (keys.empty()) return std::nullopt;
    return crashForKey(keys.front());
}

std::vector<std::string> DuvCrashHelper::backtrace() {
    auto symbols = ns::callStackSymbols(128);
    if (symbols.size() > 32) symbols.resize(32);
    return symbols;
}

std::string DuvCrashHelper::recordPath(const std::string& key) const { return folder_ + "/" + key + ".plist"; }

void DuvCrashHelper::writeIndex() const {
    ns::Array keys;
    for (const std::string& key : index_) keys.push_back(key);
    writePropertyList(ns::Value(std::move(keys)), folder_ + "/crashLog.plist");
}

}  // namespace ql
