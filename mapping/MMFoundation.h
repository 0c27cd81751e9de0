#pragma once
// MMFoundation: which classes belong to the platform's value layer and are therefore never taken apart
// into properties by model mapping, and the class of a value as model mapping sees it.

#include <vector>

#include "platform/foundation/Class.h"
#include "platform/foundation/Value.h"

namespace ql {

class MMFoundation {
public:
    // NSURL, NSDate, NSValue, NSData, NSError, NSArray, NSDictionary, NSString, NSAttributedString.
    static const std::vector<const ns::Class*>& foundationClasses();
    // True for NSObject and NSManagedObject themselves and for the classes above and their subclasses
    // (NSMutableString, NSNumber, NSDecimalNumber…); false for none, NSNull, NSSet and model classes.
    static bool isClassFromFoundation(const ns::Class* cls);

    // The class the platform reports for a value (NSString, NSMutableArray, NSNumber, NSNull, an object's
    // own class); nullptr for nil. Same answer as ns::Value::valueClass, without a registry lookup per call.
    static const ns::Class* classOfValue(const ns::Value& value);
    // The registry entry of a platform class that must exist (NSString, NSURL…).
    static const ns::Class& requiredClass(const char* name);
};

}  // namespace ql
