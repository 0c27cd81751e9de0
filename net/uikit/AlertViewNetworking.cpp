#include "net/uikit/AlertViewNetworking.h"

#include <functional>

#include "net/NetStrings.h"
#include "net/NetURLSessionNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"

namespace ql {
namespace {

std::optional<std::string> userInfoText(const ns::Error& error, std::string_view key) {
    const auto* value = error.userInfo().find(key);
    if (!value || !value->isString()) return std::nullopt;
    return std::string(value->asString());
}

using ErrorOfNotification = std::function<std::optional<ns::Error>(const ns::Notification&)>;

// Waits, on the main operation queue, for the one notification that ends the request, and shows the alert
// when it carries an error.
void showAlertOnceWhenFailed(std::string_view name, const ns::Object* sender, ErrorOfNotification errorOf,
                             std::weak_ptr<ui::AlertViewDelegate> delegate,
                             std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles) {
    auto& center = ns::NotificationCenter::defaultCenter();
    // The centre owns the registration; the block knows it only weakly, to end it.
    auto token = std::make_shared<std::weak_ptr<ns::Object>>();
    *token = center.addObserverForName(
        name, sender, ns::OperationQueue::mainQueue(),
        [token, errorOf = std::move(errorOf), delegate = std::move(delegate),
         cancelButtonTitle = std::move(cancelButtonTitle),
         otherButtonTitles = std::move(otherButtonTitles)](const ns::Notification& notification) {
            if (const auto error = errorOf(notification)) {
                auto alert = std::make_shared<ui::AlertView>("", "", delegate, cancelButtonTitle);
                for (const auto& title : otherButtonTitles) alert->addButtonWithTitle(title);
                auto [title, message] = NetAlertTitleAndMessageFromError(*error);
                alert->setTitle(std::move(title));
                alert->setMessage(std::move(message));
                alert->show();
            }
            if (auto registration = token->lock()) ns::NotificationCenter::defaultCenter().removeObserver(registration.get());
        });
}

}  // namespace

NetAlertTitleAndMessage NetAlertTitleAndMessageFromError(const ns::Error& error) {
    const std::string description = error.localizedDescription();
    const auto suggestion = userInfoText(error, ns::LocalizedRecoverySuggestionErrorKey);
    const auto reason = error.localizedFailureReason();
    if (!description.empty() && (suggestion || reason)) return {description, suggestion ? *suggestion : *reason};
    const std::string message =
        !description.empty() ? description
                             : NetFormat(NetLocalizedString("%@ Error: %ld"), {error.domain(), std::to_string(error.code())});
    return {NetLocalizedString("Error"), message};
}

void net_showAlertViewForTaskWithErrorOnCompletion(const std::shared_ptr<ns::URLSessionTask>& task,
                                                   std::weak_ptr<ui::AlertViewDelegate> delegate) {
    net_showAlertViewForTaskWithErrorOnCompletion(task, std::move(delegate), NetLocalizedString("Dismiss"), {});
}

void net_showAlertViewForTaskWithErrorOnCompletion(const std::shared_ptr<ns::URLSessionTask>& task,
                                                   std::weak_ptr<ui::AlertViewDelegate> delegate,
                                                   std::optional<std::string> cancelButtonTitle,
                                                   std::vector<std::string> otherButtonTitles) {
    showAlertOnceWhenFailed(
        NetNetworkingTaskDidCompleteNotification, task.get(),
        [](const ns::Notification& notification) {
            return ns::Error::fromValue(notification.userInfo()[NetNetworkingTaskDidCompleteErrorKey]);
        },
        std::move(delegate), std::move(cancelButtonTitle), std::move(otherButtonTitles));
}

void net_showAlertViewForRequestOperationWithErrorOnCompletion(
    const std::shared_ptr<NetURLConnectionOperation>& operation, std::weak_ptr<ui::AlertViewDelegate> delegate) {
    net_showAlertViewForRequestOperationWithErrorOnCompletion(operation, std::move(delegate),
                                                              NetLocalizedString("Dismiss"), {});
}

void net_showAlertViewForRequestOperationWithErrorOnCompletion(
    const std::shared_ptr<NetURLConnectionOperation>& operation, std::weak_ptr<ui::AlertViewDelegate> delegate,
    std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles) {
    showAlertOnceWhenFailed(
        NetNetworkingOperationDidFinishNotification, operation.get(),
        [](const ns::Notification& notification) -> std::optional<ns::Error> {
            const auto* finished = dynamic_cast<const NetURLConnectionOperation*>(notification.sender());
            return finished ? finished->error() : std::nullopt;
        },
        std::move(delegate), std::move(cancelButtonTitle), std::move(otherButtonTitles));
}

}  // namespace ql
