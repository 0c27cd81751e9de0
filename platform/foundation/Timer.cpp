#include "platform/foundation/Locked.h"
#include "platform/foundation/Timer.h"

#include <algorithm>
#include <utility>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/RunLoop.h"

namespace ql::ns {

namespace {

// A repeating timer with no interval would fire in a tight loop; the platform uses a tenth of a
// millisecond instead.
constexpr double kMinimumRepeatInterval = 0.0001;

}  // namespace

Timer::Timer(double interval, bool repeats, Block block)
    // Written so that an interval that is no number counts as none, rather than a date never reached.
    : interval_(interval > 0 ? interval : repeats ? kMinimumRepeatInterval : 0.0),
      repeats_(repeats),
      block_(block ? std::make_shared<Block>(std::move(block)) : nullptr),
      fireDate_(Clock::now() + interval_) {}

std::shared_ptr<Timer> Timer::timer(double interval, bool repeats, Block block) {
    return std::make_shared<Timer>(interval, repeats, std::move(block));
}

std::shared_ptr<Timer> Timer::scheduledTimer(double interval, bool repeats, Block block) {
    auto t = timer(interval, repeats, std::move(block));
    RunLoop::current()->addTimer(t, DefaultRunLoopMode);
    return t;
}

void Timer::attach(const std::shared_ptr<RunLoop>& loop) {
    std::lock_guard lock(mutex_);
    if (attached_) {
        auto current = loop_.lock();
        if (current && current != loop)
            throw Exception(InvalidArgumentException, "a timer can be scheduled on one run loop only");
    }
    loop_ = loop;
    attached_ = true;
}

void Timer::fire() {
    std::shared_ptr<Block> block;
    {
        std::lock_guard lock(mutex_);
        if (!valid_) return;
        block = block_;
    }
    if (block) (*block)(*this);
    if (!repeats_) invalidate();
}

void Timer::fireFromLoop() {
    std::shared_ptr<Block> block;
    {
        std::lock_guard lock(mutex_);
        if (!valid_ || firing_) return;
        firing_ = true;
        dateMoved_ = false;
        block = block_;
    }
    // The firing ends however the block does: a block that throws leaves the timer rescheduled, or a
    // one-shot timer ended, as if it had returned, instead of marked firing for good.
    struct Ending {
        Timer& timer;
        std::shared_ptr<Block>& block;
        ~Ending() {
            block.reset();
            timer.endFiring();
        }
    } ending{*this, block};
    if (block) (*block)(*this);
}

void Timer::endFiring() {
    std::shared_ptr<Block> released;
    {
        std::lock_guard lock(mutex_);
        firing_ = false;
        if (valid_ && !repeats_) valid_ = false;
        if (valid_ && !dateMoved_) {
            const double now = Clock::now();
            fireDate_ += interval_;
            if (fireDate_ <= now) fireDate_ = now + interval_;
        }
        if (!valid_) released = std::move(block_);
    }
    // `released` goes here, outside the lock, in case what it captured reaches back into the timer.
}

void Timer::invalidate() {
    std::shared_ptr<Block> released;
    std::shared_ptr<RunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        if (!valid_) return;
        valid_ = false;
        if (!firing_) released = std::move(block_);  // a firing timer lets go once its block has returned
        loop = loop_.lock();
    }
    if (loop) loop->wakeUp();
}

bool Timer::isValid() const { return ns::lockedCopy(mutex_, valid_); }

bool Timer::isFiring() const { return ns::lockedCopy(mutex_, firing_); }

double Timer::fireTime() const { return ns::lockedCopy(mutex_, fireDate_); }

Date Timer::fireDate() const { return Date::fromTimeIntervalSince1970(fireTime()); }

void Timer::setFireDate(Date date) {
    std::shared_ptr<RunLoop> loop;
    {
        std::lock_guard lock(mutex_);
        fireDate_ = date.timeIntervalSince1970();
        dateMoved_ = true;
        loop = loop_.lock();
    }
    if (loop) loop->wakeUp();
}

double Timer::tolerance() const { return ns::lockedCopy(mutex_, tolerance_); }

void Timer::setTolerance(double tolerance) { ns::lockedStore(mutex_, tolerance_, tolerance); }

Value Timer::userInfo() const { return ns::lockedCopy(mutex_, userInfo_); }

void Timer::setUserInfo(Value userInfo) { ns::lockedStore(mutex_, userInfo_, std::move(userInfo)); }

}  // namespace ql::ns
