#pragma once
// The run command interrupted (Ctrl-C, `kill PID`, the terminal closing): SIGINT, SIGTERM and SIGHUP are
// blocked in every thread and taken by a watcher thread of their own, which touches nothing of the app: it
// notes the first signal and wakes the main thread. The main thread leaves what it is doing at its next look
// (the driver's waits and commands, reading the script), the app, its sandbox and the stand-in end as at any
// end, and then the process ends by that signal, with the status a shell expects (130 for SIGINT, 143 for
// SIGTERM). A signal the program was started ignoring stays ignored.

#include <signal.h>

#include <memory>
#include <thread>

namespace ql::ns {
class RunLoop;
}

namespace ql::quillory {

// Thrown on the main thread to leave the run once a signal was taken; no std::exception, so that nothing
// on the way reports it as a failed command.
struct Interrupted {
    int signal;
};

class Interruption {
public:
    // Made on the main thread before any other thread starts (threads keep the signals blocked as they
    // inherit them); one at a time. Raises std::system_error when the signals cannot be watched.
    Interruption();
    // Stops watching; the signals are the process's again.
    ~Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    // The signal taken, 0 while none was.
    static int signal();
    static bool requested() { return signal() != 0; }
    // Raises Interrupted once a signal was taken.
    static void check();
    // A descriptor that becomes readable once a signal was taken, for waits outside the run loop.
    static int descriptor();

    // After the clean-up: ends the process by the signal taken; returns when none was.
    void endProcessIfInterrupted();

private:
    void watch() const;
    void stopWatching();

    sigset_t watched_;
    sigset_t previousMask_;
    int signals_ = -1;  // the watched signals, as a descriptor
    int stop_ = -1;     // readable once the watcher is to stop
    std::shared_ptr<ns::RunLoop> mainLoop_;
    std::thread watcher_;
};

}  // namespace ql::quillory
