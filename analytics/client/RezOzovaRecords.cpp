#include "analytics/client/RezOzovaRecords.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <limits>

#include "analytics/StatError.h"
#include "analytics/StatEvent.h"
#include "analytics/StatLog.h"
#include "analytics/WireBinaryProtocol.h"
#include "analytics/WireLogEntry.h"
#include "analytics/WireMemoryBuffer.h"
#include "analytics/WireResponse.h"
#include "analytics/client/RezOzovaConfig.h"
#include "analytics/client/RezOzovaEntryFacts.h"
#include "analytics/client/RezOzovaEnvelope.h"
#include "analytics/client/RezOzovaRecordCache.h"
#include "analytics/client/RezOzovaRecordHold.h"
#include "analytics/client/RezOzovaUtility.h"
#include "analytics/client/StatProtocolData.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Zlib.h"

namespace ql {

namespace {

template <class R>
ns::Data serialized(const R& record) {
    auto buffer = std::make_shared<WireMemoryBuffer>();
    WireBinaryProtocol protocol(buffer);
    record.write(protocol);
    return buffer->getBuffer();
}

template <class R>
std::shared_ptr<R> deserialized(const ns::Value& stored) {
    if (!stored.isData()) return nullptr;
    auto record = std::make_shared<R>();
    try {
        WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(*stored.asData()));
        record->read(protocol);
    } catch (const std::exception&) {
        return nullptr;
    }
    return record;
}

std::int64_t nowMilliseconds() { return StatBaseEvent::truncatedWithin<std::int64_t>(ns::Clock::now() * 1000); }

std::shared_ptr<WirePropertyValue> propertyValue(const ns::Value& value) {
    auto property = std::make_shared<WirePropertyValue>();
    if (value.isInteger()) property->setLong_value(value.int64Value());
    else property->setString_value(value.isString() ? std::string(value.asString()) : value.description());
    return property;
}

std::shared_ptr<WireEvent> wireEvent(const StatEvent& event) {
    auto properties = std::make_shared<WireRecordMap<WirePropertyValue>>();
    for (const auto& [key, value] : event.values) (*properties)[key] = propertyValue(value);
    // The event record has no field of its own for the label: it travels among the properties.
    if (auto label = event.sentLabel()) (*properties)["label"] = std::make_shared<WirePropertyValue>(std::move(*label), 0);
    auto wire = std::make_shared<WireEvent>();
    wire->setName(event.event_id.value_or(""));
    wire->setProperties(properties);
    if (event.du >= 1) wire->setDuration(event.du);
    // The wire's count has 32 bits: a larger one is sent as the most it can carry, not cut to its low bits.
    if (event.acc >= 1)
        wire->setAcc(static_cast<std::int32_t>(std::min<std::int64_t>(event.acc, std::numeric_limits<std::int32_t>::max())));
    wire->setTs(event.tsMilliseconds());
    return wire;
}

// The events and errors as one instant message under the device identifier.
std::shared_ptr<WireInstantMsg> instantMsg(const RezOzovaRecords::Container& events,
                                           const RezOzovaRecords::Container& eventsWithValues,
                                           const RezOzovaRecords::Container& errors) {
    auto wireEvents = std::make_shared<WireRecordList<WireEvent>>();
    for (const auto* source : {&events, &eventsWithValues})
        for (const auto& record : *source)
            if (auto event = std::dynamic_pointer_cast<StatEvent>(record)) wireEvents->push_back(wireEvent(*event));
    auto wireErrors = std::make_shared<WireRecordList<WireError>>();
    for (const auto& record : errors)
        if (auto error = std::dynamic_pointer_cast<StatError>(record))
            wireErrors->push_back(std::make_shared<WireError>(error->tsMilliseconds(), error->context.value_or(""), 0));
    auto message = std::make_shared<WireInstantMsg>();
    message->setId(StatProtocolData::openUDIDString());
    message->setEvents(wireEvents);
    message->setErrors(wireErrors);
    return message;
}

// A copy whose containers the worker thread's changes cannot reach while the entry is written.
std::shared_ptr<WireIdTracking> trackingToSend(const std::shared_ptr<WireIdTracking>& tracking) {
    if (!tracking) return nullptr;
    const bool snapshots = tracking->snapshots() && !tracking->snapshots()->empty();
    const bool journals = tracking->journals() && !tracking->journals()->empty();
    if (!snapshots && !journals) return nullptr;
    return std::make_shared<WireIdTracking>(
        std::make_shared<WireRecordMap<WireIdSnapshot>>(tracking->snapshots() ? *tracking->snapshots()
                                                                              : WireRecordMap<WireIdSnapshot>{}),
        journals ? std::make_shared<WireRecordList<WireIdJournal>>(*tracking->journals()) : nullptr,
        tracking->checksum());
}

// Puts the records in front of those already held, keeping at most the limit (the oldest give way).
template <class Records>
void prepend(Records& held, Records&& earlier) {
    held.insert(held.begin(), std::make_move_iterator(earlier.begin()), std::make_move_iterator(earlier.end()));
    keepNewest(held, RezOzovaRecords::MaxWaitingRecords);
}

}  // namespace

