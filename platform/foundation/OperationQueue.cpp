#include "platform/foundation/Locked.h"
#include "platform/foundation/OperationQueue.h"

#include <limits>

#include "platform/foundation/DispatchPool.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Exception.h"

namespace ql::ns {

namespace {

[[maybe_unused]] const bool operationQueueClassRegistered =
    detail::registerClassOnLoad(&OperationQueue::classObject);

// The queue whose operation this thread is running.
thread_local OperationQueue* runningQueue = nullptr;

class RunningQueueScope {
public:
    explicit RunningQueueScope(OperationQueue* queue) : previous_(std::exchange(runningQueue, queue)) {}
    ~RunningQueueScope() { runningQueue = previous_; }
    RunningQueueScope(const RunningQueueScope&) = delete;
    RunningQueueScope& operator=(const RunningQueueScope&) = delete;

private:
    OperationQueue* previous_;
};

}  // namespace

struct OperationQueue::Entry {
    std::shared_ptr<Operation> operation;
    PendingKey key;
    std::list<std::shared_ptr<Entry>>::iterator position;
    bool inQueue = false;
    bool started = false;
    bool done = false;
    KeyValueObservation readiness;
    KeyValueObservation finish;
};

const Class& OperationQueue::classObject() {
    static const Class& cls = makeClass<OperationQueue, Object>("NSOperationQueue");
    return cls;
}

const Class& OperationQueue::objectClass() const { return classObject(); }

OperationQueue::OperationQueue()
    : OperationQueue(DispatchQueue::global(), "", DefaultMaxConcurrentOperationCount) {}

OperationQueue::OperationQueue(std::shared_ptr<DispatchQueue> target, std::string name, std::int64_t width)
    : target_(std::move(target)),
      maxConcurrent_(width),
      name_(name.empty() ? "NSOperationQueue " + addressText(this) : std::move(name)) {}

OperationQueue::~OperationQueue() = default;

std::shared_ptr<OperationQueue> OperationQueue::mainQueue() {
    static auto* queue = new std::shared_ptr<OperationQueue>(
        new OperationQueue(DispatchQueue::main(), "NSOperationQueue Main Queue", 1));
    return *queue;
}

std::shared_ptr<OperationQueue> OperationQueue::currentQueue() {
    if (runningQueue) return std::static_pointer_cast<OperationQueue>(runningQueue->shared_from_this());
    if (DispatchQueue::isMainThread()) return mainQueue();
    return nullptr;
}

void OperationQueue::addOperation(const std::shared_ptr<Operation>& operation) {
    enqueue(operation);
    startReadyOperations();
}

void OperationQueue::addOperations(const std::vector<std::shared_ptr<Operation>>& operations,
                                   bool waitUntilFinished) {
    for (const auto& operation : operations) enqueue(operation);
    startReadyOperations();
    if (!waitUntilFinished) return;
    for (const auto& operation : operations) operation->waitUntilFinished();
}

void OperationQueue::addOperationWithBlock(std::function<void()> block) {
    addOperation(BlockOperation::blockOperation(std::move(block)));
}

void OperationQueue::enqueue(const std::shared_ptr<Operation>& operation) {
    const std::string method = "*** -[NSOperationQueue addOperation:]: ";
    if (!operation) throw Exception(InvalidArgumentException, method + "operation is nil");
    if (operation->isExecuting()) {
        throw Exception(InvalidArgumentException, method + "operation is executing and cannot be enqueued");
    }
    if (operation->isFinished()) {
        throw Exception(InvalidArgumentException, method + "operation is finished and cannot be enqueued");
    }
    if (operation->enqueued_.exchange(true)) {
        throw Exception(InvalidArgumentException, method + "operation is already enqueued on a queue");
    }

    auto entry = std::make_shared<Entry>();
    entry->operation = operation;
    // Watch before joining, so that no announcement can fall between the two.
    std::weak_ptr<Object> weakQueue = weak_from_this();
    std::weak_ptr<Entry> weakEntry = entry;
    entry->readiness = operation->addObserver("isReady", 0, [weakQueue](const KeyValueChange&) {
        if (auto queue = weakQueue.lock()) static_cast<OperationQueue&>(*queue).startReadyOperations();
    });
    entry->finish = operation->addObserver(
        "isFinished", KeyValueObservingOptionNew, [weakQueue, weakEntry](const KeyValueChange& change) {
            if (!change.newValue.boolValue()) return;
            auto queue = weakQueue.lock();
            auto finished = weakEntry.lock();
            if (queue && finished) static_cast<OperationQueue&>(*queue).operationFinished(finished);
        });

    std::lock_guard lock(mutex_);
    if (entry->done) return;
    entry->key = {-static_cast<std::int64_t>(operation->queuePriority()), nextOrder_++};
    entry->position = entries_.insert(entries_.end(), entry);
    entry->inQueue = true;
    pending_.emplace(entry->key, entry);
}

void OperationQueue::startReadyOperations() {
    std::vector<std::shared_ptr<Entry>> candidates;
    std::size_t slots = 0;
    {
        std::lock_guard lock(mutex_);
        if (suspended_ || pending_.empty()) return;
        if (maxConcurrent_ < 0) slots = std::numeric_limits<std::size_t>::max();
        else if (running_ < maxConcurrent_) slots = static_cast<std::size_t>(maxConcurrent_ - running_);
        if (slots == 0) return;
        candidates.reserve(pending_.size());
        for (const auto& [key, entry] : pending_) candidates.push_back(entry);
    }

    std::vector<std::shared_ptr<Entry>> ready;
    for (const auto& entry : candidates) {
        if (ready.size() == slots) break;
        if (entry->operation->isReady()) ready.push_back(entry);
    }
    if (ready.empty()) return;

    // Another pass may have run meanwhile: claim under the lock what is still pending and fits.
    std::vector<std::shared_ptr<Entry>> claimed;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : ready) {
            if (suspended_ || (maxConcurrent_ >= 0 && running_ >= maxConcurrent_)) break;
            if (entry->done || entry->started) continue;
            pending_.erase(entry->key);
            entry->started = true;
            ++running_;
            claimed.push_back(entry);
        }
    }
    auto self = std::static_pointer_cast<OperationQueue>(shared_from_this());
    for (auto& entry : claimed) {
        target_->async([self, entry = std::move(entry)] { self->run(entry); });
    }
}

