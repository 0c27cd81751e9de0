#include "platform/foundation/Locked.h"
#include "platform/foundation/Thread.h"

#include <pthread.h>
#include <thread>

#include "platform/foundation/BackgroundWork.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/PerThread.h"
#include "platform/foundation/RunLoop.h"

namespace ql::ns {

namespace {

// Static initialisation runs on the thread that goes on to run main().
const std::thread::id mainThreadId = std::this_thread::get_id();

// The thread's object and so its run loop, kept past its thread_local objects: the exit handlers and the
// destructors of objects of static storage run on the thread that ends the process, and may run its loop.
std::shared_ptr<Thread>& currentThread() {
    static PerThread<std::shared_ptr<Thread>> threads;
    return threads.get();
}

void nameSystemThread(const std::string& name) {
    // The system keeps at most 15 bytes of a thread's name.
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace

Thread::Thread(std::function<void()> body) : body_(std::move(body)), runLoop_(RunLoop::create(false)) {}

Thread::Thread(Adopt, bool isMain) : runLoop_(RunLoop::create(isMain)) {}

Thread::~Thread() = default;

std::shared_ptr<Thread> Thread::mainThread() {
    static const std::shared_ptr<Thread>* main = [] {
        auto* thread = new std::shared_ptr<Thread>(new Thread(Adopt{}, true));
        (*thread)->runLoop_->bind(mainThreadId);
        (*thread)->executing_ = true;
        return thread;
    }();
    return *main;
}

bool Thread::isMainThread() { return std::this_thread::get_id() == mainThreadId; }

std::shared_ptr<Thread> Thread::current() {
    std::shared_ptr<Thread>& current = currentThread();
    if (current) return current;
    if (isMainThread()) {
        current = mainThread();
    } else {
        // A thread the platform did not start (a pool worker): it gets its object on first request.
        current = std::shared_ptr<Thread>(new Thread(Adopt{}, false));
        current->runLoop_->bind(std::this_thread::get_id());
        current->executing_ = true;
    }
    return current;
}

std::shared_ptr<Thread> Thread::detachNewThread(std::function<void()> body) {
    auto thread = std::make_shared<Thread>(std::move(body));
    thread->start();
    return thread;
}

void Thread::start() {
    if (started_.exchange(true))
        throw Exception(InvalidArgumentException, "-[NSThread start]: attempt to start the thread again");
    executing_ = true;
    auto self = std::static_pointer_cast<Thread>(shared_from_this());
    std::thread([self] { self->enter(); }).detach();
}

void Thread::enter() {
    // Its body may call exit(): the process then ends from here as it would from main.
    BackgroundWork::ThreadBody lifetime;
    currentThread() = std::static_pointer_cast<Thread>(shared_from_this());
    runLoop_->bind(std::this_thread::get_id());
    {
        std::lock_guard lock(mutex_);
        if (!name_.empty()) nameSystemThread(name_);
    }
    auto body = std::move(body_);
    body();
    body = nullptr;
    executing_ = false;
    finished_ = true;
    currentThread().reset();
}

std::string Thread::name() const { return ns::lockedCopy(mutex_, name_); }

void Thread::setName(std::string name) {
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
    if (currentThread().get() == this) nameSystemThread(name_);
}

}  // namespace ql::ns
