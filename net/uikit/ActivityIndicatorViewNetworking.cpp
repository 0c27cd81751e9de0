#include "net/uikit/ActivityIndicatorViewNetworking.h"

#include "net/uikit/NetAssociatedObject.h"

namespace ql {
namespace {
const char kObserverKey = 0;
}  // namespace

void NetActivityIndicatorViewNotificationObserver::setAnimatingWithStateOfTask(
    const std::shared_ptr<ns::URLSessionTask>& task) {
    bindTask(task, TaskPolicy::UnlessCompleted);
}

void NetActivityIndicatorViewNotificationObserver::setAnimatingWithStateOfOperation(
    const std::shared_ptr<ns::Operation>& operation) {
    bindOperation(operation);
}

void NetActivityIndicatorViewNotificationObserver::switchOn() {
    if (auto view = activityIndicatorView()) view->startAnimating();
}

void NetActivityIndicatorViewNotificationObserver::switchOff() {
    if (auto view = activityIndicatorView()) view->stopAnimating();
}

std::shared_ptr<NetActivityIndicatorViewNotificationObserver> net_notificationObserver(
    const std::shared_ptr<ui::ActivityIndicatorView>& view) {
    auto observer = net_associatedObject<NetActivityIndicatorViewNotificationObserver>(*view, &kObserverKey);
    if (!observer) {
        observer = std::make_shared<NetActivityIndicatorViewNotificationObserver>(view);
        net_setAssociatedObject(*view, &kObserverKey, observer);
    }
    return observer;
}

void net_setAnimatingWithStateOfTask(const std::shared_ptr<ui::ActivityIndicatorView>& view,
                                     const std::shared_ptr<ns::URLSessionTask>& task) {
    net_notificationObserver(view)->setAnimatingWithStateOfTask(task);
}

void net_setAnimatingWithStateOfOperation(const std::shared_ptr<ui::ActivityIndicatorView>& view,
                                          const std::shared_ptr<ns::Operation>& operation) {
    net_notificationObserver(view)->setAnimatingWithStateOfOperation(operation);
}

}  // namespace ql
