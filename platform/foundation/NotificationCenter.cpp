#include "platform/foundation/NotificationCenter.h"

#include <atomic>

#include "platform/foundation/Exception.h"
#include "platform/foundation/OperationQueue.h"

namespace ql::ns {

namespace {

[[maybe_unused]] const bool notificationCenterClassRegistered =
    detail::registerClassOnLoad(&NotificationCenter::classObject);

// What addObserverForName hands out: an identity to remove the registration by.
class ObserverToken final : public Object {};

}  // namespace

Notification::Notification(std::string name, const Object* object, Dictionary userInfo)
    : name_(std::move(name)),
      sender_(object),
      object_(object ? std::const_pointer_cast<Object>(object->weak_from_this().lock()) : nullptr),
      userInfo_(std::move(userInfo)) {}

struct NotificationCenter::Registration {
    const Object* observer = nullptr;  // identity for removal
    std::weak_ptr<Object> target;      // delivery stops once it has gone
    std::shared_ptr<Object> token;     // a block registration's token, held until removed
    std::string name;
    const Object* object = nullptr;
    std::shared_ptr<OperationQueue> queue;
    Handler handler;
    std::atomic<bool> removed{false};

    bool matches(const Notification& n) const {
        return (name.empty() || name == n.name()) && (!object || object == n.sender());
    }
};

const Class& NotificationCenter::classObject() {
    static const Class& cls = makeClass<NotificationCenter, Object>("NSNotificationCenter");
    return cls;
}

const Class& NotificationCenter::objectClass() const { return classObject(); }

NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
    // Never destroyed: threads may still post while the process exits.
    static auto* center = new std::shared_ptr<NotificationCenter>(std::make_shared<NotificationCenter>());
    return **center;
}

void NotificationCenter::addObserver(std::weak_ptr<Object> target, Handler handler, std::string_view name,
                                     const Object* object) {
    const std::string method = "*** -[NSNotificationCenter addObserver:selector:name:object:]: ";
    auto strong = target.lock();
    if (!strong) throw Exception(InvalidArgumentException, method + "the observer must be owned by a shared_ptr");
    if (!handler) throw Exception(InvalidArgumentException, method + "no handler");
    auto registration = std::make_shared<Registration>();
    registration->observer = strong.get();
    registration->target = std::move(target);
    registration->name = std::string(name);
    registration->object = object;
    registration->handler = std::move(handler);
    add(std::move(registration));
}

std::shared_ptr<Object> NotificationCenter::addObserverForName(std::string_view name, const Object* object,
                                                               std::shared_ptr<OperationQueue> queue,
                                                               Handler block) {
    if (!block) {
        throw Exception(InvalidArgumentException,
                        "*** -[NSNotificationCenter addObserverForName:object:queue:usingBlock:]: block is nil");
    }
    auto token = std::make_shared<ObserverToken>();
    auto registration = std::make_shared<Registration>();
    registration->observer = token.get();
    registration->target = token;
    registration->token = token;
    registration->name = std::string(name);
    registration->object = object;
    registration->queue = std::move(queue);
    registration->handler = std::move(block);
    add(std::move(registration));
    return token;
}

void NotificationCenter::add(std::shared_ptr<Registration> registration) {
    std::lock_guard lock(mutex_);
    purge();
    registrations_.push_back(std::move(registration));
}

void NotificationCenter::purge() {
    std::erase_if(registrations_, [](const auto& r) {
        if (!r->target.expired()) return false;
        r->removed = true;
        return true;
    });
}

void NotificationCenter::removeObserver(const Object* observer) { removeObserver(observer, {}, nullptr); }

void NotificationCenter::removeObserver(const Object* observer, std::string_view name, const Object* object) {
    if (!observer) return;
    std::vector<std::shared_ptr<Registration>> removed;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(registrations_, [&](const auto& r) {
            if (r->observer != observer || (!name.empty() && r->name != name) || (object && r->object != object)) {
                return false;
            }
            r->removed = true;
            removed.push_back(r);
            return true;
        });
    }
    // The registrations (and whatever their handlers hold) go here, after the lock.
}

void NotificationCenter::post(std::string_view name, const Object* object, Dictionary userInfo) {
    post(Notification(std::string(name), object, std::move(userInfo)));
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<std::shared_ptr<Registration>> matching;
    {
        std::lock_guard lock(mutex_);
        purge();
        for (const auto& r : registrations_) {
            if (r->matches(notification)) matching.push_back(r);
        }
    }
    // Delivered from a snapshot, so that handlers may add, remove or destroy observers, or post.
    for (const auto& r : matching) {
        if (r->removed) continue;
        auto target = r->target.lock();
        if (!target) continue;
        if (!r->queue || r->queue == OperationQueue::currentQueue()) {
            r->handler(notification);
            continue;
        }
        auto delivery = BlockOperation::blockOperation([&] {
            if (!r->removed) r->handler(notification);
        });
        r->queue->addOperations({delivery}, true);
    }
}

}  // namespace ql::ns
