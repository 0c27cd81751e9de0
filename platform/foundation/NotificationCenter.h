#pragma once
// ns::NotificationCenter: broadcasts named notifications within the process. Observers register for a
// target, which the centre holds weakly and forgets once it is gone, or with a block, which the centre
// holds until its token is removed. Delivery is synchronous: on the posting thread, or on the operation
// queue a block observer named, in which case the post waits until the block has run there.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

class OperationQueue;

class Notification {
public:
    // `object` is the sender. The notification keeps it alive when it is owned by a shared_ptr; a sender
    // that is not (one posting from its destructor) is still known by identity.
    explicit Notification(std::string name, const Object* object = nullptr, Dictionary userInfo = {});

    const std::string& name() const { return name_; }
    const std::shared_ptr<Object>& object() const { return object_; }
    // The sender's identity, which observers' object filters compare.
    const Object* sender() const { return sender_; }
    const Dictionary& userInfo() const { return userInfo_; }

private:
    std::string name_;
    const Object* sender_;
    std::shared_ptr<Object> object_;
    Dictionary userInfo_;
};

class NotificationCenter final : public Object {
public:
    using Handler = std::function<void(const Notification&)>;

    static const Class& classObject();
    const Class& objectClass() const override;

    NotificationCenter() = default;
    ~NotificationCenter() override;

    static NotificationCenter& defaultCenter();

    // Calls `handler` for notifications named `name` (empty: any name) from `object` (null: any sender)
    // while `target` lives. The target is held weakly and kept alive during each call, so the handler may
    // refer to it directly. Raises when the target is not owned by a shared_ptr.
    void addObserver(std::weak_ptr<Object> target, Handler handler, std::string_view name = {},
                     const Object* object = nullptr);
    // Calls `block` for matching notifications, on `queue` when one is given. The centre holds the
    // registration until its token is passed to removeObserver.
    std::shared_ptr<Object> addObserverForName(std::string_view name, const Object* object,
                                               std::shared_ptr<OperationQueue> queue, Handler block);

    // Removes the registrations of a target or a block token; safe from the target's destructor and from
    // inside a delivery. A registration removed during a post is not called by it any more.
    void removeObserver(const Object* observer);
    // Removes only the registrations made for exactly this name (unless empty) and this sender (unless null).
    void removeObserver(const Object* observer, std::string_view name, const Object* object);

    void post(const Notification& notification);
    void post(std::string_view name, const Object* object = nullptr, Dictionary userInfo = {});

private:
    struct Registration;
    void add(std::shared_ptr<Registration> registration);
    // Under mutex_: drops registrations whose target has gone.
    void purge();

    std::mutex mutex_;
    std::vector<std::shared_ptr<Registration>> registrations_;
};

}  // namespace ql::ns
