#include "analytics/client/StatSharedUDID.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "analytics/client/StatUtils.h"
#include "platform/foundation/Class.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/UUID.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Pasteboard.h"

namespace ql {

namespace {

constexpr std::string_view RecordKey = "SharedUDID";
constexpr std::string_view AppUIDKey = "SharedUDID_appUID";
constexpr std::string_view CreatedKey = "SharedUDID_createdTS";
constexpr std::string_view SlotKey = "SharedUDID_slot";
constexpr std::string_view OptOutKey = "SharedUDID_optOutTS";
constexpr std::string_view SlotPrefix = "org.SharedUDID.slot.";
constexpr std::string_view PasteboardType = "org.SharedUDID";

std::optional<std::string> textOf(const ns::Dictionary& dictionary, std::string_view key) {
    const ns::Value* value = dictionary.find(key);
    if (value == nullptr || !value->isString()) return std::nullopt;
    return std::string(value->asString());
}

void report(ns::Error* error, std::int64_t code, std::string description) {
    if (error == nullptr) return;
    *error = ns::Error(std::string(SharedUDIDErrorDomain), code,
                       ns::Dictionary{{"description", ns::Value(std::move(description))}});
}

}  // namespace

std::string SharedUDIDScheme::_generateFreshSharedUDID() {
    const std::string digest = ns::hexString(ns::md5(ns::UUID().UUIDString()));
    char tail[9];
    std::snprintf(tail, sizeof tail, "%08lx", static_cast<unsigned long>(StatUtils::random32()));
    return digest + tail;
}

ns::Dictionary SharedUDIDScheme::_getDictFromPasteboard(const ui::Pasteboard& pasteboard) {
    const auto data = pasteboard.dataForPasteboardType(PasteboardType);
    if (!data) return {};
    // Other apps write these slots: only the plain values a record is made of are decoded, never an object
    // of whatever class the archive names.
    static const auto& plainClasses = *new std::vector<const ns::Class*>([] {
        std::vector<const ns::Class*> classes;
        for (const char* name : {"NSDictionary", "NSString", "NSNumber", "NSDate"}) classes.push_back(ns::Class::named(name));
        return classes;
    }());
    const ns::Value record = ns::KeyedUnarchiver::unarchivedObjectOfClasses(plainClasses, *data, nullptr);
    const ns::Dictionary* dictionary = record.asDictionary();
    return dictionary != nullptr ? *dictionary : ns::Dictionary();
}

void SharedUDIDScheme::_setDict(const ns::Dictionary& dictionary, ui::Pasteboard& pasteboard) {
    if (auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(dictionary), nullptr))
        pasteboard.setData(*data, PasteboardType);
}

std::optional<std::string> SharedUDIDScheme::valueWithError(ns::Error* error) {
    std::lock_guard lock(mutex_);
    if (cache_) {
        report(error, 0, "SharedUDID in cache from first call");
        return cache_;
    }
    auto& defaults = ns::UserDefaults::standard();

    std::optional<ns::Dictionary> local;
    if (auto stored = defaults.dictionaryForKey(RecordKey)) local = *stored;
    // The app's unique id; the local record keeps the one it was made with, so the app finds its own slot
    // again on the next launch instead of claiming another.
    std::string appUID = defaults.stringForKey(AppUIDKey).value_or("");
    if (appUID.empty() && local) appUID = textOf(*local, AppUIDKey).value_or("");
    if (appUID.empty()) appUID = ns::UUID().UUIDString();

    std::optional<std::string> identifier = local ? textOf(*local, RecordKey) : std::nullopt;
    std::optional<std::string> ownSlot = local ? textOf(*local, SlotKey) : std::nullopt;
    std::optional<ns::Value> optOutDate;
    if (local)
        if (const ns::Value* date = local->find(OptOutKey)) optOutDate = *date;

    std::optional<std::string> freeSlot;
    std::map<std::string, int> votes;
    for (int slot = 0; slot < SlotCount; ++slot) {
        const std::string name = std::string(SlotPrefix) + std::to_string(slot);
        auto pasteboard = ui::Pasteboard::pasteboardWithName(name, false);
        if (!pasteboard) {
            if (!freeSlot) freeSlot = name;
            continue;
        }
        const ns::Dictionary record = _getDictFromPasteboard(*pasteboard);
        if (auto found = textOf(record, RecordKey)) ++votes[*found];
        else if (!freeSlot) freeSlot = name;
        if (textOf(record, AppUIDKey) == appUID) {
            ownSlot = name;
            if (optOutDate) {
                const ns::Value* slotDate = record.find(OptOutKey);
                optOutDate = slotDate != nullptr ? std::optional<ns::Value>(*slotDate) : std::nullopt;
            }
        }
    }

    std::optional<std::string> mostReliable;
    int mostVotes = 0;
    for (const auto& [candidate, count] : votes) {
        if (count >= mostVotes) {
            mostVotes = count;
            mostReliable = candidate;
        }
    }

    bool save = false;
    bool discrepancy = false;
    if (!identifier) {
        identifier = mostReliable ? *mostReliable : _generateFreshSharedUDID();
        if (!local) {
            local = ns::Dictionary{{std::string(AppUIDKey), ns::Value(appUID)},
                                   {std::string(CreatedKey), ns::Value(ns::Date::fromTimeIntervalSince1970(ns::Clock::now()))}};
        }
        // Stored also into a record that lacked it: otherwise every launch would answer another identifier.
        local->set(std::string(RecordKey), ns::Value(*identifier));
        save = true;
    } else if (mostReliable && *mostReliable != *identifier) {
        discrepancy = true;
    }

    if (freeSlot && (!ownSlot || *freeSlot == *ownSlot)) {
        auto pasteboard = ui::Pasteboard::pasteboardWithName(*freeSlot, true);
        if (pasteboard) {
            pasteboard->setPersistent(true);
            local->set(std::string(SlotKey), ns::Value(*freeSlot));
            _setDict(*local, *pasteboard);
            save = true;
        }
    }
    if (save) {
        defaults.setObject(ns::Value(*local), RecordKey);
        defaults.synchronize();
    }

    if (optOutDate) {
        report(error, 1,
               "Application with unique id " + appUID + " is opted-out from SharedUDID as of " +
                   optOutDate->description());
        cache_ = std::string(40, '0');
    } else {
        if (discrepancy)
            report(error, 2,
                   "Found a discrepancy between stored SharedUDID (reliable) and redundant copies; one of the apps on "
                   "the device is most likely corrupting the SharedUDID protocol");
        else
            report(error, 0, "SharedUDID succesfully retrieved");
        cache_ = identifier;
    }
    return cache_;
}

void SharedUDIDScheme::setOptOut(bool optOut) {
    valueWithError(nullptr);
    auto& defaults = ns::UserDefaults::standard();
    ns::Dictionary record = defaults.dictionaryForKey(RecordKey).value_or(ns::Dictionary());
    if (optOut) record.set(std::string(OptOutKey), ns::Value(ns::Date::fromTimeIntervalSince1970(ns::Clock::now())));
    else record.erase(OptOutKey);
    defaults.setObject(ns::Value(record), RecordKey);
    defaults.synchronize();
    // The app's slot carries its record too, and a slot's opt-out date is the one that counts.
    if (auto slot = textOf(record, SlotKey))
        if (auto pasteboard = ui::Pasteboard::pasteboardWithName(*slot, false)) _setDict(record, *pasteboard);
    clearCache();
}

void SharedUDIDScheme::clearCache() { ns::lockedStore(mutex_, cache_, std::nullopt); }

}  // namespace ql
