#include "net/uikit/RefreshControlNetworking.h"

#include "net/uikit/NetAssociatedObject.h"

namespace ql {
namespace {
const char kObserverKey = 0;
}  // namespace

void NetRefreshControlNotificationObserver::setRefreshingWithStateOfTask(
    const std::shared_ptr<ns::URLSessionTask>& task) {
    bindTask(task, TaskPolicy::OnlyWhileRunning);
}

void NetRefreshControlNotificationObserver::setRefreshingWithStateOfOperation(
    const std::shared_ptr<ns::Operation>& operation) {
    bindOperation(operation);
}

void NetRefreshControlNotificationObserver::switchOn() {
    if (auto view = refreshControl()) view->beginRefreshing();
}

void NetRefreshControlNotificationObserver::switchOff() {
    if (auto view = refreshControl()) view->endRefreshing();
}

std::shared_ptr<NetRefreshControlNotificationObserver> net_notificationObserver(
    const std::shared_ptr<ui::RefreshControl>& view) {
    auto observer = net_associatedObject<NetRefreshControlNotificationObserver>(*view, &kObserverKey);
    if (!observer) {
        observer = std::make_shared<NetRefreshControlNotificationObserver>(view);
        net_setAssociatedObject(*view, &kObserverKey, observer);
    }
    return observer;
}

void net_setRefreshingWithStateOfTask(const std::shared_ptr<ui::RefreshControl>& view,
                                     const std::shared_ptr<ns::URLSessionTask>& task) {
    net_notificationObserver(view)->setRefreshingWithStateOfTask(task);
}

void net_setRefreshingWithStateOfOperation(const std::shared_ptr<ui::RefreshControl>& view,
                                          const std::shared_ptr<ns::Operation>& operation) {
    net_notificationObserver(view)->setRefreshingWithStateOfOperation(operation);
}

}  // namespace ql
