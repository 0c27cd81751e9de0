#include "mapping/MMFoundation.h"

#include <algorithm>

#include "platform/foundation/Error.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"

namespace ql {

namespace {

// The value classes resolved once; the registry is only consulted again for objects.
struct ValueClasses {
    const ns::Class* null = &MMFoundation::requiredClass("NSNull");
    const ns::Class* number = &MMFoundation::requiredClass("NSNumber");
    const ns::Class* string = &MMFoundation::requiredClass("NSString");
    const ns::Class* mutableString = &MMFoundation::requiredClass("NSMutableString");
    const ns::Class* data = &MMFoundation::requiredClass("NSData");
    const ns::Class* mutableData = &MMFoundation::requiredClass("NSMutableData");
    const ns::Class* date = &MMFoundation::requiredClass("NSDate");
    const ns::Class* array = &MMFoundation::requiredClass("NSArray");
    const ns::Class* mutableArray = &MMFoundation::requiredClass("NSMutableArray");
    const ns::Class* dictionary = &MMFoundation::requiredClass("NSDictionary");
    const ns::Class* mutableDictionary = &MMFoundation::requiredClass("NSMutableDictionary");
    const ns::Class* set = &MMFoundation::requiredClass("NSSet");
    const ns::Class* mutableSet = &MMFoundation::requiredClass("NSMutableSet");
};

const ValueClasses& valueClasses() {
    static const ValueClasses classes;
    return classes;
}

}  // namespace

const ns::Class& MMFoundation::requiredClass(const char* name) {
    const ns::Class* cls = ns::Class::named(name);
    if (!cls) throw ns::Exception(ns::InternalInconsistencyException, std::string("missing platform class ") + name);
    return *cls;
}

const std::vector<const ns::Class*>& MMFoundation::foundationClasses() {
    static const auto& classes = *new std::vector<const ns::Class*>([] {
        // URLs and errors register their box classes with their own code; asking a box for its class also
        // makes sure that code is part of the program.
        std::vector<const ns::Class*> out{ns::URL::fromString("a:")->boxed().valueClass(),
                                          ns::Error("", 0).boxed().valueClass()};
        for (const char* name : {"NSDate", "NSValue", "NSData", "NSArray", "NSDictionary", "NSString",
                                 "NSAttributedString"})
            out.push_back(&requiredClass(name));
        return out;
    }());
    return classes;
}

bool MMFoundation::isClassFromFoundation(const ns::Class* cls) {
    if (!cls) return false;
    static const ns::Class* managedObject = &requiredClass("NSManagedObject");
    if (cls == &ns::Object::classObject() || cls == managedObject) return true;
    const auto& foundation = foundationClasses();
    for (const ns::Class* c = cls; c; c = c->superclass()) {
        if (std::find(foundation.begin(), foundation.end(), c) != foundation.end()) return true;
    }
    return false;
}

const ns::Class* MMFoundation::classOfValue(const ns::Value& value) {
    using K = ns::Value::Kind;
    const ValueClasses& c = valueClasses();
    const bool m = value.isMutable();
    switch (value.kind()) {
        case K::Nil: return nullptr;
        case K::Null: return c.null;
        case K::Bool:
        case K::Int:
        case K::UInt:
        case K::Double: return c.number;
        case K::String: return m ? c.mutableString : c.string;
        case K::Data: return m ? c.mutableData : c.data;
        case K::Date: return c.date;
        case K::Array: return m ? c.mutableArray : c.array;
        case K::Dictionary: return m ? c.mutableDictionary : c.dictionary;
        case K::Set: return m ? c.mutableSet : c.set;
        case K::Object: return value.valueClass();
    }
    return nullptr;
}

}  // namespace ql
