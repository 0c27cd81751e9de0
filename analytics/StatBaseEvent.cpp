#include "analytics/StatBaseEvent.h"

#include "analytics/WireField.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Locale.h"

namespace ql {

namespace {

// In the default time zone, with ASCII digits whatever the user's locale.
std::string localText(ns::Date date, const char* pattern) {
    ns::DateFormatter formatter;
    formatter.setLocale(ns::Locale("en_US_POSIX"));
    formatter.setDateFormat(pattern);
    return formatter.stringFromDate(date);
}

}  // namespace

StatBaseEvent::StatBaseEvent() {
    ts = ns::Clock::now();
    const auto now = ns::Date::fromTimeIntervalSince1970(ts);
    date = localText(now, "yyyy-MM-dd");
    time = localText(now, "HH:mm:ss");
}

ns::Dictionary StatBaseEvent::attributes() const {
    ns::Dictionary out{{"date", ns::Value(date)}, {"time", ns::Value(time)}};
    if (session_id) out.set("session_id", ns::Value(*session_id));
    return out;
}

void StatBaseEvent::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeBool(sendingFlag, "self.sendingFlag");
    coder.encodeDouble(ts, "self.ts");
    coder.encodeObject(ns::Value(type), "self.type");
    coder.encodeObject(ns::Value(date), "self.date");
    coder.encodeObject(ns::Value(time), "self.time");
    coder.encodeObject(session_id ? ns::Value(*session_id) : ns::Value(), "self.session_id");
}

bool StatBaseEvent::initWithCoder(ns::KeyedUnarchiver& coder) {
    sendingFlag = coder.decodeBoolForKey("self.sendingFlag");
    ts = coder.decodeDoubleForKey("self.ts");
    type = wire::decodeText(coder, "self.type").value_or("");
    date = wire::decodeText(coder, "self.date").value_or("");
    time = wire::decodeText(coder, "self.time").value_or("");
    session_id = wire::decodeText(coder, "self.session_id");
    return !coder.error();
}

}  // namespace ql
