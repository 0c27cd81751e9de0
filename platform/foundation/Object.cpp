#include "platform/foundation/Object.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Exception.h"

namespace ql::ns {

namespace {

struct Association_ {
    Value value;
    std::weak_ptr<Object> weak;
    bool isWeak = false;
};

struct Observer {
    std::uint64_t id;
    std::string key;
    unsigned options;
    std::function<void(const KeyValueChange&)> handler;
    std::atomic<bool> removed{false};
};

std::atomic<std::uint64_t> nextObserverId{1};

}  // namespace

struct Object::Extras {
    std::mutex mutex;
    std::unordered_map<const void*, Association_> associations;
    std::vector<std::shared_ptr<Observer>> observers;
    // Old values captured by willChange, matched by the next didChange of the same key.
    std::vector<std::pair<std::string, Value>> pendingOldValues;
};

Object::Object() = default;

Object::~Object() { delete extras_.load(std::memory_order_acquire); }

Object::Extras& Object::extras() const {
    Extras* e = extras_.load(std::memory_order_acquire);
    if (e) return *e;
    auto* created = new Extras;
    if (extras_.compare_exchange_strong(e, created, std::memory_order_acq_rel)) return *created;
    delete created;
    return *e;
}

const Class& Object::classObject() {
    static const Class& cls = *new Class("NSObject", nullptr, [] { return std::make_shared<Object>(); });
    return cls;
}

const Class& Object::objectClass() const { return classObject(); }

std::string addressText(const void* p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", p);
    return buf;
}

std::string Object::description() const { return "<" + std::string(className()) + ": " + addressText(this) + ">"; }

// ---- Key-value coding ----

Value Object::valueForKey(std::string_view key) const {
    if (const Property* p = objectClass().propertyNamed(key)) return p->get(*this);
    return valueForUndefinedKey(key);
}

void Object::setValueForKey(const Value& value, std::string_view key) {
    const Property* p = objectClass().propertyNamed(key);
    if (!p || !p->set) {
        setValueForUndefinedKey(value, key);
        return;
    }
    willChangeValueForKey(key);
    p->set(*this, value);
    didChangeValueForKey(key);
}

Value Object::valueForUndefinedKey(std::string_view key) const {
    throw Exception(UnknownKeyException, "[<" + std::string(className()) + " " + addressText(this) +
                                             "> valueForUndefinedKey:]: this class is not key value coding-compliant "
                                             "for the key " +
                                             std::string(key) + ".");
}

void Object::setValueForUndefinedKey(const Value&, std::string_view key) {
    throw Exception(UnknownKeyException, "[<" + std::string(className()) + " " + addressText(this) +
                                             "> setValue:forUndefinedKey:]: this class is not key value "
                                             "coding-compliant for the key " +
                                             std::string(key) + ".");
}

// ---- Associated values ----

void Object::setAssociatedValue(const void* key, Value value, Association policy) {
    Association_ entry;
    if (policy == Association::Weak && value.isObject()) {
        entry.weak = value.asObject();
        entry.isWeak = true;
    } else if (policy == Association::Copy && value.isObject()) {
        auto copied = value.asObject()->copy();
        entry.value = copied ? Value(copied) : std::move(value);
    } else {
        entry.value = std::move(value);
    }
    Association_ previous;
    {
        Extras& e = extras();
        std::lock_guard lock(e.mutex);
        auto it = e.associations.find(key);
        if (it != e.associations.end()) previous = std::move(it->second);
        if (entry.isWeak || !entry.value.isNil()) e.associations[key] = std::move(entry);
        else if (it != e.associations.end()) e.associations.erase(it);
    }
    // `previous` is released here, outside the lock, in case its destruction reaches back into this object.
}

Value Object::associatedValue(const void* key) const {
    Extras* e = extras_.load(std::memory_order_acquire);
    if (!e) return {};
    std::lock_guard lock(e->mutex);
    auto it = e->associations.find(key);
    if (it == e->associations.end()) return {};
    if (it->second.isWeak) return Value(it->second.weak.lock());
    return it->second.value;
}

// ---- Key-value observation ----

Value Object::observedValue(std::string_view key) const {
    try {
        return valueForKey(key);
    } catch (const Exception&) {
        return {};
    }
}

KeyValueObservation Object::addObserver(std::string_view key, unsigned options,
                                        std::function<void(const KeyValueChange&)> handler) {
    auto observer = std::make_shared<Observer>();
    observer->id = nextObserverId.fetch_add(1);
    observer->key = std::string(key);
    observer->options = options;
    observer->handler = std::move(handler);
    {
        Extras& e = extras();
        std::lock_guard lock(e.mutex);
        e.observers.push_back(observer);
    }
    if (options & KeyValueObservingOptionInitial) {
        KeyValueChange change;
        change.keyPath = observer->key;
        if (options & KeyValueObservingOptionNew) change.newValue = observedValue(key);
        observer->handler(change);
    }
    return KeyValueObservation(weak_from_this(), observer->id);
}

void Object::removeObserver(std::uint64_t id) {
    std::shared_ptr<Observer> removed;
    Extras* e = extras_.load(std::memory_order_acquire);
    if (!e) return;
    {
        std::lock_guard lock(e->mutex);
        for (auto it = e->observers.begin(); it != e->observers.end(); ++it) {
            if ((*it)->id == id) {
                removed = *it;
                removed->removed = true;
                e->observers.erase(it);
                break;
            }
        }
    }
}

namespace {

std::vector<std::shared_ptr<Observer>> observersOf(std::mutex& mutex,
                                                   const std::vector<std::shared_ptr<Observer>>& all,
                                                   std::string_view key, unsigned& unionOfOptions) {
    std::lock_guard lock(mutex);
    std::vector<std::shared_ptr<Observer>> out;
    unionOfOptions = 0;
    // Counted first: most changes have no observer, and those that do get one allocation.
    const auto count = std::count_if(all.begin(), all.end(), [&](const auto& o) { return o->key == key; });
    if (count == 0) return out;
    out.reserve(static_cast<std::size_t>(count));
    for (const auto& o : all) {
        if (o->key == key) {
            out.push_back(o);
            unionOfOptions |= o->options;
        }
    }
    return out;
}

}  // namespace

void Object::willChangeValueForKey(std::string_view key) {
    Extras* e = extras_.load(std::memory_order_acquire);
    if (!e) return;
    unsigned options = 0;
    auto observers = observersOf(e->mutex, e->observers, key, options);
    if (observers.empty()) return;
    auto keepAlive = weak_from_this().lock();
    Value oldValue = (options & KeyValueObservingOptionOld) ? observedValue(key) : Value();
    {
        std::lock_guard lock(e->mutex);
        e->pendingOldValues.emplace_back(std::string(key), oldValue);
    }
    for (const auto& o : observers) {
        if (!(o->options & KeyValueObservingOptionPrior) || o->removed) continue;
        KeyValueChange change;
        change.keyPath = o->key;
        change.isPrior = true;
        if (o->options & KeyValueObservingOptionOld) change.oldValue = oldValue;
        o->handler(change);
    }
}

void Object::didChangeValueForKey(std::string_view key) {
    Extras* e = extras_.load(std::memory_order_acquire);
    if (!e) return;
    Value oldValue;
    {
        std::lock_guard lock(e->mutex);
        for (auto it = e->pendingOldValues.rbegin(); it != e->pendingOldValues.rend(); ++it) {
            if (it->first == key) {
                oldValue = std::move(it->second);
                e->pendingOldValues.erase(std::next(it).base());
                break;
            }
        }
    }
    unsigned options = 0;
    auto observers = observersOf(e->mutex, e->observers, key, options);
    if (observers.empty()) return;
    auto keepAlive = weak_from_this().lock();
    Value newValue = (options & KeyValueObservingOptionNew) ? observedValue(key) : Value();
    for (const auto& o : observers) {
        if (o->removed) continue;
        KeyValueChange change;
        change.keyPath = o->key;
        if (o->options & KeyValueObservingOptionOld) change.oldValue = oldValue;
        if (o->options & KeyValueObservingOptionNew) change.newValue = newValue;
        o->handler(change);
    }
}

// ---- Observation tokens ----

KeyValueObservation::KeyValueObservation(KeyValueObservation&& other) noexcept
    : target_(std::move(other.target_)), id_(other.id_) {
    other.id_ = 0;
}

KeyValueObservation& KeyValueObservation::operator=(KeyValueObservation&& other) noexcept {
    if (this != &other) {
        invalidate();
        target_ = std::move(other.target_);
        id_ = other.id_;
        other.id_ = 0;
    }
    return *this;
}

KeyValueObservation::~KeyValueObservation() { invalidate(); }

void KeyValueObservation::invalidate() {
    if (id_ == 0) return;
    if (auto target = target_.lock()) target->removeObserver(id_);
    id_ = 0;
    target_.reset();
}

}  // namespace ql::ns
