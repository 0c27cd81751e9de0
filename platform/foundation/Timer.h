#pragma once
// ns::Timer: a block that a run loop fires at a moment of ns::Clock, once or repeatedly. A timer may be
// invalidated at any time, also from inside its own block; its block is released once it is invalid.

#include <functional>
#include <memory>
#include <mutex>

#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

class RunLoop;

class Timer final : public Object {
    QL_OBJECT(Timer, Object)
public:
    using Block = std::function<void(Timer&)>;

    // Use timer() or scheduledTimer(); the first firing is `interval` seconds from now.
    Timer(double interval, bool repeats, Block block);

    // A timer not yet scheduled on any run loop.
    static std::shared_ptr<Timer> timer(double interval, bool repeats, Block block);
    // A timer scheduled on the current thread's run loop in the default mode.
    static std::shared_ptr<Timer> scheduledTimer(double interval, bool repeats, Block block);

    // Runs the block now. A one-shot timer is then invalid; a repeating one keeps its schedule.
    void fire();
    void invalidate();
    bool isValid() const;

    Date fireDate() const;
    void setFireDate(Date date);
    double timeInterval() const { return interval_; }

    // Accepted for the platform's sake; timers fire at their date exactly.
    double tolerance() const;
    void setTolerance(double tolerance);

    Value userInfo() const;
    void setUserInfo(Value userInfo);

private:
    friend class RunLoop;
    // Binds the timer to the loop it is scheduled on; a timer belongs to one loop only.
    void attach(const std::shared_ptr<RunLoop>& loop);
    // Called by the loop when the fire date has come: runs the block and reschedules or invalidates.
    void fireFromLoop();
    void endFiring();
    bool isFiring() const;
    double fireTime() const;

    const double interval_;
    const bool repeats_;
    mutable std::mutex mutex_;
    std::shared_ptr<Block> block_;
    double fireDate_;
    double tolerance_ = 0;
    bool valid_ = true;
    bool firing_ = false;
    bool dateMoved_ = false;  // setFireDate during the block: the block chose the next date itself
    Value userInfo_;
    std::weak_ptr<RunLoop> loop_;
    bool attached_ = false;
};

}  // namespace ql::ns
