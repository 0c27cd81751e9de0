#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "net/NetURLConnectionOperation.h"
#include "net/NetURLSessionNotifications.h"
#include "net/uikit/NetNetworkActivityIndicatorManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/URLSession.h"
#include "platform/ui/Application.h"

namespace ql {
namespace {

void settle() {
    for (int i = 0; i < 3; ++i) ns::Clock::advance(0);
}

bool indicatorShown() { return ui::Application::sharedApplication().isNetworkActivityIndicatorVisible(); }

void post(std::string_view name, const std::shared_ptr<ns::Object>& object) {
    ns::NotificationCenter::defaultCenter().post(name, object.get());
    settle();
}

std::shared_ptr<NetURLConnectionOperation> operation() {
    return std::make_shared<NetURLConnectionOperation>(
        ns::URLRequest(ns::URL::fromString("http://127.0.0.1:9/a")));
}

class NetNetworkActivityIndicatorManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::sharedApplication().setNetworkActivityIndicatorVisible(false);
        manager->setEnabled(true);
    }
    ns::ManualClockScope clock;
    std::shared_ptr<NetNetworkActivityIndicatorManager> manager = NetNetworkActivityIndicatorManager::create();
};

TEST_F(NetNetworkActivityIndicatorManagerTest, ShowsAtOnceAndHidesOnlyAfterTheDelay) {
    auto first = operation();
    post(NetNetworkingOperationDidStartNotification, first);
    EXPECT_EQ(manager->activityCount(), 1);
    EXPECT_TRUE(indicatorShown());

    post(NetNetworkingOperationDidFinishNotification, first);
    EXPECT_EQ(manager->activityCount(), 0);
    ns::Clock::advance(0.16);
    EXPECT_TRUE(indicatorShown());
    ns::Clock::advance(0.02);
    EXPECT_FALSE(indicatorShown());

    // Back-to-back requests: the pending hide reads the count when it fires and keeps the indicator up.
    auto second = operation();
    post(NetNetworkingOperationDidStartNotification, first);
    post(NetNetworkingOperationDidFinishNotification, first);
    ns::Clock::advance(0.1);
    post(NetNetworkingOperationDidStartNotification, second);
    ns::Clock::advance(0.5);
    EXPECT_TRUE(indicatorShown());
    EXPECT_EQ(manager->activityCount(), 1);
}

TEST_F(NetNetworkActivityIndicatorManagerTest, CountsEachRequestOnceAndIgnoresStrangers) {
    auto session = ns::URLSession::sharedSession();
    auto task = session->dataTaskWithRequest(ns::URLRequest(ns::URL::fromString("http://127.0.0.1:9/t")));
    auto other = operation();

    // A finish without a start changes nothing.
    post(NetNetworkingOperationDidFinishNotification, other);
    EXPECT_EQ(manager->activityCount(), 0);

    post(NetNetworkingOperationDidStartNotification, other);
    post(NetNetworkingTaskDidResumeNotification, task);
    post(NetNetworkingTaskDidResumeNotification, task);
    EXPECT_EQ(manager->activityCount(), 2);

    // Suspended, then cancelled: the task's completion must not take the other request's share.
    post(NetNetworkingTaskDidSuspendNotification, task);
    post(NetNetworkingTaskDidCompleteNotification, task);
    EXPECT_EQ(manager->activityCount(), 1);
    ns::Clock::advance(1);
    EXPECT_TRUE(indicatorShown());

    // Neither an operation nor a task, nor an operation without a URL.
    post(NetNetworkingOperationDidStartNotification, std::make_shared<ns::Object>());
    post(NetNetworkingOperationDidStartNotification, std::make_shared<NetURLConnectionOperation>());
    EXPECT_EQ(manager->activityCount(), 1);

    post(NetNetworkingOperationDidFinishNotification, other);
    ns::Clock::advance(1);
    EXPECT_FALSE(indicatorShown());
    task->cancel();
}

TEST_F(NetNetworkActivityIndicatorManagerTest, DisabledItCountsButNeverTouchesTheIndicator) {
    manager->setEnabled(false);
    std::vector<bool> announced;
    auto observation = manager->addObserver("networkActivityIndicatorVisible", ns::KeyValueObservingOptionNew,
                                            [&](const ns::KeyValueChange& change) {
                                                announced.push_back(change.newValue.boolValue());
                                            });
    post(NetNetworkingOperationDidStartNotification, operation());
    EXPECT_EQ(manager->activityCount(), 1);
    EXPECT_TRUE(manager->isNetworkActivityIndicatorVisible());
    ns::Clock::advance(1);
    EXPECT_FALSE(indicatorShown());

    manager->decrementActivityCount();
    manager->decrementActivityCount();
    EXPECT_EQ(manager->activityCount(), 0);
    EXPECT_EQ(announced, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(NetNetworkActivityIndicatorManager::keyPathsForValuesAffectingIsNetworkActivityIndicatorVisible(),
              (std::set<std::string>{"activityCount"}));
    EXPECT_EQ(NetNetworkActivityIndicatorManager::sharedManager(), NetNetworkActivityIndicatorManager::sharedManager());
    EXPECT_FALSE(NetNetworkActivityIndicatorManager::sharedManager()->isEnabled());
}

}  // namespace
}  // namespace ql
