#include "platform/ui/ActivityViewController.h"

#include <algorithm>

#include "platform/foundation/Exception.h"
#include "platform/ui/MainThread.h"

namespace ql::ui {

ActivityViewController::ActivityViewController(std::vector<ns::Value> activityItems,
                                               std::vector<std::shared_ptr<Activity>> applicationActivities)
    : items_(std::move(activityItems)), activities_(std::move(applicationActivities)) {}

std::vector<std::shared_ptr<Activity>> ActivityViewController::availableActivities() const {
    std::vector<std::shared_ptr<Activity>> offered;
    for (const auto& activity : activities_) {
        if (activity && activity->canPerformWithActivityItems(items_)) offered.push_back(activity);
    }
    return offered;
}

void ActivityViewController::chooseActivity(const std::shared_ptr<Activity>& activity) {
    assertMainThread();
    const auto offered = availableActivities();
    if (std::find(offered.begin(), offered.end(), activity) == offered.end()) {
        throw ns::Exception(ns::InvalidArgumentException, "the activity sheet does not offer that activity");
    }
    std::weak_ptr<ns::Object> weakSelf = weak_from_this();
    activity->setFinishHandler([weakSelf, type = activity->activityType()](bool completed) {
        if (auto self = std::static_pointer_cast<ActivityViewController>(weakSelf.lock())) self->finish(type, completed);
    });
    activity->prepareWithActivityItems(items_);
    activity->performActivity();
}

void ActivityViewController::cancel() { finish(std::nullopt, false); }

void ActivityViewController::finish(const std::optional<std::string>& activityType, bool completed) {
    auto self = shared_from_this();
    if (presentingViewController()) dismissViewControllerAnimated(true);
    if (completion_) completion_(activityType, completed);
}

}  // namespace ql::ui
