#pragma once
// MMPropertyType: what model mapping needs to know about a property's type, parsed once from the
// runtime's type code and shared by every property of that code for the life of the process.

#include <string>
#include <string_view>

#include "platform/foundation/Class.h"

namespace ql {

class MMPropertyType {
public:
    // The one record for a type code, parsed on first request.
    static const MMPropertyType& cachedTypeWithCode(std::string_view code);

    explicit MMPropertyType(std::string code);
    MMPropertyType(const MMPropertyType&) = delete;
    MMPropertyType& operator=(const MMPropertyType&) = delete;

    // The type code; for an object type the bare class name ("NSString" for `@"NSString"`).
    const std::string& code() const { return code_; }
    // The code is exactly "@", an untyped object reference.
    bool isIdType() const { return idType_; }
    // A number class, or one of the integer, floating or boolean scalar codes.
    bool isNumberType() const { return numberType_; }
    // A boolean or a character scalar.
    bool isBoolType() const { return boolType_; }
    // The class of an object type; nullptr for scalars, "@" and class names no class bears.
    const ns::Class* typeClass() const { return typeClass_; }
    bool isFromFoundation() const { return fromFoundation_; }
    // Selectors, runtime internals and empty codes cannot go through key-value coding.
    bool isKVCDisabled() const { return kvcDisabled_; }

private:
    std::string code_;
    const ns::Class* typeClass_ = nullptr;
    bool idType_ = false;
    bool numberType_ = false;
    bool boolType_ = false;
    bool fromFoundation_ = false;
    bool kvcDisabled_ = false;
};

}  // namespace ql
