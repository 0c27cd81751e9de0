#pragma once
// UTError: reports misuse of the period groups (a bad index, an object of the wrong class) as an error
// record in the "com.Dunsel.dateUtil" domain, written to the log with the current call stack. Nothing is
// thrown: the "throw" operations only report.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/foundation/Class.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"

namespace ql {

class TPTimePeriod;

inline constexpr std::string_view kDateUtilErrorDomain = "com.Dunsel.dateUtil";

class UTError {
public:
    enum Code : std::int64_t { InsertOutOfBounds = 0, RemoveOutOfBounds = 1, BadType = 2 };
    using Periods = std::vector<std::shared_ptr<TPTimePeriod>>;

    // The list's count is reported; 0 when there is no list.
    static void throwInsertOutOfBoundsException(std::int64_t index, const Periods* array);
    static void throwRemoveOutOfBoundsException(std::int64_t index, const Periods* array);
    // A missing object is reported under the class name "(null)".
    static void throwBadTypeException(const ns::Object* object, const ns::Class& expectedClass);
    static void printErrorWithCallStack(const ns::Error& error);

    // The records the operations above report.
    static ns::Error insertOutOfBoundsError(std::int64_t index, const Periods* array);
    static ns::Error removeOutOfBoundsError(std::int64_t index, const Periods* array);
    static ns::Error badTypeError(const ns::Object* object, const ns::Class& expectedClass);
};

}  // namespace ql
