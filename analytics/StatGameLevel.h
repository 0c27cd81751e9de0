#pragma once
// StatGameLevel: one level of a game session, for the game analytics.

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"

namespace ql {

class StatGameLevel : public ns::Object, public ns::Coding {
    QL_OBJECT(StatGameLevel, ns::Object)
    QL_PROPERTY(double, ts)  // start, seconds since 1970
    QL_PROPERTY(std::optional<std::string>, name)
    QL_PROPERTY(bool, running)
    QL_PROPERTY(double, du)  // accumulated seconds
public:
    // Started now and running, with no time accumulated.
    StatGameLevel();
    explicit StatGameLevel(std::optional<std::string> levelName);
    static std::shared_ptr<StatGameLevel> levelWithName(std::optional<std::string> levelName);

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
};

}  // namespace ql
