#include "mapping/MMProperty.h"

#include <unordered_map>

namespace ql {

MMProperty& MMProperty::cachedPropertyWithProperty(const ns::Property& property) {
    // Never destroyed: the class caches keep pointers to these records for the life of the process.
    struct Records {
        std::mutex mutex;
        std::unordered_map<const ns::Property*, std::unique_ptr<MMProperty>> byProperty;
    };
    static Records* records = new Records;
    std::lock_guard lock(records->mutex);
    auto& record = records->byProperty[&property];
    if (!record) record = std::make_unique<MMProperty>(property);
    return *record;
}

MMProperty::MMProperty(const ns::Property& property)
    : property_(property), type_(MMPropertyType::cachedTypeWithCode(property.typeEncoding())) {}

ns::Value MMProperty::valueForObject(const ns::Object& object) const {
    if (type_.isKVCDisabled()) return ns::Value::null();
    return object.valueForKey(name());
}

void MMProperty::setValue(const ns::Value& value, ns::Object& object) const {
    if (type_.isKVCDisabled() || value.isNil()) return;
    object.setValueForKey(value, name());
}

MMKeyPath MMProperty::propertyKeysWithStringKey(std::string_view stringKey) {
    MMKeyPath keys;
    if (stringKey.empty()) return keys;
    std::size_t start = 0;
    while (true) {
        std::size_t dot = stringKey.find('.', start);
        std::string_view piece = stringKey.substr(start, dot == std::string_view::npos ? dot : dot - start);
        std::size_t bracket = piece.find('[');
        if (bracket == std::string_view::npos) {
            keys.emplace_back(MMPropertyKey::Type::Dictionary, std::string(piece));
        } else if (bracket > 0) {
            keys.emplace_back(MMPropertyKey::Type::Dictionary, std::string(piece.substr(0, bracket)));
            // Only the leading name is taken off, so an index that repeats it ("1[1]", "a[a]") survives.
            std::string rest;
            for (char c : piece.substr(bracket))
                if (c != '[') rest += c;
            std::size_t from = 0;
            for (std::size_t close = rest.find(']'); close != std::string::npos; close = rest.find(']', from)) {
                keys.emplace_back(MMPropertyKey::Type::Array, rest.substr(from, close - from));
                from = close + 1;
            }
        }
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return keys;
}

void MMProperty::setOriginKey(const ns::Value& originKey, const ns::Class& cls) {
    MMKeyPaths paths;
    auto add = [&paths](std::string_view text) {
        MMKeyPath path = propertyKeysWithStringKey(text);
        if (!path.empty()) paths.push_back(std::move(path));
    };
    if (originKey.isString()) {
        add(originKey.asString());
    } else if (const ns::Array* list = originKey.asArray()) {
        for (const ns::Value& key : *list)
            if (key.isString()) add(key.asString());
    }
    setPorpertyKeys(std::move(paths), cls);
}

void MMProperty::setPorpertyKeys(MMKeyPaths propertyKeys, const ns::Class& cls) {
    std::lock_guard lock(mutex_);
    // A rebuilt list that finds no path must not leave the paths of an earlier configuration behind.
    if (propertyKeys.empty()) propertyKeys_.erase(&cls);
    else propertyKeys_[&cls] = std::make_shared<const MMKeyPaths>(std::move(propertyKeys));
}

std::shared_ptr<const MMKeyPaths> MMProperty::propertyKeysForClass(const ns::Class& cls) const {
    std::lock_guard lock(mutex_);
    auto it = propertyKeys_.find(&cls);
    return it == propertyKeys_.end() ? nullptr : it->second;
}

void MMProperty::setObjectClassInArray(const ns::Class* objectClass, const ns::Class& cls) {
    std::lock_guard lock(mutex_);
    if (objectClass) objectClassInArray_[&cls] = objectClass;
    else objectClassInArray_.erase(&cls);
}

const ns::Class* MMProperty::objectClassInArrayForClass(const ns::Class& cls) const {
    std::lock_guard lock(mutex_);
    auto it = objectClassInArray_.find(&cls);
    return it == objectClassInArray_.end() ? nullptr : it->second;
}

}  // namespace ql
