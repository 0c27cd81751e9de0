#pragma once
// A spinner that spins while a session task or an operation runs.

#include <memory>

#include "net/uikit/NetRequestStateObserver.h"
#include "platform/foundation/Operation.h"
#include "platform/net/URLSessionTask.h"
#include "platform/ui/ActivityIndicatorView.h"

namespace ql {

class NetActivityIndicatorViewNotificationObserver final : public NetRequestStateObserver {
    QL_OBJECT(NetActivityIndicatorViewNotificationObserver, ns::Object)
public:
    explicit NetActivityIndicatorViewNotificationObserver(std::weak_ptr<ui::ActivityIndicatorView> view)
        : activityIndicatorView_(std::move(view)) {}

    std::shared_ptr<ui::ActivityIndicatorView> activityIndicatorView() const { return activityIndicatorView_.lock(); }

    // A completed task leaves the spinner as it is; a suspended one stops it but stays followed.
    void setAnimatingWithStateOfTask(const std::shared_ptr<ns::URLSessionTask>& task);
    void setAnimatingWithStateOfOperation(const std::shared_ptr<ns::Operation>& operation);

private:
    void switchOn() override;
    void switchOff() override;

    std::weak_ptr<ui::ActivityIndicatorView> activityIndicatorView_;
};

// The view's observer, made on first use and held by the view.
std::shared_ptr<NetActivityIndicatorViewNotificationObserver> net_notificationObserver(
    const std::shared_ptr<ui::ActivityIndicatorView>& view);
void net_setAnimatingWithStateOfTask(const std::shared_ptr<ui::ActivityIndicatorView>& view,
                                     const std::shared_ptr<ns::URLSessionTask>& task);
void net_setAnimatingWithStateOfOperation(const std::shared_ptr<ui::ActivityIndicatorView>& view,
                                          const std::shared_ptr<ns::Operation>& operation);

}  // namespace ql
