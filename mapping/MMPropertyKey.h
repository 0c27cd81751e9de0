#pragma once
// MMPropertyKey: one step of a key path into the dictionaries and arrays of a reply: a dictionary key
// ("user" in `user.name`) or an array index ("0" in `list[0]`).

#include <cstdint>
#include <string>

#include "platform/foundation/Value.h"

namespace ql {

class MMPropertyKey {
public:
    enum class Type : std::int32_t { Dictionary = 0, Array = 1 };

    MMPropertyKey(Type type, std::string name);

    Type type() const { return type_; }
    // The key, or the index digits.
    const std::string& name() const { return name_; }
    // The leading integer of the name read as a signed 32-bit number, 0 when it has none.
    std::int32_t index() const { return index_; }

    // The value this step reaches in a container; nil for a missing key, an index out of range, or a
    // container of the other kind.
    ns::Value valueInObject(const ns::Value& container) const;
    // The same lookup without copying: a pointer into the container, or nullptr.
    const ns::Value* find(const ns::Value& container) const;

    bool operator==(const MMPropertyKey& other) const { return type_ == other.type_ && name_ == other.name_; }

private:
    Type type_;
    std::string name_;
    std::int32_t index_ = 0;
};

}  // namespace ql
