#pragma once
// A refresh control that refreshes while a session task or an operation runs.

#include <memory>

#include "net/uikit/NetRequestStateObserver.h"
#include "platform/foundation/Operation.h"
#include "platform/net/URLSessionTask.h"
#include "platform/ui/RefreshControl.h"

namespace ql {

class NetRefreshControlNotificationObserver final : public NetRequestStateObserver {
    QL_OBJECT(NetRefreshControlNotificationObserver, ns::Object)
public:
    explicit NetRefreshControlNotificationObserver(std::weak_ptr<ui::RefreshControl> view)
        : refreshControl_(std::move(view)) {}

    std::shared_ptr<ui::RefreshControl> refreshControl() const { return refreshControl_.lock(); }

    // Only a running task is followed; any other ends refreshing.
    void setRefreshingWithStateOfTask(const std::shared_ptr<ns::URLSessionTask>& task);
    void setRefreshingWithStateOfOperation(const std::shared_ptr<ns::Operation>& operation);

private:
    void switchOn() override;
    void switchOff() override;

    std::weak_ptr<ui::RefreshControl> refreshControl_;
};

// The view's observer, made on first use and held by the view.
std::shared_ptr<NetRefreshControlNotificationObserver> net_notificationObserver(
    const std::shared_ptr<ui::RefreshControl>& view);
void net_setRefreshingWithStateOfTask(const std::shared_ptr<ui::RefreshControl>& view,
                                     const std::shared_ptr<ns::URLSessionTask>& task);
void net_setRefreshingWithStateOfOperation(const std::shared_ptr<ui::RefreshControl>& view,
                                          const std::shared_ptr<ns::Operation>& operation);

}  // namespace ql
