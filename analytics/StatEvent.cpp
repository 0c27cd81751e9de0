#include "analytics/StatEvent.h"

#include "analytics/StatLog.h"
#include "analytics/StatUtil.h"
#include "analytics/WireField.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace ql {

namespace {

std::string orNull(const std::optional<std::string>& text) { return text ? *text : "(null)"; }

}  // namespace

StatEvent::StatEvent() { type = "event"; }

void StatEvent::updateDu() { du = truncatedWithin<std::int32_t>((ns::Clock::now() - ts) * 1000); }

std::optional<std::string> StatEvent::sentLabel() const {
    if (!label || label->empty()) return std::nullopt;
    if (label->size() <= MaxLabelBytes) return label;
    statLog("(Warning) Ziviv event label (" + *label + ") max bytes length > " + std::to_string(MaxLabelBytes));
    return StatUtil::getString(*label, MaxLabelBytes);
}

ns::Dictionary StatEvent::attributes() const {
    ns::Dictionary out = StatBaseEvent::attributes();
    if (auto sent = sentLabel()) out.set("label", ns::Value(std::move(*sent)));
    if (!values.empty()) out.set("values", ns::Value(values));
    if (const std::int32_t seconds = truncatedWithin<std::int32_t>(ts); seconds != 0) out.set("ts", ns::Value(seconds));
    if (event_id) out.set("tag", ns::Value(*event_id));
    if (acc >= 1) out.set("acc", ns::Value(acc));
    if (du >= 1) out.set("du", ns::Value(du));
    if (session_id) out.set("session_id", ns::Value(*session_id));
    return out;
}

void StatEvent::outputStatLog() const {
    if (!statLogEnabled()) return;
    std::string line = "event: session_id=" + orNull(session_id) + ", event=" + orNull(event_id);
    if (label && !label->empty()) line += ", label=" + *label;
    if (du >= 1) line += ", du=" + std::to_string(du);
    statLog(line);
}

void StatEvent::encodeWithCoder(ns::KeyedArchiver& coder) const {
    StatBaseEvent::encodeWithCoder(coder);
    coder.encodeObject(event_id ? ns::Value(*event_id) : ns::Value(), "self.event_id");
    coder.encodeObject(label ? ns::Value(*label) : ns::Value(), "self.label");
    // Counts and durations are 64-bit; a 32-bit entry would cut them.
    coder.encodeInt64(acc, "self.acc");
    coder.encodeInt64(du, "self.du");
    coder.encodeObject(ns::Value(values), "self.values");
}

bool StatEvent::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!StatBaseEvent::initWithCoder(coder)) return false;
    event_id = wire::decodeText(coder, "self.event_id");
    label = wire::decodeText(coder, "self.label");
    acc = coder.decodeInt64ForKey("self.acc");
    du = coder.decodeInt64ForKey("self.du");
    const ns::Value archived = coder.decodeObjectForKey("self.values");
    if (const ns::Dictionary* entries = archived.asDictionary()) values = *entries;
    else if (!archived.isNil()) wire::rejectArchivedValue(coder, "self.values", "NSDictionary");
    return !coder.error();
}

}  // namespace ql
