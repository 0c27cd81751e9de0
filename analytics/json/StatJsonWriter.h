#pragma once
// StatJsonWriter: values to JSON text, compact or indented by two spaces per level, with dictionary keys
// in the dictionary's own order or sorted. A failure answers nothing and leaves the reasons in errorTrace.
// Integers are written as plain digits, StatJsonDecimal ones included. Nesting stops at maxDepth and,
// whatever maxDepth says, at the stack guard DepthCeiling.

#include <optional>
#include <string>

#include "analytics/json/StatJsonBase.h"
#include "platform/foundation/Value.h"

namespace ql {

// An object that the writer writes as the value it stands for.
class StatJsonProxy {
public:
    virtual ~StatJsonProxy() = default;
    virtual ns::Value proxyForJson() const = 0;
};

class StatJsonWriter : public StatJsonBase {
    QL_OBJECT(StatJsonWriter, StatJsonBase)
public:
    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }
    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }

    // A dictionary or array (or a proxy for one); anything else fails with error 4.
    std::optional<std::string> stringWithObject(const ns::Value& value);
    // Any value JSON can hold: dictionaries, arrays, texts, numbers (StatJsonDecimal too), booleans, null,
    // proxies.
    std::optional<std::string> stringWithFragment(const ns::Value& value);

private:
    bool writeValue(const ns::Value& value, std::string& out);
    bool writeArray(const ns::Array& elements, std::string& out);
    bool writeObject(const ns::Dictionary& members, std::string& out);
    void writeIndent(std::string& out) const;
    bool fail(StatJsonErrorCode code, std::string description);

    bool humanReadable_ = false;
    bool sortKeys_ = false;
};

}  // namespace ql