RezOzovaRecords& RezOzovaRecords::sharedInstance() {
    static RezOzovaRecords* records = new RezOzovaRecords;
    return *records;
}

RezOzovaRecords::Container& RezOzovaRecords::container(Kind kind) {
    return kind == Kind::Events ? events_ : kind == Kind::EventsWithValues ? eventsWithValues_ : errors_;
}

const RezOzovaRecords::Container& RezOzovaRecords::container(Kind kind) const {
    return kind == Kind::Events ? events_ : kind == Kind::EventsWithValues ? eventsWithValues_ : errors_;
}

bool RezOzovaRecords::add(Kind kind, std::shared_ptr<StatBaseEvent> record) {
    std::lock_guard lock(mutex_);
    auto& records = container(kind);
    if (records.size() >= MaxWaitingRecords) return false;
    records.push_back(std::move(record));
    return true;
}

bool RezOzovaRecords::addSession(std::shared_ptr<WireSession> session) {
    std::lock_guard lock(mutex_);
    if (!session || sessions_.size() >= MaxWaitingRecords) return false;
    sessions_.push_back(std::move(session));
    return true;
}

RezOzovaRecords::Container RezOzovaRecords::pending(Kind kind) const {
    std::lock_guard lock(mutex_);
    return container(kind);
}

RezOzovaRecords::Sessions RezOzovaRecords::pendingSessions() const { return ns::lockedCopy(mutex_, sessions_); }

std::size_t RezOzovaRecords::pendingCount(Kind kind) const {
    std::lock_guard lock(mutex_);
    return container(kind).size();
}

bool RezOzovaRecords::hasPending() const {
    std::lock_guard lock(mutex_);
    return !events_.empty() || !eventsWithValues_.empty() || !errors_.empty() || !sessions_.empty();
}

std::size_t RezOzovaRecords::packedCount() const {
    std::lock_guard lock(mutex_);
    return packedEvents_ + packedEventsWithValues_ + packedErrors_;
}

void RezOzovaRecords::clearPacked() {
    std::lock_guard lock(mutex_);
    auto dropFront = [](auto& records, std::size_t count) {
        records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(std::min(count, records.size())));
    };
    dropFront(events_, packedEvents_);
    dropFront(eventsWithValues_, packedEventsWithValues_);
    dropFront(errors_, packedErrors_);
    dropFront(sessions_, packedSessions_);
    packedEvents_ = packedEventsWithValues_ = packedErrors_ = packedSessions_ = 0;
}

void RezOzovaRecords::clearLocked() {
    events_.clear();
    eventsWithValues_.clear();
    errors_.clear();
    sessions_.clear();
    packedEvents_ = packedEventsWithValues_ = packedErrors_ = packedSessions_ = 0;
}

void RezOzovaRecords::clearAll() {
    std::lock_guard lock(mutex_);
    clearLocked();
    hold_.reset();
}

void RezOzovaRecords::dropAll() {
    std::shared_ptr<RezOzovaRecordHold> hold;
    {
        std::lock_guard lock(mutex_);
        clearLocked();
        hold = std::exchange(hold_, nullptr);
    }
    if (!hold) return;
    const RezOzovaFolderLock folder;
    hold->release(std::nullopt);
}

bool RezOzovaRecords::saveCache() {
    RezOzovaCachedRecords records;
    std::shared_ptr<RezOzovaRecordHold> hold;
    {
        std::lock_guard lock(mutex_);
        records.events = events_;
        records.eventsWithValues = eventsWithValues_;
        records.errors = errors_;
        records.sessions = sessions_;
        records.idTracking = idTracking_;
        hold = hold_;
    }
    if (!RezOzovaRecordCache::save(records, hold.get())) return false;
    // Only what was saved leaves; the main thread adds records, and it is the one saving.
    std::lock_guard lock(mutex_);
    if (hold_ == hold) hold_.reset();
    auto dropSaved = [](auto& held, const auto& saved) {
        held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(std::min(saved.size(), held.size())));
    };
    dropSaved(events_, records.events);
    dropSaved(eventsWithValues_, records.eventsWithValues);
    dropSaved(errors_, records.errors);
    dropSaved(sessions_, records.sessions);
    packedEvents_ = packedEventsWithValues_ = packedErrors_ = packedSessions_ = 0;
    return true;
}

