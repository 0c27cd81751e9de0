#include "platform/ui/Activity.h"

namespace ql::ui {

void Activity::activityDidFinish(bool completed) {
    // The handler may drop this activity's last owner.
    auto self = weak_from_this().lock();
    if (auto handler = std::move(finished_)) handler(completed);
}

}  // namespace ql::ui
