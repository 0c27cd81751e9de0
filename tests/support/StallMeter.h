#pragma once
// The main thread's longest stall while a meter lives, as a timer due every millisecond sees it: the longest
// time between two of its turns, and the most of its own processor time spent between two (its work,
// without the time the system gave its processor to others).

#include <time.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "platform/foundation/Timer.h"

namespace ql::test {

class StallMeter {
public:
    StallMeter()
        : last_(std::chrono::steady_clock::now()), lastWork_(threadSeconds()),
          timer_(ns::Timer::scheduledTimer(0.001, true, [this](ns::Timer&) {
              const auto now = std::chrono::steady_clock::now();
              const double work = threadSeconds();
              longest_ = std::max(longest_, std::chrono::duration<double>(now - last_).count());
              longestWork_ = std::max(longestWork_, work - lastWork_);
              last_ = now;
              lastWork_ = work;
          })) {}
    ~StallMeter() { timer_->invalidate(); }
    StallMeter(const StallMeter&) = delete;
    StallMeter& operator=(const StallMeter&) = delete;
    double longest() const { return longest_; }
    double longestWork() const { return longestWork_; }

private:
    static double threadSeconds() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    }

    std::chrono::steady_clock::time_point last_;
    double lastWork_;
    double longest_ = 0;
    double longestWork_ = 0;
    std::shared_ptr<ns::Timer> timer_;
};

}  // namespace ql::test
