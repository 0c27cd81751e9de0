#include "analytics/StatError.h"

#include "analytics/StatLog.h"
#include "analytics/WireField.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace ql {

StatError::StatError() { type = "error"; }

ns::Dictionary StatError::attributes() const {
    ns::Dictionary out = StatBaseEvent::attributes();
    out.set("message_type", ns::Value("error"));
    if (context) out.set("context", ns::Value(*context));
    if (session_id) out.set("session_id", ns::Value(*session_id));
    return out;
}

void StatError::outputStatLog() const {
    if (!statLogEnabled()) return;
    statLog("error: session_id=" + session_id.value_or("(null)") + ", context=" + context.value_or("(null)"));
}

void StatError::encodeWithCoder(ns::KeyedArchiver& coder) const {
    StatBaseEvent::encodeWithCoder(coder);
    coder.encodeObject(context ? ns::Value(*context) : ns::Value(), "self.context");
}

bool StatError::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!StatBaseEvent::initWithCoder(coder)) return false;
    context = wire::decodeText(coder, "self.context");
    return !coder.error();
}

}  // namespace ql
