#include "analytics/client/RezOzovaRecordCache.h"

#include <cmath>
#include <iterator>

#include "analytics/StatError.h"
#include "analytics/StatEvent.h"
#include "analytics/StatLog.h"
#include "analytics/client/RezOzovaRecordHold.h"
#include "analytics/client/RezOzovaUtility.h"
#include "platform/foundation/AtomicWriteTemporary.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Text.h"

namespace ql {

namespace {

template <class R>
ns::Value archivable(const std::vector<std::shared_ptr<R>>& records) {
    ns::Array elements;
    elements.reserve(records.size());
    for (const auto& record : records)
        if (record) elements.push_back(ns::Value(record));
    return ns::Value(std::move(elements));
}

// The records of class R archived under the key; false when the key holds anything else.
template <class R, class Held>
bool unarchived(const ns::Dictionary& root, std::string_view key, std::vector<std::shared_ptr<Held>>& into) {
    const ns::Value* entry = root.find(key);
    if (!entry || entry->isNil()) return true;
    const ns::Array* elements = entry->asArray();
    if (!elements) return false;
    for (const auto& element : *elements) {
        auto record = element.asObject<R>();
        if (!record) return false;
        into.push_back(std::move(record));
    }
    return true;
}

std::optional<RezOzovaCachedRecords> decoded(const ns::Data& bytes, std::string& why) {
    ns::Error error("", 0);
    const ns::Value root = ns::KeyedUnarchiver::unarchiveObjectWithData(bytes, &error);
    const ns::Dictionary* entries = root.asDictionary();
    if (!entries) {
        why = root.isNil() ? error.localizedDescription() : "not a dictionary of records";
        return std::nullopt;
    }
    RezOzovaCachedRecords records;
    if (!unarchived<StatEvent>(*entries, "events", records.events) ||
        !unarchived<StatEvent>(*entries, "eventsWithValues", records.eventsWithValues) ||
        !unarchived<StatError>(*entries, "errors", records.errors) ||
        !unarchived<WireSession>(*entries, "sessions", records.sessions)) {
        why = "records of the wrong kind";
        return std::nullopt;
    }
    if (const ns::Value* tracking = entries->find("idTracking"); tracking && !tracking->isNil()) {
        records.idTracking = tracking->asObject<WireIdTracking>();
        if (!records.idTracking) {
            why = "an identifier tracking of the wrong kind";
            return std::nullopt;
        }
    }
    return records;
}

// Moves the unreadable file out of the way, keeping it for whoever wants to look; false when it stays.
bool setAside(const std::string& path, const std::string& why) {
    const auto millis = static_cast<long long>(std::floor(ns::Clock::now() * 1000));
    const std::string folder = RezOzovaUtility::analyticsFolder();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = "records-damaged-" + std::to_string(millis) + "-" + std::to_string(attempt) + ".cache";
        if (ns::FileManager::defaultManager().moveItemAtPath(path, folder + "/" + name)) {
            statLog("Record cache damaged (" + why + "), set aside as " + name);
            return true;
        }
        if (!RezOzovaUtility::isExistAtPath(path)) return true;
    }
    statLog("Record cache damaged (" + why + ") and cannot be set aside");
    return false;
}

// What the file holds, under the lock: nothing when there is no file, or a damaged one was set aside; no
// answer when a damaged file had to stay in place (it must not be written over).
std::optional<RezOzovaCachedRecords> readLocked(const std::string& path) {
    ns::Error error("", 0);
    const auto bytes = ns::dataWithContentsOfFile(path, RezOzovaRecordCache::MaxFileBytes, &error);
    if (!bytes && error.code() == ns::FileReadNoSuchFileError) return RezOzovaCachedRecords{};
    std::string why;
    if (!bytes) {
        why = error.localizedDescription();
    } else if (auto records = decoded(*bytes, why)) {
        return records;
    }
    if (!setAside(path, why)) return std::nullopt;
    return RezOzovaCachedRecords{};
}

template <class Records>
void append(Records& into, Records&& later, std::size_t limit) {
    into.insert(into.end(), std::make_move_iterator(later.begin()), std::make_move_iterator(later.end()));
    keepNewest(into, limit);
}

}  // namespace

std::string RezOzovaRecordCache::path() { return RezOzovaUtility::analyticsFolder() + "/records.cache"; }

bool RezOzovaRecordCache::save(const RezOzovaCachedRecords& records, RezOzovaRecordHold* hold) {
    if (records.empty() && !hold) return true;
    const std::string file = path();
    const RezOzovaFolderLock lock;
    auto merged = readLocked(file);
    if (!merged) return false;
    merged->events.insert(merged->events.end(), records.events.begin(), records.events.end());
    merged->eventsWithValues.insert(merged->eventsWithValues.end(), records.eventsWithValues.begin(),
                                    records.eventsWithValues.end());
    merged->errors.insert(merged->errors.end(), records.errors.begin(), records.errors.end());
    merged->sessions.insert(merged->sessions.end(), records.sessions.begin(), records.sessions.end());
    if (records.idTracking) merged->idTracking = records.idTracking;

    ns::Dictionary root;
    root.set("events", archivable(merged->events));
    root.set("eventsWithValues", archivable(merged->eventsWithValues));
    root.set("errors", archivable(merged->errors));
    root.set("sessions", archivable(merged->sessions));
    if (merged->idTracking) root.set("idTracking", ns::Value(merged->idTracking));
    ns::Error error("", 0);
    const auto archive = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(std::move(root)), &error);
    if (!archive) return false;
    if (hold) return hold->release(RezOzovaRecordHold::Output{ns::lastPathComponent(file), *archive, 0600});
    return ns::FileManager::defaultManager().writeAtomically(file, *archive, 0600);
}

RezOzovaCachedRecords RezOzovaRecordCache::take(std::shared_ptr<RezOzovaRecordHold>& hold, std::size_t limit) {
    const std::string file = path();
    const RezOzovaFolderLock lock;
    ns::removeStaleAtomicWriteTemporaries(RezOzovaUtility::analyticsFolder());
    const auto leftBehind = RezOzovaRecordHold::leftBehind();
    // Whatever is in the cache's place, a file or not, is taken: what cannot be read is set aside from the hold.
    const bool cached = ns::FileManager::defaultManager().attributesOfItemAtPath(file).has_value();
    if (leftBehind.empty() && !cached) return {};
    if (!hold) hold = RezOzovaRecordHold::make();
    if (!hold) return {};
    std::vector<std::string> taken;
    for (const std::string& folder : leftBehind) {
        auto adopted = hold->adoptLeftBehind(folder);
        taken.insert(taken.end(), adopted.begin(), adopted.end());
    }
    if (auto adopted = cached ? hold->adopt(file) : std::nullopt) taken.push_back(std::move(*adopted));

    RezOzovaCachedRecords records;
    for (const std::string& path : taken) {
        auto read = readLocked(path);
        if (!read) continue;
        append(records.events, std::move(read->events), limit);
        append(records.eventsWithValues, std::move(read->eventsWithValues), limit);
        append(records.errors, std::move(read->errors), limit);
        append(records.sessions, std::move(read->sessions), limit);
        if (read->idTracking) records.idTracking = std::move(read->idTracking);
    }
    return records;
}

}  // namespace ql
