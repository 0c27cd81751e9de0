#pragma once
// An alert that pops up when a session task or an operation ends with an error. The observation lasts for
// one end of the request: an end without an error shows nothing and ends it too.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/NetURLConnectionOperation.h"
#include "platform/foundation/Error.h"
#include "platform/net/URLSessionTask.h"
#include "platform/ui/AlertView.h"

namespace ql {

struct NetAlertTitleAndMessage {
    std::string title;
    std::string message;
};

// The description as title when the error also says why or what to do (the suggestion first, as message);
// otherwise "Error" as title and the description as message.
NetAlertTitleAndMessage NetAlertTitleAndMessageFromError(const ns::Error& error);

// With a single cancel button titled "Dismiss" (from the "Networking" strings table).
void net_showAlertViewForTaskWithErrorOnCompletion(const std::shared_ptr<ns::URLSessionTask>& task,
                                                   std::weak_ptr<ui::AlertViewDelegate> delegate);
void net_showAlertViewForTaskWithErrorOnCompletion(const std::shared_ptr<ns::URLSessionTask>& task,
                                                   std::weak_ptr<ui::AlertViewDelegate> delegate,
                                                   std::optional<std::string> cancelButtonTitle,
                                                   std::vector<std::string> otherButtonTitles);
// An operation ends with its finish notification, which a pause posts as well.
void net_showAlertViewForRequestOperationWithErrorOnCompletion(
    const std::shared_ptr<NetURLConnectionOperation>& operation, std::weak_ptr<ui::AlertViewDelegate> delegate);
void net_showAlertViewForRequestOperationWithErrorOnCompletion(
    const std::shared_ptr<NetURLConnectionOperation>& operation, std::weak_ptr<ui::AlertViewDelegate> delegate,
    std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles);

}  // namespace ql
