#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Operation.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"

using namespace ql::ns;

namespace {

// Seconds of real time before a wait counts as failed: generous, since a loaded machine may be slow to
// schedule the pool's threads; only a failing test waits that long.
constexpr double kPatience = 60;

std::string flag(const Value& v) { return v.isNil() ? "-" : (v.boolValue() ? "1" : "0"); }

// A log that operations on any thread append to.
class Log {
public:
    void add(std::string entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

// An operation with its own state machine, as a network operation has: it may be paused (then it is
// not ready), its start only kicks off work on another thread, which finishes it later. Every move is
// announced for the old and the new state's key, and nothing else tells the queue.
class ConnectionOperation final : public Operation {
public:
    enum class State { Paused, Ready, Executing, Finished };

    ConnectionOperation(std::string name, std::shared_ptr<Log> log, bool paused)
        : name_(std::move(name)), log_(std::move(log)) {
        if (paused) state_ = State::Paused;
    }

    void start() override {
        std::lock_guard lock(mutex_);
        if (isCancelled()) {
            setState(State::Finished);
            return;
        }
        if (!isReady()) return;
        onQueue_ = OperationQueue::currentQueue();
        log_->add("start " + name_);
        setState(State::Executing);
        auto self = std::static_pointer_cast<ConnectionOperation>(shared_from_this());
        Thread::detachNewThread([self] {
            self->release_.wait(kPatience);
            self->log_->add("finish " + self->name_);
            std::lock_guard lock(self->mutex_);
            self->setState(State::Finished);
        });
        started.signal();
    }
    void resume() {
        std::lock_guard lock(mutex_);
        if (state_ == State::Paused) setState(State::Ready);
    }
    // Lets the work in flight finish.
    void release() { release_.signal(); }

    bool isReady() const override { return state_ == State::Ready && Operation::isReady(); }
    bool isExecuting() const override { return state_ == State::Executing; }
    bool isFinished() const override { return state_ == State::Finished; }
    bool isConcurrent() const override { return true; }

    std::shared_ptr<OperationQueue> onQueue_;
    DispatchSemaphore started{0};  // signalled as start returns

private:
    static std::string_view keyOf(State state) {
        switch (state) {
            case State::Ready: return "isReady";
            case State::Executing: return "isExecuting";
            case State::Finished: return "isFinished";
            case State::Paused: break;
        }
        return "isPaused";
    }
    void setState(State state) {
        auto oldKey = keyOf(state_);
        auto newKey = keyOf(state);
        willChangeValueForKey(newKey);
        willChangeValueForKey(oldKey);
        state_ = state;
        didChangeValueForKey(oldKey);
        didChangeValueForKey(newKey);
    }

    std::string name_;
    std::shared_ptr<Log> log_;
    std::recursive_mutex mutex_;
    std::atomic<State> state_{State::Ready};
    DispatchSemaphore release_{0};
};

}  // namespace

TEST(Operation, AnnouncesItsLifeCycleWithInitialAndPrior) {
    auto op = std::make_shared<BlockOperation>();
    bool executingInside = false;
    op->addExecutionBlock([&, raw = op.get()] { executingInside = raw->isExecuting(); });
    std::vector<std::string> finished;
    std::vector<std::string> executing;
    auto finishedObservation = op->addObserver(
        "isFinished",
        KeyValueObservingOptionNew | KeyValueObservingOptionOld | KeyValueObservingOptionInitial |
            KeyValueObservingOptionPrior,
        [&](const KeyValueChange& c) {
            finished.push_back((c.isPrior ? "prior " : "") + flag(c.oldValue) + ">" + flag(c.newValue));
        });
    auto executingObservation = op->addObserver("isExecuting", KeyValueObservingOptionNew,
                                                [&](const KeyValueChange& c) { executing.push_back(flag(c.newValue)); });
    DispatchSemaphore completed(0);
    std::atomic<int> completions{0};
    op->setCompletionBlock([&] {
        ++completions;
        completed.signal();
    });

    EXPECT_TRUE(op->hasCompletionBlock());
    EXPECT_TRUE(op->isReady());
    op->start();
    EXPECT_TRUE(executingInside);
    EXPECT_EQ(finished, (std::vector<std::string>{"->0", "prior 0>-", "0>1"}));
    EXPECT_EQ(executing, (std::vector<std::string>{"1", "0"}));
    EXPECT_EQ(op->valueForKey("isFinished").kind(), Value::Kind::Bool);
    EXPECT_TRUE(op->valueForKey("isFinished").boolValue());
    ASSERT_TRUE(completed.wait(kPatience));
    EXPECT_FALSE(op->completionBlock());  // released once run
    EXPECT_FALSE(op->hasCompletionBlock());
    EXPECT_TRUE(op->executionBlocks().empty());

    // A finished operation stays finished: starting it again announces nothing, runs nothing more.
    op->start();
    op->waitUntilFinished();
    EXPECT_EQ(finished.size(), 3u);
    EXPECT_EQ(completions, 1);
    EXPECT_THROW(op->addExecutionBlock([] {}), Exception);
    EXPECT_THROW(OperationQueue().addOperation(op), Exception);
    EXPECT_EQ(op->className(), "NSBlockOperation");
    EXPECT_TRUE(op->isKindOfClass(Operation::classObject()));
}

TEST(Operation, WorkThatThrowsStillFinishesTheOperation) {
    auto op = std::make_shared<BlockOperation>();
    op->addExecutionBlock([] { throw std::runtime_error("the work failed"); });
    auto after = std::make_shared<BlockOperation>();
    after->addDependency(op);
    EXPECT_FALSE(after->isReady());
    EXPECT_THROW(op->start(), std::runtime_error);
    EXPECT_FALSE(op->isExecuting());
    ASSERT_TRUE(op->isFinished());
    op->waitUntilFinished();
    EXPECT_TRUE(after->isReady());
}

TEST(Operation, DependenciesHoldBackReadinessAcrossQueues) {
    auto queue = std::make_shared<OperationQueue>();
    auto other = std::make_shared<OperationQueue>();
    Log log;
    DispatchSemaphore gate(0);
    auto first = BlockOperation::blockOperation([&] {
        gate.wait(kPatience);
        log.add("first");
    });
    auto second = BlockOperation::blockOperation([&] { log.add("second"); });
    auto third = BlockOperation::blockOperation([&] { log.add("third"); });
    third->addDependency(first);
    third->addDependency(second);
    third->addDependency(first);
    EXPECT_EQ(third->dependencies().size(), 2u);
    EXPECT_THROW(third->addDependency(third), Exception);
    EXPECT_FALSE(third->isReady());
    std::vector<std::string> readiness;
    auto observation = third->addObserver("isReady", KeyValueObservingOptionNew,
                                          [&](const KeyValueChange& c) { readiness.push_back(flag(c.newValue)); });

    queue->addOperation(third);
    queue->addOperation(first);
    other->addOperation(second);
    second->waitUntilFinished();
    EXPECT_FALSE(third->isReady());  // `first` is still held at its gate
    EXPECT_FALSE(third->isExecuting());
    gate.signal();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(log.entries(), (std::vector<std::string>{"second", "first", "third"}));
    EXPECT_EQ(readiness, (std::vector<std::string>{"1"}));

    // Removing the last unfinished dependency makes an operation ready.
    auto never = std::make_shared<Operation>();
    auto waiting = std::make_shared<Operation>();
    waiting->addDependency(never);
    EXPECT_FALSE(waiting->isReady());
    EXPECT_THROW(waiting->start(), Exception);
    waiting->removeDependency(never);
    EXPECT_TRUE(waiting->isReady());
}

TEST(OperationQueue, CancelledOperationsStillStartAndFinishAtOnce) {
    auto queue = std::make_shared<OperationQueue>();
    queue->setSuspended(true);
    Log log;
    auto kept = BlockOperation::blockOperation([&] { log.add("kept"); });
    auto cancelled = BlockOperation::blockOperation([&] { log.add("cancelled"); });
    auto blocked = BlockOperation::blockOperation([&] { log.add("blocked"); });
    blocked->addDependency(std::make_shared<Operation>());  // never runs
    DispatchSemaphore completed(0);
    cancelled->setCompletionBlock([&] { completed.signal(); });
    std::vector<std::string> cancelledChanges;
    auto observation = cancelled->addObserver(
        "isCancelled", KeyValueObservingOptionNew, [&](const KeyValueChange& c) { cancelledChanges.push_back(flag(c.newValue)); });

    queue->addOperations({kept, cancelled, blocked}, false);
    EXPECT_EQ(queue->operationCount(), 3u);
    EXPECT_EQ(queue->operations(), (std::vector<std::shared_ptr<Operation>>{kept, cancelled, blocked}));
    cancelled->cancel();
    blocked->cancel();
    EXPECT_TRUE(blocked->isReady());  // cancellation overrides the pending dependency
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();

    EXPECT_EQ(log.entries(), (std::vector<std::string>{"kept"}));
    EXPECT_TRUE(cancelled->isFinished() && cancelled->isCancelled());
    EXPECT_TRUE(blocked->isFinished() && blocked->isCancelled());
    EXPECT_FALSE(kept->isCancelled());
    EXPECT_EQ(cancelledChanges, (std::vector<std::string>{"1"}));
    EXPECT_TRUE(completed.wait(kPatience));
    EXPECT_EQ(queue->operationCount(), 0u);

    queue->setSuspended(true);
    for (int i = 0; i < 3; ++i) queue->addOperationWithBlock([&] { log.add("late"); });
    queue->cancelAllOperations();
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(log.entries().size(), 1u);
}

TEST(OperationQueue, SerialQueueRunsByPriorityThenInOrderOneAtATime) {
    auto queue = std::make_shared<OperationQueue>();
    EXPECT_EQ(queue->maxConcurrentOperationCount(), OperationQueue::DefaultMaxConcurrentOperationCount);
    queue->setMaxConcurrentOperationCount(1);
    EXPECT_THROW(queue->setMaxConcurrentOperationCount(-2), Exception);
    queue->setSuspended(true);

    Log log;
    std::atomic<int> running{0};
    std::atomic<int> overlaps{0};
    auto add = [&](std::string name, OperationQueuePriority priority) {
        auto op = BlockOperation::blockOperation([&, name] {
            if (++running > 1) ++overlaps;
            log.add(name);
            --running;
        });
        op->setQueuePriority(priority);
        queue->addOperation(op);
    };
    std::vector<std::string> expected;
    for (int i = 0; i < 3; ++i) add("low " + std::to_string(i), OperationQueuePriority::Low);
    for (int i = 0; i < 20; ++i) add("normal " + std::to_string(i), OperationQueuePriority::Normal);
    for (int i = 0; i < 3; ++i) add("high " + std::to_string(i), OperationQueuePriority::VeryHigh);
    for (int i = 0; i < 3; ++i) expected.push_back("high " + std::to_string(i));
    for (int i = 0; i < 20; ++i) expected.push_back("normal " + std::to_string(i));
    for (int i = 0; i < 3; ++i) expected.push_back("low " + std::to_string(i));

    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(log.entries(), expected);
    EXPECT_EQ(overlaps, 0);
}

TEST(OperationQueue, LearnsOfAnOwnStateMachineThroughKeyValueObservation) {
    auto queue = std::make_shared<OperationQueue>();
    queue->setMaxConcurrentOperationCount(1);
    auto log = std::make_shared<Log>();  // the operations' threads may outlive a failed test
    auto paused = std::make_shared<ConnectionOperation>("paused", log, true);
    auto a = std::make_shared<ConnectionOperation>("a", log, false);
    auto b = std::make_shared<ConnectionOperation>("b", log, false);
    auto completed = std::make_shared<DispatchSemaphore>(0);
    for (const auto& op : {paused, a, b}) op->setCompletionBlock([completed] { completed->signal(); });

    queue->addOperations({paused, a, b}, false);
    // `a` has started and its start has returned, but it has not announced that it finished: the queue
    // must not start `b` yet.
    ASSERT_TRUE(a->started.wait(kPatience));
    EXPECT_FALSE(b->isExecuting());
    EXPECT_EQ(a->onQueue_, queue);
    a->release();
    ASSERT_TRUE(b->started.wait(kPatience));
    b->release();
    b->waitUntilFinished();
    EXPECT_FALSE(paused->isExecuting());  // not ready while paused
    EXPECT_EQ(log->entries(), (std::vector<std::string>{"start a", "finish a", "start b", "finish b"}));

    paused->resume();  // announces "isReady"
    ASSERT_TRUE(paused->started.wait(kPatience));
    paused->release();
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(log->entries().back(), "finish paused");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(completed->wait(kPatience));
}

TEST(OperationQueue, MainQueueRunsOnTheMainThread) {
    auto main = OperationQueue::mainQueue();
    EXPECT_EQ(main, OperationQueue::mainQueue());
    EXPECT_EQ(main->maxConcurrentOperationCount(), 1);
    EXPECT_EQ(main->name(), "NSOperationQueue Main Queue");
    EXPECT_EQ(OperationQueue::currentQueue(), main);

    std::atomic<bool> ran{false};
    std::atomic<bool> onMainThread{false};
    std::shared_ptr<OperationQueue> current;
    std::shared_ptr<OperationQueue> currentOnWorker = main;
    DispatchQueue::global()->async([&] {
        currentOnWorker = OperationQueue::currentQueue();
        main->addOperationWithBlock([&] {
            onMainThread = DispatchQueue::isMainThread();
            current = OperationQueue::currentQueue();
            ran = true;
        });
    });
    ASSERT_TRUE(RunLoop::main()->runUntil([&] { return ran.load(); }, kPatience));
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(current, main);
    EXPECT_EQ(currentOnWorker, nullptr);
}

TEST(OperationQueue, OperationsMayKeepTheirThreadInARunLoop) {
    // Each operation runs its thread's run loop until the last one has started, so they all need a
    // thread of their own at the same time, more than the machine has cores.
    constexpr std::size_t kCount = 3 * 8;
    auto queue = std::make_shared<OperationQueue>();
    std::mutex mutex;
    std::vector<std::shared_ptr<RunLoop>> loops;
    std::atomic<bool> released{false};
    for (std::size_t i = 0; i < kCount; ++i) {
        queue->addOperationWithBlock([&] {
            auto loop = RunLoop::current();
            auto port = Port::port();
            loop->addSource(port, DefaultRunLoopMode);
            {
                std::lock_guard lock(mutex);
                loops.push_back(loop);
                if (loops.size() == kCount) {
                    released = true;
                    for (const auto& l : loops) l->performBlock([] {});
                }
            }
            while (!released) loop->runMode(DefaultRunLoopMode, Date::distantFuture());
            loop->removeSource(port, DefaultRunLoopMode);
        });
    }
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(loops.size(), kCount);
}
