#pragma once
// ns::Thread: a named thread of the process with its own run loop. Threads the platform did not start
// (the main thread, pool workers) get a Thread object when they first ask for one. The main thread is
// the thread that ran static initialisation, i.e. the one that runs main().

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/Object.h"

namespace ql::ns {

class RunLoop;

class Thread final : public Object {
    QL_OBJECT(Thread, Object)
public:
    explicit Thread(std::function<void()> body);
    ~Thread() override;

    // Starts the body on a new thread. The thread keeps its Thread object alive until the body returns.
    void start();
    static std::shared_ptr<Thread> detachNewThread(std::function<void()> body);

    static std::shared_ptr<Thread> current();
    static std::shared_ptr<Thread> mainThread();
    static bool isMainThread();

    std::string name() const;
    // Also names the system thread (as far as it allows) when called on the thread itself.
    void setName(std::string name);

    // The thread's run loop; it exists before the thread starts so that work can be performed on it.
    std::shared_ptr<RunLoop> runLoop() const { return runLoop_; }

    // A request the body is expected to honour; it does not stop the thread by itself.
    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }
    bool isExecuting() const { return executing_; }
    bool isFinished() const { return finished_; }

private:
    struct Adopt {};
    // A Thread object for a thread that is already running (the main thread, pool workers).
    Thread(Adopt, bool isMain);
    void enter();

    std::function<void()> body_;
    std::shared_ptr<RunLoop> runLoop_;
    mutable std::mutex mutex_;
    std::string name_;
    std::atomic<bool> started_{false};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> executing_{false};
    std::atomic<bool> finished_{false};
};

}  // namespace ql::ns
