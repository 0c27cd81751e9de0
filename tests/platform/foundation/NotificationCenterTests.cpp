#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/RunLoop.h"

using namespace ql::ns;

namespace {

constexpr std::string_view Shown = "ShownNotification";
constexpr std::string_view Hidden = "HiddenNotification";

// An observer that counts what it receives and may unregister itself when destroyed.
class Listener : public Object {
public:
    explicit Listener(NotificationCenter& center, bool removeOnDestruction = false)
        : center_(center), removeOnDestruction_(removeOnDestruction) {}
    ~Listener() override {
        if (removeOnDestruction_) center_.removeObserver(this);
    }
    std::vector<std::string> received;

private:
    NotificationCenter& center_;
    bool removeOnDestruction_;
};

}  // namespace

TEST(NotificationCenter, FiltersByNameAndSenderAndRemovesSelectively) {
    auto center = std::make_shared<NotificationCenter>();
    auto sender = std::make_shared<Object>();
    auto other = std::make_shared<Object>();
    auto listener = std::make_shared<Listener>(*center);
    Listener* l = listener.get();
    auto record = [l](std::string tag) {
        return [l, tag](const Notification& n) { l->received.push_back(tag + ":" + n.name()); };
    };
    center->addObserver(listener, record("any"));
    center->addObserver(listener, record("shown"), Shown);
    center->addObserver(listener, record("from sender"), {}, sender.get());
    center->addObserver(listener, record("shown from sender"), Shown, sender.get());

    Dictionary info{{"height", Value(216)}};
    center->addObserver(listener, [&](const Notification& n) {
        EXPECT_EQ(n.object(), sender);
        EXPECT_EQ(n.userInfo(), info);
    }, Shown, sender.get());
    center->post(Shown, sender.get(), info);
    EXPECT_EQ(l->received, (std::vector<std::string>{"any:ShownNotification", "shown:ShownNotification",
                                                     "from sender:ShownNotification",
                                                     "shown from sender:ShownNotification"}));
    l->received.clear();
    center->post(Hidden, other.get());
    EXPECT_EQ(l->received, (std::vector<std::string>{"any:HiddenNotification"}));

    // Only registrations made for exactly this name and sender go.
    l->received.clear();
    center->removeObserver(l, Shown, sender.get());
    center->post(Shown, sender.get(), info);
    EXPECT_EQ(l->received, (std::vector<std::string>{"any:ShownNotification", "shown:ShownNotification",
                                                     "from sender:ShownNotification"}));
    l->received.clear();
    center->removeObserver(l);
    center->post(Shown, sender.get());
    EXPECT_TRUE(l->received.empty());

    // A sender posting from its destructor is still matched by identity.
    auto dying = std::make_unique<Object>();
    const Object* dyingIdentity = dying.get();
    int matched = 0;
    center->addObserver(listener, [&](const Notification& n) {
        ++matched;
        EXPECT_EQ(n.object(), nullptr);
        EXPECT_EQ(n.sender(), dyingIdentity);
    }, {}, dyingIdentity);
    center->post(Hidden, dying.get());
    EXPECT_EQ(matched, 1);

    EXPECT_THROW(center->addObserver(std::weak_ptr<Object>(), [](const Notification&) {}), Exception);
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
}

TEST(NotificationCenter, TargetsAreDroppedOnceGoneAndMayGoDuringDelivery) {
    auto center = std::make_shared<NotificationCenter>();
    std::vector<std::string> calls;

    // Forgotten without removal.
    auto forgotten = std::make_shared<Listener>(*center);
    center->addObserver(forgotten, [&](const Notification&) { calls.push_back("forgotten"); });
    forgotten.reset();
    center->post(Shown);
    EXPECT_TRUE(calls.empty());

    // During one post: the first observer destroys the third and removes the fourth; the second
    // drops the last outside reference to itself, so it dies (and unregisters) once its call returns;
    // the fifth posts again from inside its handler.
    auto first = std::make_shared<Listener>(*center, true);
    auto second = std::make_shared<Listener>(*center, true);
    auto third = std::make_shared<Listener>(*center, true);
    auto fourth = std::make_shared<Listener>(*center);
    auto fifth = std::make_shared<Listener>(*center);
    std::weak_ptr<Listener> secondWatch = second;
    center->addObserver(first, [&](const Notification& n) {
        calls.push_back("first " + n.name());
        third.reset();
        center->removeObserver(fourth.get());
    });
    center->addObserver(second, [&, self = second.get()](const Notification& n) {
        calls.push_back("second " + n.name());
        second.reset();
        EXPECT_FALSE(secondWatch.expired());  // kept alive by the delivery
        self->received.push_back(n.name());
    });
    center->addObserver(third, [&](const Notification&) { calls.push_back("third"); });
    center->addObserver(fourth, [&](const Notification&) { calls.push_back("fourth"); });
    center->addObserver(fifth, [&](const Notification& n) {
        calls.push_back("fifth " + n.name());
        if (n.name() == Shown) center->post(Hidden);
    });
    center->post(Shown);
    EXPECT_TRUE(secondWatch.expired());
    EXPECT_EQ(calls, (std::vector<std::string>{"first ShownNotification", "second ShownNotification",
                                               "fifth ShownNotification", "first HiddenNotification",
                                               "fifth HiddenNotification"}));
}

TEST(NotificationCenter, BlockObserversLiveUntilTheirTokenIsRemoved) {
    auto center = std::make_shared<NotificationCenter>();
    int count = 0;
    auto token = center->addObserverForName(Shown, nullptr, nullptr, [&](const Notification&) { ++count; });
    std::weak_ptr<Object> watch = token;
    const Object* identity = token.get();
    token.reset();  // the centre holds it
    center->post(Shown);
    center->post(Hidden);
    EXPECT_EQ(count, 1);
    ASSERT_FALSE(watch.expired());
    center->removeObserver(identity);
    EXPECT_TRUE(watch.expired());
    center->post(Shown);
    EXPECT_EQ(count, 1);
}

TEST(NotificationCenter, DeliversOnTheObserversQueueAndWaitsForIt) {
    auto center = std::make_shared<NotificationCenter>();
    auto queue = std::make_shared<OperationQueue>();
    std::atomic<bool> ranOnQueue{false};
    std::atomic<bool> delivered{false};
    auto token = center->addObserverForName(Shown, nullptr, queue, [&](const Notification&) {
        ranOnQueue = OperationQueue::currentQueue() == queue && !DispatchQueue::isMainThread();
        delivered = true;
    });
    center->post(Shown);
    EXPECT_TRUE(delivered);  // the post returned only after the block ran
    EXPECT_TRUE(ranOnQueue);
    center->removeObserver(token.get());

    // Main-queue observers: posted from the main thread they run at once; posted from elsewhere, on the
    // main thread while the poster waits.
    std::atomic<int> onMain{0};
    token = center->addObserverForName(Hidden, nullptr, OperationQueue::mainQueue(), [&](const Notification&) {
        if (DispatchQueue::isMainThread()) ++onMain;
    });
    center->post(Hidden);
    EXPECT_EQ(onMain, 1);
    std::atomic<bool> posterSawDelivery{false};
    std::atomic<bool> posted{false};
    DispatchQueue::global()->async([&] {
        center->post(Hidden);
        posterSawDelivery = onMain == 2;
        posted = true;
        RunLoop::main()->wakeUp();
    });
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return posted.load(); }, 60));
    EXPECT_TRUE(posterSawDelivery);
    center->removeObserver(token.get());
}
