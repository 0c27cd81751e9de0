#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/NetHTTPRequestOperation.h"
#include "net/NetURLSessionNotifications.h"
#include "net/uikit/ActivityIndicatorViewNetworking.h"
#include "net/uikit/AlertViewNetworking.h"
#include "net/uikit/ProgressViewNetworking.h"
#include "net/uikit/RefreshControlNetworking.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/net/URLSession.h"
#include "tests/net/NetLoadingTestSupport.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using test::Gate;
using test::LoopbackServer;
using test::pumpUntil;

// Runs everything the main queue held before this call.
void drainMainQueue() {
    bool drained = false;
    ns::DispatchQueue::main()->async([&] { drained = true; });
    ASSERT_TRUE(pumpUntil([&] { return drained; }));
}

void post(std::string_view name, const std::shared_ptr<ns::Object>& sender, ns::Dictionary userInfo = {}) {
    ns::NotificationCenter::defaultCenter().post(name, sender.get(), std::move(userInfo));
    drainMainQueue();
}

// A server with a reply held until the gate opens ("/held"), a quick one ("/ok") and 2000 bytes for any
// upload ("/echo").
struct Server {
    Server() {
        server.handle("/held", [gate = gate](const httplib::Request&, httplib::Response& response) {
            gate->wait();
            response.set_content("late", "text/plain");
        });
        server.serveText("/ok", "fine");
        server.handle("/echo", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(2000, 'x'), "text/plain");
        });
    }
    ~Server() { gate->open(); }
    ns::URLRequest request(std::string_view path) const { return ns::URLRequest(ns::URL::fromString(server.url(path))); }

    std::shared_ptr<ns::URLSessionDataTask> task(std::string_view path) const {
        return ns::URLSession::sharedSession()->dataTaskWithRequest(request(path));
    }
    std::shared_ptr<ns::URLSessionTask> completedTask() const {
        auto done = task("/ok");
        done->resume();
        EXPECT_TRUE(test::pollUntil([&] { return done->state() == ns::URLSessionTaskState::Completed; }));
        return done;
    }

    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    LoopbackServer server;
};

TEST(NetActivityIndicatorViewObserver, FollowsAnUnfinishedTaskAndLeavesACompletedOneAlone) {
    Server server;
    auto spinner = std::make_shared<ui::ActivityIndicatorView>();
    auto observer = net_notificationObserver(spinner);
    EXPECT_EQ(net_notificationObserver(spinner), observer);
    EXPECT_EQ(observer->activityIndicatorView(), spinner);

    auto suspended = server.task("/held");
    spinner->startAnimating();
    net_setAnimatingWithStateOfTask(spinner, suspended);
    EXPECT_FALSE(spinner->isAnimating());
    post(NetNetworkingTaskDidResumeNotification, suspended);
    EXPECT_TRUE(spinner->isAnimating());
    post(NetNetworkingTaskDidSuspendNotification, suspended);
    EXPECT_FALSE(spinner->isAnimating());
    post(NetNetworkingTaskDidResumeNotification, server.task("/held"));
    EXPECT_FALSE(spinner->isAnimating()) << "another task's notification";
    post(NetNetworkingTaskDidResumeNotification, suspended);
    post(NetNetworkingTaskDidCompleteNotification, suspended);
    EXPECT_FALSE(spinner->isAnimating());

    auto running = server.task("/held");
    running->resume();
    net_setAnimatingWithStateOfTask(spinner, running);
    EXPECT_TRUE(spinner->isAnimating());
    post(NetNetworkingTaskDidResumeNotification, suspended);
    post(NetNetworkingTaskDidSuspendNotification, suspended);
    EXPECT_TRUE(spinner->isAnimating()) << "the earlier task is forgotten";

    net_setAnimatingWithStateOfTask(spinner, server.completedTask());
    EXPECT_TRUE(spinner->isAnimating());
    post(NetNetworkingTaskDidSuspendNotification, running);
    EXPECT_TRUE(spinner->isAnimating()) << "bound to a completed task, it follows nothing";
    running->cancel();
}

