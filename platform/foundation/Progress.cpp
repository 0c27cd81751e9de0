#include "platform/foundation/Locked.h"
#include "platform/foundation/Progress.h"

namespace ql::ns {

std::shared_ptr<Progress> Progress::progressWithTotalUnitCount(std::int64_t total) {
    auto progress = std::make_shared<Progress>();
    progress->total_ = total;
    return progress;
}

std::int64_t Progress::totalUnitCount() const { return ns::lockedCopy(mutex_, total_); }

std::int64_t Progress::completedUnitCount() const { return ns::lockedCopy(mutex_, completed_); }

void Progress::setTotalUnitCount(std::int64_t total) { changeCount("totalUnitCount", &Progress::total_, total); }

void Progress::setCompletedUnitCount(std::int64_t completed) {
    changeCount("completedUnitCount", &Progress::completed_, completed);
}

void Progress::changeCount(std::string_view key, std::int64_t Progress::*field, std::int64_t value) {
    {
        std::lock_guard lock(mutex_);
        if (this->*field == value) return;
    }
    willChangeValueForKey("fractionCompleted");
    willChangeValueForKey(key);
    {
        std::lock_guard lock(mutex_);
        this->*field = value;
    }
    didChangeValueForKey(key);
    didChangeValueForKey("fractionCompleted");
}

double Progress::fractionCompleted() const {
    std::lock_guard lock(mutex_);
    return total_ > 0 ? static_cast<double>(completed_) / static_cast<double>(total_) : 0.0;
}

bool Progress::isCancelled() const { return ns::lockedCopy(mutex_, cancelled_); }

bool Progress::isPaused() const { return ns::lockedCopy(mutex_, paused_); }

void Progress::setCancellationHandler(std::function<void()> handler) {
    ns::lockedStore(mutex_, cancellationHandler_, std::move(handler));
}

void Progress::setPausingHandler(std::function<void()> handler) {
    ns::lockedStore(mutex_, pausingHandler_, std::move(handler));
}

void Progress::cancel() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return;
        cancelled_ = true;
        handler = cancellationHandler_;
    }
    if (handler) handler();
}

void Progress::pause() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        if (paused_ || cancelled_) return;
        paused_ = true;
        handler = pausingHandler_;
    }
    if (handler) handler();
}

Value Progress::valueForKey(std::string_view key) const {
    if (key == "totalUnitCount") return Value(totalUnitCount());
    if (key == "completedUnitCount") return Value(completedUnitCount());
    if (key == "fractionCompleted") return Value(fractionCompleted());
    return Object::valueForKey(key);
}

}  // namespace ql::ns
