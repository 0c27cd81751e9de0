#include "storage/datetime/UTError.h"

#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UncaughtException.h"

namespace ql {

namespace {

std::string localized(std::string_view key) { return ns::Bundle::main().localizedString(key, "", ""); }

ns::Error record(UTError::Code code, std::string reason, std::string_view suggestion) {
    ns::Dictionary info;
    info.set(std::string(ns::LocalizedDescriptionKey), localized("Operation was unsuccessful."));
    info.set(std::string(ns::LocalizedFailureReasonErrorKey), std::move(reason));
    info.set(std::string(ns::LocalizedRecoverySuggestionErrorKey), localized(suggestion));
    return ns::Error(std::string(kDateUtilErrorDomain), code, std::move(info));
}

std::int64_t countOf(const UTError::Periods* array) {
    return array ? static_cast<std::int64_t>(array->size()) : 0;
}

}  // namespace

ns::Error UTError::insertOutOfBoundsError(std::int64_t index, const Periods* array) {
    return record(InsertOutOfBounds,
                  "Attempted to insert TPTimePeriod at index " + std::to_string(index) +
                      " but the group is of size [0..." + std::to_string(countOf(array)) + "].",
                  "Please try an index within the bounds or the group.");
}

ns::Error UTError::removeOutOfBoundsError(std::int64_t index, const Periods* array) {
    return record(RemoveOutOfBounds,
                  "Attempted to remove TPTimePeriod at index " + std::to_string(index) +
                      " but the group is of size [0..." + std::to_string(countOf(array)) + "].",
                  "Please try an index within the bounds of the group.");
}

ns::Error UTError::badTypeError(const ns::Object* object, const ns::Class& expectedClass) {
    std::string given = object ? std::string(object->className()) : std::string("(null)");
    return record(BadType,
                  "Attempted to insert object of class " + given + " when expecting object of class " +
                      std::string(expectedClass.name()) + ".",
                  "Please try again by inserting a TPTimePeriod object.");
}

void UTError::throwInsertOutOfBoundsException(std::int64_t index, const Periods* array) {
    printErrorWithCallStack(insertOutOfBoundsError(index, array));
}

void UTError::throwRemoveOutOfBoundsException(std::int64_t index, const Periods* array) {
    printErrorWithCallStack(removeOutOfBoundsError(index, array));
}

void UTError::throwBadTypeException(const ns::Object* object, const ns::Class& expectedClass) {
    printErrorWithCallStack(badTypeError(object, expectedClass));
}

void UTError::printErrorWithCallStack(const ns::Error& error) {
    ns::Log::write(error.description());
    for (const std::string& symbol : ns::callStackSymbols(64)) ns::Log::write("\n\n " + symbol);
}

}  // namespace ql
