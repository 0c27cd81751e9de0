#include "analytics/StatGameLevel.h"

#include <utility>

#include "analytics/WireField.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace ql {

StatGameLevel::StatGameLevel() {
    ts = ns::Clock::now();
    running = true;
    du = 0;
}

StatGameLevel::StatGameLevel(std::optional<std::string> levelName) : StatGameLevel() { name = std::move(levelName); }

std::shared_ptr<StatGameLevel> StatGameLevel::levelWithName(std::optional<std::string> levelName) {
    return std::make_shared<StatGameLevel>(std::move(levelName));
}

// The keys follow the event records' "self.<field>" pattern.
void StatGameLevel::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeDouble(ts, "self.ts");
    coder.encodeObject(name ? ns::Value(*name) : ns::Value(), "self.name");
    coder.encodeBool(running, "self.running");
    coder.encodeDouble(du, "self.du");
}

bool StatGameLevel::initWithCoder(ns::KeyedUnarchiver& coder) {
    ts = coder.decodeDoubleForKey("self.ts");
    name = wire::decodeText(coder, "self.name");
    running = coder.decodeBoolForKey("self.running");
    du = coder.decodeDoubleForKey("self.du");
    return !coder.error();
}

}  // namespace ql
