#pragma once
// ui::Activity: one service an activity sheet offers for its items (opening a page elsewhere, say). The
// sheet asks whether it can perform with the items, hands them over, performs it, and learns from
// activityDidFinish whether it was done. Apps subclass it for their own services.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ui {

class Image;

class Activity : public ns::Object {
    QL_OBJECT_NAMED(Activity, ns::Object, "UIActivity")
public:
    Activity() = default;

    virtual std::optional<std::string> activityType() const { return std::nullopt; }
    virtual std::optional<std::string> activityTitle() const { return std::nullopt; }
    virtual std::shared_ptr<Image> activityImage() const { return nullptr; }
    virtual bool canPerformWithActivityItems(const std::vector<ns::Value>& /*items*/) { return false; }
    virtual void prepareWithActivityItems(const std::vector<ns::Value>& /*items*/) {}
    // Does the work and ends with activityDidFinish.
    virtual void performActivity() { activityDidFinish(false); }

    // Tells whoever runs the activity (the sheet) whether it was done.
    void activityDidFinish(bool completed);
    void setFinishHandler(std::function<void(bool completed)> handler) { finished_ = std::move(handler); }

private:
    std::function<void(bool)> finished_;
};

}  // namespace ql::ui
