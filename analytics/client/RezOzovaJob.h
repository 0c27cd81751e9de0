#pragma once
// The send-job policy: decides, when a session starts or a record is added, whether the waiting usage data is
// packed and sent now, after a random delay, or not yet, weighing the server's throttle level (defcon), the
// report policy, the time since the last post and the server's latency hints.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace ql {

namespace ns {
class Timer;
}

class RezOzovaJob {
public:
    // Minimum pause since the last post per defcon level 1, 2, 3.
    static constexpr double Defcon1Pause = 14400;
    static constexpr double Defcon2Pause = 28800;
    static constexpr double Defcon3Pause = 86400;
    // Report policy 8 in the foreground: the pause with and without background sending.
    static constexpr double BackgroundPolicyPause = 129600;
    static constexpr double ForegroundPolicyPause = 10800;
    // Report policy 0 (integrated testing).
    static constexpr double TestPolicyPause = 15;
    // The long silence after which a catch-up send is due, and the one that calls for a delayed send.
    static constexpr double DisguisedSilence = 129600;
    static constexpr double LatentSilence = 1296000;
    static constexpr std::int64_t MinLatentHours = 48;
    static constexpr std::uint32_t MaxServerLatency = 1800;
    static constexpr std::int32_t DefaultLatencyBound = 10;

    static RezOzovaJob& sharedInstance();

    // Trigger 0: a session started; 1: a record was added or a session ended.
    static void preparePerformJob(int trigger);
    static void beginPerformJobDelay();
    static bool defconPass();
    static bool checkLatentCondition();
    static bool shouldCommitJob(int trigger);
    // Seconds since the last post attempt; -1 when none was ever made.
    static double elapsedTimeFromPost();

    bool ready() const;
    std::int32_t calculateLatency();
    std::int32_t latencySeed() const;
    std::uint32_t randomNumFrom(std::uint32_t from, std::uint32_t to) const;
    std::string description() const;

    bool jobRunning() const { return jobRunning_.load(); }
    // Written by the job starter on the main thread and by the worker on its own thread.
    void setJobRunning(bool running) { jobRunning_.store(running); }
    std::int32_t defcon() const { return defcon_.load(); }
    void setDefcon(std::int32_t defcon) { defcon_.store(defcon); }
    std::int32_t latency() const { return latency_; }
    void setLatency(std::int32_t latency) { latency_ = latency; }
    std::int32_t latency_sdk() const { return latency_sdk_; }
    void setLatency_sdk(std::int32_t bound) { latency_sdk_ = bound; }
    bool bLatencyJob() const { return bLatencyJob_; }
    void setBLatencyJob(bool pending) { bLatencyJob_ = pending; }
    bool bDisguisedLatency() const { return bDisguisedLatency_; }
    void setBDisguisedLatency(bool disguised) { bDisguisedLatency_ = disguised; }

private:
    std::atomic<std::int32_t> defcon_{0};
    std::int32_t latency_ = 0;
    std::int32_t latency_sdk_ = 0;
    std::atomic<bool> jobRunning_{false};
    bool bLatencyJob_ = false;
    bool bDisguisedLatency_ = false;
    std::shared_ptr<ns::Timer> delayedSend_;
};

// The host app's bound on the send delay when the server gives none.
class RezOzova {
public:
    static void setLatency(std::int32_t seconds);
};

}  // namespace ql