void OperationQueue::run(const std::shared_ptr<Entry>& entry) {
    Operation& operation = *entry->operation;
    // A dependency added after the operation was claimed withdraws its readiness; it waits again.
    if (!operation.isReady()) {
        {
            std::lock_guard lock(mutex_);
            if (entry->done || !entry->started) return;
            entry->started = false;
            --running_;
            pending_.emplace(entry->key, entry);
        }
        startReadyOperations();
        return;
    }
    RunningQueueScope scope(this);
    operation.start();
}

void OperationQueue::operationFinished(const std::shared_ptr<Entry>& entry) {
    KeyValueObservation readiness;
    KeyValueObservation finish;
    {
        std::lock_guard lock(mutex_);
        if (entry->done) return;
        entry->done = true;
        if (!entry->inQueue) return;
        if (entry->started) --running_;
        else pending_.erase(entry->key);
        entries_.erase(entry->position);
        readiness = std::move(entry->readiness);
        finish = std::move(entry->finish);
        if (entries_.empty()) emptied_.notify_all();
    }
    // The observations end here, outside the lock; the operation is announcing, which they allow.
    startReadyOperations();
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<Operation>> out;
    out.reserve(entries_.size());
    for (const auto& entry : entries_) out.push_back(entry->operation);
    return out;
}

std::uint64_t OperationQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

std::int64_t OperationQueue::maxConcurrentOperationCount() const { return ns::lockedCopy(mutex_, maxConcurrent_); }

void OperationQueue::setMaxConcurrentOperationCount(std::int64_t count) {
    if (count < DefaultMaxConcurrentOperationCount) {
        throw Exception(InvalidArgumentException, "*** -[NSOperationQueue setMaxConcurrentOperationCount:]: count (" +
                                                      std::to_string(count) + ") cannot be negative");
    }
    {
        std::lock_guard lock(mutex_);
        maxConcurrent_ = count;
    }
    startReadyOperations();
}

bool OperationQueue::isSuspended() const { return ns::lockedCopy(mutex_, suspended_); }

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(mutex_);
        suspended_ = suspended;
    }
    if (!suspended) startReadyOperations();
}

std::string OperationQueue::name() const { return ns::lockedCopy(mutex_, name_); }

void OperationQueue::setName(std::string name) { ns::lockedStore(mutex_, name_, std::move(name)); }

void OperationQueue::cancelAllOperations() {
    // Cancelled outside the lock: an operation announces its cancellation to this queue.
    for (const auto& operation : operations()) operation->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    DispatchPool::BlockingScope blocking;
    std::unique_lock lock(mutex_);
    emptied_.wait(lock, [this] { return entries_.empty(); });
}

std::string OperationQueue::description() const {
    return "<NSOperationQueue: " + addressText(this) + ">{name = '" + name() + "'}";
}

}  // namespace ql::ns
