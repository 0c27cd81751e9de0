#pragma once
// NetRequestStateObserver: what the activity indicator's and the refresh control's observers share. Bound to
// a session task or an operation, it switches its view on while the request runs and off when it stops,
// following the request's notifications; binding again forgets the earlier request. Switches made by
// binding happen at once on the caller's thread, those made by notifications on the main queue.

#include <memory>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Operation.h"
#include "platform/net/URLSessionTask.h"

namespace ql {

class NetRequestStateObserver : public ns::Object {
public:
    ~NetRequestStateObserver() override;

protected:
    // Which task states the view follows: a spinner keeps following a suspended task, while a refresh
    // control ends refreshing and stops following anything but a running one.
    enum class TaskPolicy { UnlessCompleted, OnlyWhileRunning };

    void bindTask(const std::shared_ptr<ns::URLSessionTask>& task, TaskPolicy policy);
    void bindOperation(const std::shared_ptr<ns::Operation>& operation);

    virtual void switchOn() = 0;
    virtual void switchOff() = 0;

private:
    void observe(std::string_view name, const ns::Object* sender, bool on);
};

}  // namespace ql
