#include "platform/foundation/Class.h"

#include <map>
#include <mutex>

#include "platform/foundation/Object.h"

namespace ql::ns {

std::string_view Property::typeEncoding() const {
    std::string_view a = attributes;
    if (a.empty()) return {};
    a.remove_prefix(1);
    return a.substr(0, a.find(','));
}

Class::Class(std::string name, const Class* superclass, Factory factory, std::vector<Property> properties,
             bool overridesKeyValueCoding)
    : name_(std::move(name)),
      superclass_(superclass),
      factory_(std::move(factory)),
      properties_(std::move(properties)),
      overridesKeyValueCoding_(overridesKeyValueCoding) {}

bool Class::isSubclassOf(const Class& other) const {
    for (const Class* c = this; c; c = c->superclass_) {
        if (c == &other) return true;
    }
    return false;
}

std::shared_ptr<Object> Class::createInstance() const { return factory_ ? factory_() : nullptr; }

const Property* Class::propertyNamed(std::string_view name) const {
    for (const Class* c = this; c; c = c->superclass_) {
        for (const auto& p : c->properties_) {
            if (p.name == name) return &p;
        }
    }
    return nullptr;
}

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, const Class*, std::less<>> byName;
};

// The platform's value classes, which ns::Value stands for; they exist as names and a hierarchy only.
void addValueClasses(Registry& r) {
    const Class& root = Object::classObject();
    r.byName.emplace(root.name(), &root);
    auto add = [&](const char* name, const char* super) {
        const Class* s = super ? r.byName.at(super) : &root;
        r.byName.emplace(name, new Class(name, s));
    };
    add("NSString", nullptr);
    add("NSMutableString", "NSString");
    add("NSValue", nullptr);
    add("NSNumber", "NSValue");
    add("NSDecimalNumber", "NSNumber");
    add("NSNull", nullptr);
    add("NSData", nullptr);
    add("NSMutableData", "NSData");
    add("NSDate", nullptr);
    add("NSArray", nullptr);
    add("NSMutableArray", "NSArray");
    add("NSDictionary", nullptr);
    add("NSMutableDictionary", "NSDictionary");
    add("NSSet", nullptr);
    add("NSMutableSet", "NSSet");
    add("NSAttributedString", nullptr);
    add("NSMutableAttributedString", "NSAttributedString");
    add("NSManagedObject", nullptr);
}

Registry& registry() {
    static Registry* r = [] {
        auto* created = new Registry;
        addValueClasses(*created);
        return created;
    }();
    return *r;
}

}  // namespace

const Class* Class::named(std::string_view name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.byName.find(name);
    return it == r.byName.end() ? nullptr : it->second;
}

void Class::registerClass(const Class& cls) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.byName.emplace(std::string(cls.name()), &cls);
}

std::vector<const Class*> Class::allClasses() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<const Class*> out;
    for (const auto& [name, cls] : r.byName) out.push_back(cls);
    return out;
}

bool detail::registerClassOnLoad(const Class& (*classObject)()) {
    Class::registerClass(classObject());
    return true;
}

}  // namespace ql::ns
