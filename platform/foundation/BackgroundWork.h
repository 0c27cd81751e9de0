#pragma once
// Work that threads do in the background, as the end of the process sees it. The process ends when main
// returns or the main thread calls exit(); before any object of static storage is destroyed and before any
// exit handler runs (both would pull what that work uses from under it), the end
//   1. lets the work queued on the queues other than the main one finish, what it queues in turn included, for
//      at most kEndAllowance seconds of real time (the main queue no longer runs: its thread is the one
//      ending, so work waiting for it is left waiting);
//   2. stops background threads from starting anything new: a pool worker stops for good where it would take
//      its next job, a run loop of another thread where it would run its next pass, a loading engine where
//      it would run its next round, so what is still queued then is given up, never run nor destroyed;
//   3. waits, within the same allowance, for the stretches of work under way to end.
// Only the process that armed the end ends this way: a child forked from it ends as it would otherwise.

namespace ql::ns {

class BackgroundWork {
public:
    // How long the end waits for background work, in real seconds.
    static constexpr double kEndAllowance = 10;

    // Enters a stretch of work a background thread starts on its own (a job, a pass of its run loop, a round
    // of transfers); nested stretches count once. Once the end has begun, a thread other than the ending one
    // does not come back from here: it stops for good, before the work.
    BackgroundWork();
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // A wait inside a stretch of work (for another thread, a semaphore, the main queue, the network): the end
    // does not wait for the stretch while it waits. A stretch that wakes afterwards goes on to its end.
    class Pause {
    public:
        Pause();
        ~Pause();
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

    private:
        bool wasWorking_;
    };

private:
    bool wasWorking_;
};

}  // namespace ql::ns
