#pragma once
// StatJsonParser: JSON text to values: objects become mutable dictionaries, arrays mutable arrays, strings
// mutable texts, numbers integers (StatJsonDecimal, the literal's digits, for integers beyond 64 bits;
// doubles when they have a fraction or an exponent), true and false booleans, null the null value. A
// failure answers nil and leaves the reasons in errorTrace. Input that is not UTF-8 inside a string is
// refused. Nesting stops at maxDepth and, whatever maxDepth says, at the stack guard DepthCeiling.

#include <optional>
#include <string>
#include <string_view>

#include "analytics/json/StatJsonBase.h"
#include "platform/foundation/Value.h"

namespace ql {

class StatJsonParser : public StatJsonBase {
    QL_OBJECT(StatJsonParser, StatJsonBase)
public:
    // An object or array; nil for anything else (error 4) or on failure. A nil text fails with error 12.
    ns::Value objectWithString(std::optional<std::string_view> text);
    // Any JSON value. The text ends at its end or at its first NUL byte.
    ns::Value fragmentWithString(std::optional<std::string_view> text);

private:
    unsigned char current() const { return c_ < end_ ? static_cast<unsigned char>(*c_) : 0; }
    bool atEnd() const { return c_ >= end_; }
    void skipWhiteSpace();
    bool fail(StatJsonErrorCode code, std::string description);

    bool scanValue(ns::Value& out);
    bool scanRestOfWord(std::string_view rest, std::string_view expected);
    bool scanNumber(ns::Value& out);
    bool scanRestOfArray(ns::Value& out);
    bool scanRestOfObject(ns::Value& out);
    bool scanRestOfString(std::string& out);
    bool scanUnicodeEscape(std::string& out);
    bool scanHexQuad(char16_t& out);

    const char* c_ = nullptr;
    const char* end_ = nullptr;
};

}  // namespace ql