void RezOzovaRecords::reloadCache() {
    auto hold = ns::lockedCopy(mutex_, hold_);
    RezOzovaCachedRecords cached = RezOzovaRecordCache::take(hold, MaxWaitingRecords);
    std::lock_guard lock(mutex_);
    hold_ = std::move(hold);
    if (cached.empty()) return;
    prepend(events_, std::move(cached.events));
    prepend(eventsWithValues_, std::move(cached.eventsWithValues));
    prepend(errors_, std::move(cached.errors));
    prepend(sessions_, std::move(cached.sessions));
    if (!idTracking_) idTracking_ = std::move(cached.idTracking);
    packedEvents_ = packedEventsWithValues_ = packedErrors_ = packedSessions_ = 0;
}

bool RezOzovaRecords::saveEnvelopeLocked(const ns::Data& envelope, const std::string& path) {
    const auto hold = ns::lockedCopy(mutex_, hold_);
    if (!hold) return RezOzovaUtility::saveData(envelope, path);
    if (RezOzovaUtility::isExistAtPath(path) ||
        !hold->release(RezOzovaRecordHold::Output{ns::lastPathComponent(path), envelope, std::nullopt}))
        return false;
    std::lock_guard lock(mutex_);
    if (hold_ == hold) hold_.reset();
    return true;
}

bool RezOzovaRecords::activateMsgPending() { return RezOzovaConfig::configureWithKey("statActivateMsg").isNil(); }

std::optional<ns::Data> RezOzovaRecords::entityData() {
    WireLogEntry entry;
    const bool activation = activateMsgPending();
    {
        std::lock_guard lock(mutex_);
        packedEvents_ = packedEventsWithValues_ = packedErrors_ = packedSessions_ = 0;
        entryActivateMsgTs_.reset();
        const bool records = !events_.empty() || !eventsWithValues_.empty() || !errors_.empty() || !sessions_.empty();
        if (!records && !activation) return std::nullopt;
        if (!events_.empty() || !eventsWithValues_.empty() || !errors_.empty())
            entry.setInstant_msgs(std::make_shared<WireRecordList<WireInstantMsg>>(
                WireRecordList<WireInstantMsg>{instantMsg(events_, eventsWithValues_, errors_)}));
        if (!sessions_.empty()) entry.setSessions(std::make_shared<WireRecordList<WireSession>>(sessions_));
        if (auto tracking = trackingToSend(trackingLocked())) entry.setId_tracking(std::move(tracking));
        packedEvents_ = events_.size();
        packedEventsWithValues_ = eventsWithValues_.size();
        packedErrors_ = errors_.size();
        packedSessions_ = sessions_.size();
        if (activation) {
            entryActivateMsgTs_ = nowMilliseconds();
            entry.setActivate_msg(std::make_shared<WireActivateMsg>(*entryActivateMsgTs_));
        }
    }
    entry.setClient_stats(RezOzovaEntryFacts::clientStats());
    entry.setApp_info(RezOzovaEntryFacts::appInfo());
    entry.setDevice_info(RezOzovaEntryFacts::deviceInfo());
    entry.setMisc_info(RezOzovaEntryFacts::miscInfo());
    if (auto imprint = storedImprint()) entry.setImprint(std::move(imprint));

    const ns::Data bytes = serialized(entry);
    if (bytes.length() >= MaxSerializedLength) {
        dropAll();
        return std::nullopt;
    }
    RezOzovaEnvelope::sharedInstance().setLength(static_cast<std::int32_t>(bytes.length()));
    auto compressed = ns::zlibCompress(bytes);
    if (!compressed || compressed->length() >= MaxCompressedLength) {
        dropAll();
        return std::nullopt;
    }
    return compressed;
}

void RezOzovaRecords::setActivateMsgFlag() {
    std::optional<std::int64_t> sent;
    {
        std::lock_guard lock(mutex_);
        sent = std::exchange(entryActivateMsgTs_, std::nullopt);
    }
    if (sent && activateMsgPending()) RezOzovaConfig::setConfigure(ns::Value(*sent), "statActivateMsg");
}

