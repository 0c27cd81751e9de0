#pragma once
// MMProperty: model mapping's record of one declared property, shared by every class that inherits it.
// Whatever depends on the class being mapped (where the value comes from, the element class of an
// array) is kept per class inside the record, because one record serves the whole class hierarchy.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mapping/MMPropertyKey.h"
#include "mapping/MMPropertyType.h"
#include "platform/foundation/Class.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

// The steps from a reply's top dictionary to one value.
using MMKeyPath = std::vector<MMPropertyKey>;
// Where a property's value may come from, tried in order.
using MMKeyPaths = std::vector<MMKeyPath>;

class MMProperty {
public:
    // The one record for a declared property, made on first request.
    static MMProperty& cachedPropertyWithProperty(const ns::Property& property);

    explicit MMProperty(const ns::Property& property);
    MMProperty(const MMProperty&) = delete;
    MMProperty& operator=(const MMProperty&) = delete;

    const ns::Property& property() const { return property_; }
    const std::string& name() const { return property_.name; }
    const MMPropertyType& type() const { return type_; }
    // The class whose own declarations hold the property.
    const ns::Class* srcClass() const { return srcClass_.load(std::memory_order_acquire); }
    void setSrcClass(const ns::Class& cls) { srcClass_.store(&cls, std::memory_order_release); }

    // The object's value by key-value coding, numbers boxed; the null object when the type cannot go
    // through key-value coding.
    ns::Value valueForObject(const ns::Object& object) const;
    // Sets the value by key-value coding (numbers unboxed into scalars); does nothing for nil or a type
    // that cannot go through key-value coding.
    void setValue(const ns::Value& value, ns::Object& object) const;

    // One key path from its text: "list[0].title" gives key list, index 0, key title. Empty for a text
    // that names no key (an empty text, "[3]").
    static MMKeyPath propertyKeysWithStringKey(std::string_view stringKey);

    // A text gives one key path, a list of texts one path each; paths that name no key are dropped. When
    // none is left the class has no key paths (an earlier list for it is dropped too); likewise an element
    // class of nullptr.
    void setOriginKey(const ns::Value& originKey, const ns::Class& cls);
    void setPorpertyKeys(MMKeyPaths propertyKeys, const ns::Class& cls);
    // The key paths stored for a class; nullptr when none are.
    std::shared_ptr<const MMKeyPaths> propertyKeysForClass(const ns::Class& cls) const;
    void setObjectClassInArray(const ns::Class* objectClass, const ns::Class& cls);
    const ns::Class* objectClassInArrayForClass(const ns::Class& cls) const;

private:
    const ns::Property& property_;
    const MMPropertyType& type_;
    std::atomic<const ns::Class*> srcClass_{nullptr};
    // Keyed by class identity: two classes may bear one name.
    mutable std::mutex mutex_;
    std::unordered_map<const ns::Class*, std::shared_ptr<const MMKeyPaths>> propertyKeys_;
    std::unordered_map<const ns::Class*, const ns::Class*> objectClassInArray_;
};

}  // namespace ql
