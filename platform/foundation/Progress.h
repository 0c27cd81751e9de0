#pragma once
// ns::Progress: how much of a piece of work is done, after the platform's progress object. Counts and the
// fraction done announce their changes to key-value observers ("totalUnitCount", "completedUnitCount",
// "fractionCompleted"); whoever runs the work may let others pause or cancel it through handlers.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

class Progress final : public Object {
    QL_OBJECT_NAMED(Progress, Object, "NSProgress")
public:
    Progress() = default;
    static std::shared_ptr<Progress> progressWithTotalUnitCount(std::int64_t total);

    std::int64_t totalUnitCount() const;
    void setTotalUnitCount(std::int64_t total);
    std::int64_t completedUnitCount() const;
    void setCompletedUnitCount(std::int64_t completed);
    // completed / total; 0 while the total is not positive.
    double fractionCompleted() const;

    bool isCancelled() const;
    bool isPaused() const;

    // Called on the calling thread: the cancellation handler by the first cancel(), the pausing handler by
    // the first pause() of a progress that is not cancelled.
    void setCancellationHandler(std::function<void()> handler);
    void setPausingHandler(std::function<void()> handler);
    void cancel();
    void pause();

    Value valueForKey(std::string_view key) const override;

private:
    // Stores a count, announcing it and the fraction done.
    void changeCount(std::string_view key, std::int64_t Progress::*field, std::int64_t value);

    mutable std::mutex mutex_;
    std::int64_t total_ = 0;
    std::int64_t completed_ = 0;
    bool cancelled_ = false;
    bool paused_ = false;
    std::function<void()> cancellationHandler_;
    std::function<void()> pausingHandler_;
};

}  // namespace ql::ns
