#pragma once
// ns::Operation: a unit of work with the platform's observable life cycle (ready, executing, finished,
// cancelled), dependencies, a completion block and a queue priority. Subclasses either override main()
// for synchronous work, or override start() and the state accessors to run their own state machine,
// announcing "isExecuting" / "isFinished" / "isReady" through key-value observation; queues, waiters and
// the completion block learn of every change that way only. ns::BlockOperation runs blocks.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

enum class OperationQueuePriority : std::int64_t {
    VeryLow = -8,
    Low = -4,
    Normal = 0,
    High = 4,
    VeryHigh = 8,
};

class Operation : public Object {
public:
    static const Class& classObject();
    const Class& objectClass() const override;

    Operation();
    ~Operation() override;

    // Runs the operation on the calling thread: a cancelled operation finishes at once without running
    // main(); otherwise main() runs between the executing and finished announcements. Raises when the
    // operation is executing already or is not ready; does nothing once finished.
    virtual void start();
    // The work itself; nothing by default.
    virtual void main() {}
    // Marks the operation cancelled (no effect once finished). A cancelled operation is ready even when
    // dependencies are pending, so that its queue starts it and it can finish.
    virtual void cancel();

    virtual bool isReady() const;
    virtual bool isExecuting() const;
    virtual bool isFinished() const;
    virtual bool isCancelled() const;
    virtual bool isConcurrent() const { return false; }
    virtual bool isAsynchronous() const { return isConcurrent(); }

    // The operation becomes ready once every dependency has finished (re-evaluated when they announce
    // "isFinished"). Adding an operation twice adds it once; depending on itself raises.
    void addDependency(const std::shared_ptr<Operation>& operation);
    void removeDependency(const std::shared_ptr<Operation>& operation);
    std::vector<std::shared_ptr<Operation>> dependencies() const;

    // Runs once, on a thread of the global dispatch queue, after the operation announces it finished;
    // the operation then holds it no longer.
    virtual std::function<void()> completionBlock() const;
    virtual void setCompletionBlock(std::function<void()> block);
    // Whether one is set, without copying it.
    bool hasCompletionBlock() const;

    // A queue reads the priority when the operation joins it.
    OperationQueuePriority queuePriority() const { return priority_.load(); }
    void setQueuePriority(OperationQueuePriority priority) { priority_ = priority; }

    std::string name() const;
    void setName(std::string name);

    // Blocks the calling thread until the operation announces that it finished.
    void waitUntilFinished();

    // "isReady", "isExecuting", "isFinished", "isCancelled", "isConcurrent", "isAsynchronous" and "name"
    // answer through the accessors above, so observers see subclasses' states.
    Value valueForKey(std::string_view key) const override;

private:
    friend class OperationQueue;
    struct Dependency;
    void updateReadiness();
    void didAnnounceFinished();
    void finishExecuting();

    // Serialises the base state machine's moves; recursive because observers of a move may call back in.
    std::recursive_mutex stateMutex_;
    std::atomic<bool> executing_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> cancelled_{false};

    // Readiness is computed from the dependencies outside any lock; the generation lets the latest
    // computation win when several race to announce.
    std::recursive_mutex readinessMutex_;
    std::atomic<bool> ready_{true};
    std::atomic<std::uint64_t> readinessGeneration_{0};
    std::uint64_t appliedReadinessGeneration_ = 0;

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Dependency>> dependencies_;
    std::function<void()> completionBlock_;
    std::string name_;
    std::atomic<OperationQueuePriority> priority_{OperationQueuePriority::Normal};
    std::atomic<bool> enqueued_{false};  // an operation joins one queue, once

    // Set once "isFinished" has been announced as true; waiters sleep on it.
    std::mutex finishMutex_;
    std::condition_variable finishedCondition_;
    bool announcedFinished_ = false;
    KeyValueObservation selfObservation_;
};

class BlockOperation : public Operation {
public:
    static const Class& classObject();
    const Class& objectClass() const override;

    BlockOperation() = default;
    static std::shared_ptr<BlockOperation> blockOperation(std::function<void()> block);

    // Adds a block to run; raises once the operation is executing or finished. The blocks run one after
    // the other, in the order they were added, and are released once they have run, so that a block may
    // hold its own operation without keeping it alive for ever.
    void addExecutionBlock(std::function<void()> block);
    std::vector<std::function<void()>> executionBlocks() const;

    void main() override;

private:
    mutable std::mutex blocksMutex_;
    std::vector<std::function<void()>> blocks_;
};

}  // namespace ql::ns
