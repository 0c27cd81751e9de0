#pragma once
// ui::ActivityViewController: the activity (share) sheet. It offers, for its items, the app's own
// activities that can perform with them; the person chooses one, which is prepared and performed, and when
// it finishes the sheet goes away and its completion handler hears the activity's type and whether it was
// done. A sheet dismissed without a choice reports no type and not done.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/ui/Activity.h"
#include "platform/ui/ViewController.h"

namespace ql::ui {

class ActivityViewController : public ViewController {
    QL_OBJECT_NAMED(ActivityViewController, ViewController, "UIActivityViewController")
public:
    using CompletionHandler = std::function<void(const std::optional<std::string>& activityType, bool completed)>;

    ActivityViewController(std::vector<ns::Value> activityItems, std::vector<std::shared_ptr<Activity>> applicationActivities);

    const std::vector<ns::Value>& activityItems() const { return items_; }
    const std::vector<std::shared_ptr<Activity>>& applicationActivities() const { return activities_; }
    // The activities offered: the app's own that can perform with the items, in their order.
    std::vector<std::shared_ptr<Activity>> availableActivities() const;
    const CompletionHandler& completionHandler() const { return completion_; }
    void setCompletionHandler(CompletionHandler handler) { completion_ = std::move(handler); }

    // The person's side: choosing an offered activity, or closing the sheet without a choice.
    void chooseActivity(const std::shared_ptr<Activity>& activity);
    void cancel();

private:
    void finish(const std::optional<std::string>& activityType, bool completed);

    std::vector<ns::Value> items_;
    std::vector<std::shared_ptr<Activity>> activities_;
    CompletionHandler completion_;
};

}  // namespace ql::ui