TEST(NetRefreshControlObserver, FollowsOnlyARunningTask) {
    Server server;
    auto control = std::make_shared<ui::RefreshControl>();
    EXPECT_EQ(net_notificationObserver(control)->refreshControl(), control);

    control->beginRefreshing();
    auto suspended = server.task("/held");
    net_setRefreshingWithStateOfTask(control, suspended);
    EXPECT_FALSE(control->isRefreshing());
    post(NetNetworkingTaskDidResumeNotification, suspended);
    EXPECT_FALSE(control->isRefreshing()) << "a task that was not running is not followed";

    auto running = server.task("/held");
    running->resume();
    net_setRefreshingWithStateOfTask(control, running);
    EXPECT_TRUE(control->isRefreshing());
    post(NetNetworkingTaskDidSuspendNotification, running);
    EXPECT_FALSE(control->isRefreshing());
    post(NetNetworkingTaskDidResumeNotification, running);
    EXPECT_TRUE(control->isRefreshing());
    post(NetNetworkingTaskDidCompleteNotification, running);
    EXPECT_FALSE(control->isRefreshing());
    running->cancel();
}

TEST(NetViewObservers, FollowOnlyTheLastOperationTheyWereBoundTo) {
    Server server;
    auto spinner = std::make_shared<ui::ActivityIndicatorView>();
    auto control = std::make_shared<ui::RefreshControl>();
    auto queue = std::make_shared<ns::OperationQueue>();

    auto finished = std::make_shared<NetHTTPRequestOperation>(server.request("/ok"));
    queue->addOperation(finished);
    ASSERT_TRUE(test::pollUntil([&] { return finished->isFinished(); }));
    spinner->startAnimating();
    net_setAnimatingWithStateOfOperation(spinner, finished);
    EXPECT_TRUE(spinner->isAnimating()) << "a finished operation changes nothing";

    auto first = std::make_shared<NetHTTPRequestOperation>(server.request("/held"));
    net_setAnimatingWithStateOfOperation(spinner, first);
    net_setRefreshingWithStateOfOperation(control, first);
    EXPECT_FALSE(spinner->isAnimating());
    queue->addOperation(first);
    ASSERT_TRUE(pumpUntil([&] { return spinner->isAnimating() && control->isRefreshing(); }));

    // Bound to an executing operation, they switch on at once.
    auto second = std::make_shared<NetHTTPRequestOperation>(server.request("/held"));
    queue->addOperation(second);
    ASSERT_TRUE(test::pollUntil([&] { return second->isExecuting(); }));
    spinner->stopAnimating();
    net_setAnimatingWithStateOfOperation(spinner, second);
    EXPECT_TRUE(spinner->isAnimating());

    // The first one's finish reaches only the control, which still follows it.
    first->cancel();
    ASSERT_TRUE(pumpUntil([&] { return !control->isRefreshing(); }));
    drainMainQueue();
    EXPECT_TRUE(spinner->isAnimating());
    server.gate->open();
    ASSERT_TRUE(pumpUntil([&] { return !spinner->isAnimating(); }));
}

TEST(NetProgressViewObserver, FollowsAnOperationsProgressBlocksWhenTheTotalIsKnown) {
    auto view = std::make_shared<ui::ProgressView>();
    auto operation = std::make_shared<NetURLConnectionOperation>(ns::URLRequest(ns::URL::fromString("http://127.0.0.1:9/")));
    std::vector<std::int64_t> earlier;
    operation->setDownloadProgressBlock([&](std::uint64_t, std::int64_t total, std::int64_t) { earlier.push_back(total); });
    net_setProgressWithDownloadProgressOfOperation(view, operation, true);
    net_setProgressWithUploadProgressOfOperation(view, operation, false);
    EXPECT_TRUE(net_downloadProgressAnimated(*view));
    EXPECT_FALSE(net_uploadProgressAnimated(*view));

    operation->downloadProgress()(10, 50, 100);
    drainMainQueue();
    EXPECT_FLOAT_EQ(view->progress(), 0.5f);
    operation->downloadProgress()(10, 60, -1);
    drainMainQueue();
    EXPECT_FLOAT_EQ(view->progress(), 0.5f) << "an unknown total changes nothing";
    EXPECT_EQ(earlier, (std::vector<std::int64_t>{50, 60}));
    operation->uploadProgress()(1, 3, 4);
    drainMainQueue();
    EXPECT_FLOAT_EQ(view->progress(), 0.75f);
}

TEST(NetProgressViewObserver, FollowsATasksByteCountsUntilItCompletes) {
    Server server;
    auto upload = std::make_shared<ui::ProgressView>();
    auto download = std::make_shared<ui::ProgressView>();
    auto request = server.request("/echo");
    request.setHTTPMethod("POST");
    request.setHTTPBody(ns::Data(std::string(1000, 'u')));
    auto task = ns::URLSession::sharedSession()->dataTaskWithRequest(request);
    net_setProgressWithUploadProgressOfTask(upload, task, false);
    net_setProgressWithDownloadProgressOfTask(download, task, true);
    EXPECT_TRUE(net_downloadProgressAnimated(*download));
    task->resume();
    ASSERT_TRUE(test::pollUntil([&] { return task->state() == ns::URLSessionTaskState::Completed; }));
    drainMainQueue();
    EXPECT_FLOAT_EQ(upload->progress(), 1.0f);
    EXPECT_FLOAT_EQ(download->progress(), 1.0f);
}

