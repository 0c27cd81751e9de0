#pragma once
// A reference into a keyed archive's object table: the one property-list kind that ns::Value has no kind of
// its own for, so it travels as this small object.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"

namespace ql::ns {

class PropertyListUID final : public Object {
public:
    explicit PropertyListUID(std::uint64_t value) : value_(value) {}

    static const Class& classObject();
    const Class& objectClass() const override { return classObject(); }

    std::uint64_t value() const { return value_; }
    bool isEqual(const Object& other) const override;
    std::string description() const override;

    static Value make(std::uint64_t value);
    // The reference a value holds, if it is one.
    static std::optional<std::uint64_t> valueOf(const Value& value);

private:
    std::uint64_t value_;
};

}  // namespace ql::ns
