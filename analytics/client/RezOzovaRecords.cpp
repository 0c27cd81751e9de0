#include "analytics/client/RezOzovaRecords.h"

#include <algorithm>
#include <exception>
#include <limits>

#include "analytics/StatError.h"
#include "analytics/StatEvent.h"
#include "analytics/StatLog.h"
#include "analytics/WireBinaryProtocol.h"
#include "analytics/WireInstantMsg.h"
#include "analytics/WireMemoryBuffer.h"
#include "analytics/WireResponse.h"
#include "analytics/client/RezOzovaConfig.h"
#include "analytics/client/RezOzovaEnvelope.h"
#include "analytics/client/StatProtocolData.h"
#include "platform/foundation/Locked.h"
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

std::shared_ptr<WirePropertyValue> propertyValue(const ns::Value& value) {
    auto property = std::make_shared<WirePropertyValue>();
    if (value.isInteger()) property->setLong_value(value.int64Value());
    else property->setString_value(value.isString() ? std::string(value.asString()) : value.description());
    return property;
}

std::shared_ptr<WireEvent> wireEvent(const StatEvent& event) {
    auto properties = std::make_shared<WireRecordMap<WirePropertyValue>>();
    for (const auto& [key, value] : event.values) (*properties)[key] = propertyValue(value);
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

void RezOzovaRecords::add(Kind kind, std::shared_ptr<StatBaseEvent> record) {
    std::lock_guard lock(mutex_);
    container(kind).push_back(std::move(record));
}

RezOzovaRecords::Container RezOzovaRecords::pending(Kind kind) const {
    std::lock_guard lock(mutex_);
    return container(kind);
}

bool RezOzovaRecords::hasPending() const {
    std::lock_guard lock(mutex_);
    return !events_.empty() || !eventsWithValues_.empty() || !errors_.empty();
}

std::size_t RezOzovaRecords::packedCount() const {
    std::lock_guard lock(mutex_);
    return packedEvents_ + packedEventsWithValues_ + packedErrors_;
}

void RezOzovaRecords::clearPacked() {
    std::lock_guard lock(mutex_);
    events_.erase(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(packedEvents_));
    eventsWithValues_.erase(eventsWithValues_.begin(),
                            eventsWithValues_.begin() + static_cast<std::ptrdiff_t>(packedEventsWithValues_));
    errors_.erase(errors_.begin(), errors_.begin() + static_cast<std::ptrdiff_t>(packedErrors_));
    packedEvents_ = packedEventsWithValues_ = packedErrors_ = 0;
}

void RezOzovaRecords::clearAll() {
    std::lock_guard lock(mutex_);
    events_.clear();
    eventsWithValues_.clear();
    errors_.clear();
    packedEvents_ = packedEventsWithValues_ = packedErrors_ = 0;
}

std::optional<ns::Data> RezOzovaRecords::entityData() {
    WireInstantMsg entry;
    {
        std::lock_guard lock(mutex_);
        packedEvents_ = packedEventsWithValues_ = packedErrors_ = 0;
        if (events_.empty() && eventsWithValues_.empty() && errors_.empty()) return std::nullopt;
        auto events = std::make_shared<WireRecordList<WireEvent>>();
        for (const Container* source : {&events_, &eventsWithValues_})
            for (const auto& record : *source)
                if (auto event = std::dynamic_pointer_cast<StatEvent>(record)) events->push_back(wireEvent(*event));
        auto errors = std::make_shared<WireRecordList<WireError>>();
        for (const auto& record : errors_)
            if (auto error = std::dynamic_pointer_cast<StatError>(record))
                errors->push_back(std::make_shared<WireError>(error->tsMilliseconds(),
                                                              error->context.value_or(""), 0));
        entry.setEvents(events);
        entry.setErrors(errors);
        packedEvents_ = events_.size();
        packedEventsWithValues_ = eventsWithValues_.size();
        packedErrors_ = errors_.size();
    }
    entry.setId(StatProtocolData::openUDIDString());
    const ns::Data bytes = serialized(entry);
    if (bytes.length() >= MaxSerializedLength) {
        clearAll();
        return std::nullopt;
    }
    RezOzovaEnvelope::sharedInstance().setLength(static_cast<std::int32_t>(bytes.length()));
    auto compressed = ns::zlibCompress(bytes);
    if (!compressed || compressed->length() >= MaxCompressedLength) {
        clearAll();
        return std::nullopt;
    }
    return compressed;
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

void RezOzovaRecords::saveIdTracking() {
    std::lock_guard lock(mutex_);
    if (!idTracking_ || !idTracking_->snapshots() || idTracking_->snapshots()->empty()) return;
    idTracking_->unsetJournals();
    RezOzovaConfig::setConfigure(ns::Value(serialized(*idTracking_)), "statIDTracking");
}

std::optional<std::string> RezOzovaRecords::imprintPropertyValueWithKey(std::string_view key) {
    const ns::Value stored = RezOzovaConfig::configureWithKey("statImprint");
    if (!stored.isData()) return std::nullopt;
    WireImprint imprint;
    try {
        WireBinaryProtocol protocol(std::make_shared<WireMemoryBuffer>(*stored.asData()));
        imprint.read(protocol);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (!imprint.property()) return std::nullopt;
    auto found = imprint.property()->find(std::string(key));
    if (found == imprint.property()->end() || !found->second || !found->second->value()) return std::nullopt;
    return *found->second->value();
}

}  // namespace ql