class RecordingDelegate final : public ui::AlertViewDelegate {
public:
    void alertViewClickedButtonAtIndex(ui::AlertView&, std::int64_t) override {}
};

void dismissAll() {
    for (const auto& alert : ui::AlertView::visibleAlerts()) alert->dismissWithClickedButtonIndex(0, false);
}

TEST(NetAlertObserver, TitleAndMessageComeFromTheErrorsTexts) {
    using Keys = ns::Dictionary;
    auto both = NetAlertTitleAndMessageFromError(ns::Error(
        "d", 1,
        Keys{{std::string(ns::LocalizedDescriptionKey), ns::Value("Failed")},
             {std::string(ns::LocalizedFailureReasonErrorKey), ns::Value("Because")},
             {std::string(ns::LocalizedRecoverySuggestionErrorKey), ns::Value("Try again")}}));
    EXPECT_EQ(both.title, "Failed");
    EXPECT_EQ(both.message, "Try again");
    auto reason = NetAlertTitleAndMessageFromError(ns::Error(
        "d", 1,
        Keys{{std::string(ns::LocalizedDescriptionKey), ns::Value("Failed")},
             {std::string(ns::LocalizedFailureReasonErrorKey), ns::Value("Because")}}));
    EXPECT_EQ(reason.title, "Failed");
    EXPECT_EQ(reason.message, "Because");
    auto only = NetAlertTitleAndMessageFromError(
        ns::Error("d", 1, Keys{{std::string(ns::LocalizedDescriptionKey), ns::Value("Failed")}}));
    EXPECT_EQ(only.title, "Error");
    EXPECT_EQ(only.message, "Failed");
}

TEST(NetAlertObserver, ShowsOneAlertWhenATaskOrOperationEndsWithAnError) {
    Server server;
    auto delegate = std::make_shared<RecordingDelegate>();
    const ns::Error failure("com.example", 7, ns::Dictionary{{std::string(ns::LocalizedDescriptionKey), ns::Value("Broke")}});
    const ns::Dictionary failed{{std::string(NetNetworkingTaskDidCompleteErrorKey), failure.boxed()}};

    auto task = server.task("/held");
    net_showAlertViewForTaskWithErrorOnCompletion(task, delegate);
    post(NetNetworkingTaskDidCompleteNotification, server.task("/held"), failed);
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty()) << "another task";
    post(NetNetworkingTaskDidCompleteNotification, task, failed);
    post(NetNetworkingTaskDidCompleteNotification, task, failed);
    auto alerts = ui::AlertView::visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->title(), "Error");
    EXPECT_EQ(alerts[0]->message(), "Broke");
    EXPECT_EQ(alerts[0]->numberOfButtons(), 1);
    EXPECT_EQ(alerts[0]->buttonTitleAtIndex(alerts[0]->cancelButtonIndex()), "Dismiss");
    EXPECT_EQ(alerts[0]->delegate().lock(), delegate);
    dismissAll();

    // Completing without an error ends the observation too.
    auto quiet = server.task("/held");
    net_showAlertViewForTaskWithErrorOnCompletion(quiet, delegate);
    post(NetNetworkingTaskDidCompleteNotification, quiet);
    post(NetNetworkingTaskDidCompleteNotification, quiet, failed);
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());

    // An operation's error is its transport error at the time it finishes: here its cancellation.
    auto operation = std::make_shared<NetHTTPRequestOperation>(server.request("/held"));
    net_showAlertViewForRequestOperationWithErrorOnCompletion(operation, delegate, "OK", {"Retry", "Help"});
    auto queue = std::make_shared<ns::OperationQueue>();
    queue->addOperation(operation);
    ASSERT_TRUE(test::pollUntil([&] { return operation->isExecuting(); }));
    operation->cancel();
    ASSERT_TRUE(pumpUntil([&] { return !ui::AlertView::visibleAlerts().empty(); }));
    alerts = ui::AlertView::visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->message(), operation->error()->localizedDescription());
    ASSERT_EQ(alerts[0]->numberOfButtons(), 3);
    EXPECT_EQ(alerts[0]->buttonTitleAtIndex(0), "OK");
    EXPECT_EQ(alerts[0]->buttonTitleAtIndex(2), "Help");
    dismissAll();
}

}  // namespace
}  // namespace ql
