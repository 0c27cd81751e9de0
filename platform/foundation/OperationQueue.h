#pragma once
// ns::OperationQueue: starts its operations as they become ready, highest queue priority first and in
// order of addition within a priority, never more at once than maxConcurrentOperationCount. Operations
// start on threads of the global dispatch queue (those of the main queue on the main thread) and may
// keep that thread as long as they need. The queue learns of readiness and of the end of an operation
// only from the operation's "isReady" and "isFinished" announcements.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Operation.h"

namespace ql::ns {

class DispatchQueue;

class OperationQueue final : public Object {
public:
    static constexpr std::int64_t DefaultMaxConcurrentOperationCount = -1;

    static const Class& classObject();
    const Class& objectClass() const override;

    OperationQueue();
    ~OperationQueue() override;

    // The queue whose operations run on the main thread, one at a time, drained by the main run loop.
    static std::shared_ptr<OperationQueue> mainQueue();
    // The queue that started the operation running on this thread; the main queue on the main thread
    // otherwise; null elsewhere.
    static std::shared_ptr<OperationQueue> currentQueue();

    // Raises when the operation is in a queue already, executing or finished.
    void addOperation(const std::shared_ptr<Operation>& operation);
    void addOperations(const std::vector<std::shared_ptr<Operation>>& operations, bool waitUntilFinished);
    void addOperationWithBlock(std::function<void()> block);

    // The operations not yet finished, in the order they were added.
    std::vector<std::shared_ptr<Operation>> operations() const;
    std::uint64_t operationCount() const;

    // -1 (the default) leaves the number to the system; 1 makes the queue serial.
    std::int64_t maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(std::int64_t count);

    // A suspended queue starts nothing new; operations already running go on.
    bool isSuspended() const;
    void setSuspended(bool suspended);

    std::string name() const;
    void setName(std::string name);

    void cancelAllOperations();
    // Blocks the calling thread until the queue holds no operation.
    void waitUntilAllOperationsAreFinished();

    // "<NSOperationQueue: 0x…>{name = '…'}"
    std::string description() const override;

private:
    struct Entry;
    using PendingKey = std::pair<std::int64_t, std::uint64_t>;  // (-priority, order of addition)

    explicit OperationQueue(std::shared_ptr<DispatchQueue> target, std::string name, std::int64_t width);
    void enqueue(const std::shared_ptr<Operation>& operation);
    // Starts as many ready operations as the width allows. Readiness is asked outside the lock, since a
    // subclass may hold its own lock while it announces a change to the queue.
    void startReadyOperations();
    void run(const std::shared_ptr<Entry>& entry);
    void operationFinished(const std::shared_ptr<Entry>& entry);

    const std::shared_ptr<DispatchQueue> target_;
    mutable std::mutex mutex_;
    std::condition_variable emptied_;
    std::list<std::shared_ptr<Entry>> entries_;
    std::map<PendingKey, std::shared_ptr<Entry>> pending_;
    std::uint64_t nextOrder_ = 0;
    std::int64_t running_ = 0;
    std::int64_t maxConcurrent_;
    bool suspended_ = false;
    std::string name_;
};

}  // namespace ql::ns