bool RezOzovaRecords::verifyResponseData(const ns::Data& data) {
    WireResponse response;
    try {
        WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(data));
        response.read(protocol);
    } catch (const std::exception& exception) {
        statLog(std::string("Exception occurred: ") + exception.what());
        return false;
    }
    if (!response.resp_codeIsSet() || response.resp_code() != 1) return false;
    const auto& imprint = response.imprint();
    // An imprint counts only when complete: every required field set and a checksum to echo.
    if (imprint && imprint->propertyIsSet() && imprint->versionIsSet() && imprint->checksum() &&
        !imprint->checksum()->empty())
        RezOzovaConfig::setConfigure(ns::Value(serialized(*imprint)), "statImprint");
    return true;
}

void RezOzovaRecords::setIdTracking(std::shared_ptr<WireIdTracking> tracking) {
    ns::lockedStore(mutex_, idTracking_, std::move(tracking));
}

std::shared_ptr<WireIdTracking>& RezOzovaRecords::trackingLocked() {
    if (!idTracking_) idTracking_ = deserialized<WireIdTracking>(RezOzovaConfig::configureWithKey("statIDTracking"));
    return idTracking_;
}

std::shared_ptr<WireIdTracking> RezOzovaRecords::idTracking() {
    std::lock_guard lock(mutex_);
    return trackingLocked();
}

void RezOzovaRecords::saveIdTracking(const WireIdTracking* delivered) {
    std::lock_guard lock(mutex_);
    if (!idTracking_) return;
    // The entry may have been made by an earlier launch, whose journal was read back from the record cache:
    // entries are told apart by their fields, each delivered one taking one of those held.
    if (delivered && delivered->journals() && idTracking_->journals()) {
        auto& held = *idTracking_->journals();
        for (const auto& sent : *delivered->journals()) {
            const auto same = std::find_if(held.begin(), held.end(), [&](const std::shared_ptr<WireIdJournal>& kept) {
                return kept && sent && kept->domain() == sent->domain() && kept->old_id() == sent->old_id() &&
                       kept->new_id() == sent->new_id() && kept->ts() == sent->ts();
            });
            if (same != held.end()) held.erase(same);
        }
        if (held.empty()) idTracking_->unsetJournals();
    }
    // Also without snapshots (signed off): the stored record would otherwise still name the account.
    RezOzovaConfig::setConfigure(ns::Value(serialized(*idTracking_)), "statIDTracking");
}

void RezOzovaRecords::changeIdentityLocked(const std::string& domain, const std::optional<std::string>& identity) {
    auto& tracking = trackingLocked();
    if (!tracking) tracking = std::make_shared<WireIdTracking>();
    if (!tracking->snapshots()) tracking->setSnapshots(std::make_shared<WireRecordMap<WireIdSnapshot>>());
    auto& snapshots = *tracking->snapshots();
    std::optional<std::string> old;
    std::int32_t version = 0;
    if (auto found = snapshots.find(domain); found != snapshots.end() && found->second) {
        old = found->second->identity();
        version = found->second->version();
    }
    if (old == identity) return;
    const std::int64_t now = nowMilliseconds();
    if (identity) snapshots[domain] = std::make_shared<WireIdSnapshot>(*identity, now, version + 1);
    else snapshots.erase(domain);
    if (!tracking->journals()) tracking->setJournals(std::make_shared<WireRecordList<WireIdJournal>>());
    auto& journals = *tracking->journals();
    journals.push_back(std::make_shared<WireIdJournal>(domain, old, identity.value_or(""), now));
    if (journals.size() > MaxJournals)
        journals.erase(journals.begin(), journals.end() - static_cast<std::ptrdiff_t>(MaxJournals));
}

void RezOzovaRecords::signIn(const std::string& puid, const std::optional<std::string>& provider) {
    std::lock_guard lock(mutex_);
    changeIdentityLocked("puid", puid);
    changeIdentityLocked("provider", provider);
}

void RezOzovaRecords::signOff() {
    std::lock_guard lock(mutex_);
    changeIdentityLocked("puid", std::nullopt);
    changeIdentityLocked("provider", std::nullopt);
}

std::shared_ptr<WireImprint> RezOzovaRecords::storedImprint() {
    return deserialized<WireImprint>(RezOzovaConfig::configureWithKey("statImprint"));
}

std::optional<std::string> RezOzovaRecords::imprintPropertyValueWithKey(std::string_view key) {
    const auto imprint = storedImprint();
    if (!imprint || !imprint->property()) return std::nullopt;
    auto found = imprint->property()->find(std::string(key));
    if (found == imprint->property()->end() || !found->second || !found->second->value()) return std::nullopt;
    return *found->second->value();
}

}  // namespace ql
