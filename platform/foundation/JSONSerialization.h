#pragma once
// ns::JSONSerialization: JSON text to ns::Value and back, in the platform's manner: integers stay exact
// 64-bit integers, `1.0` stays a double, `true` a boolean and `null` the null object; malformed text and
// values with no JSON form answer an error value (NSCocoaErrorDomain), never a crash or an exception.

#include <optional>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

// Reading option bits, with the platform's values.
enum JSONReadingOptions : unsigned {
    JSONReadingMutableContainers = 1u << 0,  // arrays and dictionaries come back mutable
    JSONReadingMutableLeaves = 1u << 1,      // texts come back mutable
    JSONReadingFragmentsAllowed = 1u << 2,   // the top level may be a text, number, boolean or null
};

// Writing option bits, with the platform's values.
enum JSONWritingOptions : unsigned {
    JSONWritingPrettyPrinted = 1u << 0,     // two-space indent, one member per line, " : " after keys
    JSONWritingSortedKeys = 1u << 1,        // dictionaries are always sorted here, so this changes nothing
    JSONWritingFragmentsAllowed = 1u << 2,  // the top level may be a text, number or null
};

class JSONSerialization {
public:
    // The value of a JSON text (UTF-8, or UTF-16/32 recognised by a byte-order mark or by the zero
    // bytes of its first characters); nil on failure, with `error` (when given) carrying the platform's
    // code, PropertyListReadCorruptError, and the reason under NSDebugDescription, e.g. "Garbage at end."
    // or "Invalid value around character 7.".
    static Value JSONObjectWithData(const Data& data, unsigned options, Error* error);
    static Value JSONObjectWithData(std::string_view text, unsigned options, Error* error);

    // The JSON text of a value; nothing on failure, with `error` (when given) carrying
    // PropertyListWriteInvalidError and the reason, e.g. "Invalid type in JSON write (NSDate)". (The
    // platform raises an exception here; an error value lets callers such as request serializers fail
    // the request instead.)
    static std::optional<Data> dataWithJSONObject(const Value& object, unsigned options, Error* error);

    // Whether dataWithJSONObject would write this value without fragments: an array or dictionary at the
    // top, holding only texts, finite numbers, booleans, null, arrays and dictionaries.
    static bool isValidJSONObject(const Value& object);
};

}  // namespace ql::ns
