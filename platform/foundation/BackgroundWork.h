#pragma once
// Work that threads do in the background, as the end of the process sees it. The process ends when main
// returns or exit() is called, on the main thread or on any thread the system started (a pool worker running a
// job, a block of a queue or a URL load's completion handler, a thread of its own); before any object of static
// storage is destroyed and before any exit handler runs (both would pull what that work uses from under it), the
// end, on the thread that ends the process,
//   1. lets the work queued on the queues other than the main one finish, what it queues in turn included,
//      within its allowance but for the last kStopAllowance seconds (the main queue no longer runs: its thread
//      is the one ending or is stopped as any other, so work waiting for it is left waiting);
//   2. stops the other threads from starting anything new: a thread stops for good where it would start a
//      stretch of work (a pool job, a block of a serial queue, a pass of a run loop other than the ending
//      thread's, a round of a loading engine, inside a job or not) or come back to one from a wait, so what is
//      still queued then is given up, never run nor destroyed. The main thread, when another thread ends the
//      process, also stops as it comes back from any wait. A wait lets go of every lock of its own before the
//      thread may stop there, so a stopped thread holds none that the exit handlers may need;
//   3. waits, up to the end of its allowance, for the stretches under way to come to that stop. A stretch still
//      under way then is fenced off: the process ends at once, with the status it was given and without its
//      exit handlers, which would tear down what that stretch still uses;
//   4. writes what stores promised to write at the end (writeAtTheEnd), fenced off or not;
//   5. lets the exit handlers run within what is left of its allowance (kStopAllowance at the least). One may wait
//      for what a stopped thread holds for good (a serial queue's turn, a database queue): should they still run
//      at the end of it, the end gives up on them, says so on standard error, writes what stores promised once
//      more (within kStopAllowance) and ends the process at once with the status it was given;
//   6. once the exit handlers are over and the objects of static storage destroyed, as the program unloads, writes
//      what stores promised once more, so that what the exit handlers set is kept too.
// When the end gives up (3 or 5), what was written through stdio is flushed first, but for a stream a thread holds.
// A thread that calls exit() while another is ending the process stops there, counted as stopped as any other:
// the end does not wait for its stretch, nor the pool's waits for its job. The allowance is kEndAllowance
// seconds of real time in all: a sandbox's end that waited for the same spell of background work just before (at
// the end of the app's main, say) has spent its part of it already. Only the process that armed the end ends this
// way: a child forked from it ends as it would otherwise, but writes what stores promised as well (on return from
// main or exit(), before its exit handlers and once they are over); a store writes there only what the child
// itself changed, what it inherited unwritten being the parent's to write.

#include <functional>
#include <string_view>

namespace ql::ns {

class BackgroundWork {
public:
    // How long the ends wait for one spell of background work, in real seconds in all.
    static constexpr double kEndAllowance = 10;
    // The last part of it, kept for the stretches under way to come to their stop once nothing new starts.
    static constexpr double kStopAllowance = 1;
    // What the end says on standard error when it gives up on exit handlers still running at the end of it.
    static constexpr std::string_view kExitHandlersGivenUp =
        "the exit handlers still wait at the end of the allowance as the process ends: given up";

    // Lets the work queued on the queues other than the main one finish (DispatchQueue::finishBackgroundWork),
    // as the end of a sandbox does before its home changes or goes: within the end's allowance but for its
    // last kStopAllowance seconds. The ends that wait one after the other for one unbroken spell of the pool's
    // work (the pool never ran out of jobs in between) share one allowance, which a wait that sees the work
    // through gives back. Returns whether the work finished.
    static bool finishQueuedWork();

    // Ends the background work now, as the end of the process does, within `allowance` seconds of real time in
    // place of kEndAllowance (kStopAllowance of them kept for the stop): for a program whose end must come sooner
    // than the rest of the system's would (a test's child). The end is over when this returns; returning from
    // main or calling exit() on this thread afterwards goes on to the exit handlers without waiting again, and
    // they get what is left of the same allowance.
    static void endTheProcess(double allowance);

    // What a store promised to write at the end of the process: the end runs `write` on its thread once the
    // background work has stopped or been fenced off, so it is written even when the exit handlers are skipped,
    // and again once they are over (or given up), for what they changed. A store that promises lives to the end:
    // `write` may run after every object of static storage is gone, more than once, and in a forked child, where it
    // writes only what the child changed.
    static void writeAtTheEnd(std::function<void()> write);

    // Lives for the body of a thread the system starts: exit() called on the thread meanwhile ends the process as
    // main's return does. A thread ending on its own (its body returning) does not.
    class ThreadBody {
    public:
        ThreadBody();
        ~ThreadBody();
        ThreadBody(const ThreadBody&) = delete;
        ThreadBody& operator=(const ThreadBody&) = delete;
    };

    // Enters a stretch of work a background thread starts on its own (a job, a block of a serial queue, a pass
    // of its run loop, a round of transfers); nested stretches count once. Once the end has begun, a thread
    // other than the ending one does not come back from here: it stops for good, before the work.
    BackgroundWork();
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // Inside a stretch, before a piece of work that counts as a stretch of its own (a serial queue's next block):
    // the same look at the end as entering one, without the count.
    static void stopHereOnceTheEndHasBegun();

    // A wait inside a stretch of work (for another thread, a semaphore, the main queue, the network): the end
    // does not wait for the stretch while it waits. A stretch that wakes once the end has begun stops for good
    // as the wait ends, and so does the main thread when another thread is ending the process; one that wakes
    // before goes on. The wait's own locks are let go before the pause ends: a thread that stops holds none.
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
