#pragma once
// ns::Object: the root of everything with identity. Objects live in std::shared_ptr; owners hold them
// strongly and delegates or back-pointers hold std::weak_ptr. An object knows its class (the registry
// of Class.h), describes itself, answers key-value coding through its declared properties, carries
// associated values keyed per object, and announces property changes to key-value observers.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/Class.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

// How an associated value is held, after the platform's association policies.
enum class Association {
    Strong,  // retained
    Copy,    // an object is copied (Object::copy) when it can be; other values are values anyway
    Weak,    // an object is held weakly and reads as nil once it is gone
};

// Option bits of key-value observation, with the platform's values.
enum KeyValueObservingOptions : unsigned {
    KeyValueObservingOptionNew = 0x01,
    KeyValueObservingOptionOld = 0x02,
    KeyValueObservingOptionInitial = 0x04,
    KeyValueObservingOptionPrior = 0x08,
};

// The change record handed to an observer.
struct KeyValueChange {
    enum class Kind { Setting = 1, Insertion = 2, Removal = 3, Replacement = 4 };
    Kind kind = Kind::Setting;
    Value oldValue;  // nil unless the Old option was given (and never in the initial call)
    Value newValue;  // nil unless the New option was given (and never in a prior call)
    bool isPrior = false;
    std::string keyPath;
};

class Object;

// An observer registration. Destroying it (or calling invalidate) removes the observer; both are safe
// after the observed object has gone, and an observer removed during delivery is not called again.
class KeyValueObservation {
public:
    KeyValueObservation() = default;
    KeyValueObservation(KeyValueObservation&& other) noexcept;
    KeyValueObservation& operator=(KeyValueObservation&& other) noexcept;
    KeyValueObservation(const KeyValueObservation&) = delete;
    KeyValueObservation& operator=(const KeyValueObservation&) = delete;
    ~KeyValueObservation();

    void invalidate();
    bool isValid() const { return id_ != 0; }

private:
    friend class Object;
    KeyValueObservation(std::weak_ptr<Object> target, std::uint64_t id) : target_(std::move(target)), id_(id) {}
    std::weak_ptr<Object> target_;
    std::uint64_t id_ = 0;
};

class Object : public std::enable_shared_from_this<Object> {
public:
    Object();
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // The root class, reported as "NSObject".
    static const Class& classObject();
    virtual const Class& objectClass() const;
    std::string_view className() const { return objectClass().name(); }
    bool isKindOfClass(const Class& cls) const { return objectClass().isSubclassOf(cls); }
    bool isMemberOfClass(const Class& cls) const { return &objectClass() == &cls; }

    // "<ClassName: 0x7f…>" unless a class says more about itself.
    virtual std::string description() const;
    virtual bool isEqual(const Object& other) const { return this == &other; }
    // A copy for classes that support copying; nullptr for those that do not.
    virtual std::shared_ptr<Object> copy() const { return nullptr; }

    // Key-value coding through the declared properties of the class chain. An unknown key raises
    // "NSUnknownKeyException" through valueForUndefinedKey / setValueForUndefinedKey.
    virtual Value valueForKey(std::string_view key) const;
    virtual void setValueForKey(const Value& value, std::string_view key);
    virtual Value valueForUndefinedKey(std::string_view key) const;
    virtual void setValueForUndefinedKey(const Value& value, std::string_view key);

    // Associated values, keyed by the address of something the caller owns (usually a static).
    void setAssociatedValue(const void* key, Value value, Association policy = Association::Strong);
    Value associatedValue(const void* key) const;

    // Key-value observation. Setters of observable properties announce their change with
    // willChangeValueForKey / didChangeValueForKey (or changeValue, which does both around the store).
    KeyValueObservation addObserver(std::string_view key, unsigned options,
                                    std::function<void(const KeyValueChange&)> handler);
    void willChangeValueForKey(std::string_view key);
    void didChangeValueForKey(std::string_view key);
    template <class T, class U>
    void changeValue(std::string_view key, T& field, U&& newValue) {
        willChangeValueForKey(key);
        field = std::forward<U>(newValue);
        didChangeValueForKey(key);
    }

private:
    friend class KeyValueObservation;
    struct Extras;
    Extras& extras() const;
    void removeObserver(std::uint64_t id);
    Value observedValue(std::string_view key) const;

    mutable std::atomic<Extras*> extras_{nullptr};
};

// The address an object would print with %p, for descriptions.
std::string addressText(const void* p);

}  // namespace ql::ns
