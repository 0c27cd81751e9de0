#include "platform/foundation/PropertyListUID.h"

namespace ql::ns {

const Class& PropertyListUID::classObject() {
    static const Class& cls = *new Class("CFKeyedArchiverUID", &Object::classObject());
    return cls;
}

bool PropertyListUID::isEqual(const Object& other) const {
    auto* uid = dynamic_cast<const PropertyListUID*>(&other);
    return uid && uid->value_ == value_;
}

std::string PropertyListUID::description() const {
    return "<CFKeyedArchiverUID " + addressText(this) + ">{value = " + std::to_string(value_) + "}";
}

Value PropertyListUID::make(std::uint64_t value) { return Value(std::make_shared<PropertyListUID>(value)); }

std::optional<std::uint64_t> PropertyListUID::valueOf(const Value& value) {
    if (auto uid = value.asObject<PropertyListUID>()) return uid->value();
    return std::nullopt;
}

}  // namespace ql::ns
