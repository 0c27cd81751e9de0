#include "platform/foundation/Locked.h"
#include "platform/foundation/Operation.h"

#include <algorithm>
#include <utility>

#include "platform/foundation/DispatchPool.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Exception.h"

namespace ql::ns {

namespace {

[[maybe_unused]] const bool operationClassesRegistered =
    detail::registerClassOnLoad(&Operation::classObject) && detail::registerClassOnLoad(&BlockOperation::classObject);

std::string methodName(const Object& object, std::string_view selector) {
    return "*** -[" + std::string(object.className()) + " " + std::string(selector) + "]: ";
}

}  // namespace

struct Operation::Dependency {
    std::shared_ptr<Operation> operation;
    KeyValueObservation observation;
};

const Class& Operation::classObject() {
    static const Class& cls = makeClass<Operation, Object>("NSOperation");
    return cls;
}

const Class& Operation::objectClass() const { return classObject(); }

Operation::Operation() {
    // The operation watches its own announcements, as its queue does, so that a subclass running its own
    // state machine needs to do nothing more than announce. The registration lives as long as the object.
    selfObservation_ = addObserver("isFinished", KeyValueObservingOptionNew, [this](const KeyValueChange& change) {
        if (change.newValue.boolValue()) didAnnounceFinished();
    });
}

Operation::~Operation() = default;

bool Operation::isReady() const { return ready_; }
bool Operation::isExecuting() const { return executing_; }
bool Operation::isFinished() const { return finished_; }
bool Operation::isCancelled() const { return cancelled_; }

void Operation::start() {
    std::unique_lock lock(stateMutex_);
    if (finished_) return;
    if (executing_) throw Exception(InvalidArgumentException, methodName(*this, "start") + "receiver is already executing");
    if (cancelled_) {
        changeValue("isFinished", finished_, true);
        return;
    }
    if (!isReady()) {
        throw Exception(InvalidArgumentException, methodName(*this, "start") + "receiver is not yet ready to execute");
    }
    changeValue("isExecuting", executing_, true);
    lock.unlock();
    // Work that throws still ends the operation: left executing, it would hold its queue's place and keep
    // its waiters and dependents waiting for good.
    try {
        main();
    } catch (...) {
        finishExecuting();
        throw;
    }
    finishExecuting();
}

void Operation::finishExecuting() {
    std::lock_guard lock(stateMutex_);
    willChangeValueForKey("isExecuting");
    willChangeValueForKey("isFinished");
    executing_ = false;
    finished_ = true;
    didChangeValueForKey("isExecuting");
    didChangeValueForKey("isFinished");
}

void Operation::cancel() {
    // Asked before taking the state lock: a subclass may answer under its own lock, and it calls this
    // method while holding that lock.
    if (isFinished()) return;
    {
        std::lock_guard lock(stateMutex_);
        if (cancelled_) return;
        changeValue("isCancelled", cancelled_, true);
    }
    updateReadiness();
}

void Operation::updateReadiness() {
    const std::uint64_t generation = ++readinessGeneration_;
    bool ready = cancelled_;
    if (!ready) {
        auto deps = dependencies();
        ready = std::all_of(deps.begin(), deps.end(), [](const auto& d) { return d->isFinished(); });
    }
    std::lock_guard lock(readinessMutex_);
    if (generation < appliedReadinessGeneration_) return;  // a later evaluation has already spoken
    appliedReadinessGeneration_ = generation;
    if (ready == ready_) return;
    changeValue("isReady", ready_, ready);
}

void Operation::addDependency(const std::shared_ptr<Operation>& operation) {
    if (!operation || operation.get() == this) {
        throw Exception(InvalidArgumentException,
                        methodName(*this, "addDependency:") + "an operation cannot depend on " +
                            (operation ? "itself" : "nil"));
    }
    auto dependency = std::make_shared<Dependency>();
    dependency->operation = operation;
    dependency->observation =
        operation->addObserver("isFinished", 0, [weak = weak_from_this()](const KeyValueChange&) {
            if (auto self = weak.lock()) static_cast<Operation&>(*self).updateReadiness();
        });
    {
        std::lock_guard lock(mutex_);
        auto known = std::find_if(dependencies_.begin(), dependencies_.end(),
                                  [&](const auto& d) { return d->operation == operation; });
        if (known != dependencies_.end()) return;  // `dependency` unregisters as it goes
        dependencies_.push_back(dependency);
    }
    updateReadiness();
}

void Operation::removeDependency(const std::shared_ptr<Operation>& operation) {
    std::shared_ptr<Dependency> removed;
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(dependencies_.begin(), dependencies_.end(),
                               [&](const auto& d) { return d->operation == operation; });
        if (it == dependencies_.end()) return;
        removed = std::move(*it);
        dependencies_.erase(it);
    }
    removed.reset();  // unregisters outside the lock
    updateReadiness();
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<Operation>> out;
    out.reserve(dependencies_.size());
    for (const auto& d : dependencies_) out.push_back(d->operation);
    return out;
}

std::function<void()> Operation::completionBlock() const { return ns::lockedCopy(mutex_, completionBlock_); }

bool Operation::hasCompletionBlock() const {
    std::lock_guard lock(mutex_);
    return completionBlock_ != nullptr;
}

void Operation::setCompletionBlock(std::function<void()> block) {
    std::function<void()> previous;
    std::lock_guard lock(mutex_);
    previous = std::exchange(completionBlock_, std::move(block));
    // `previous` goes after the lock: what it captured may reach back into this operation.
}

void Operation::didAnnounceFinished() {
    std::function<void()> completion;
    {
        std::lock_guard lock(mutex_);
        completion = std::exchange(completionBlock_, nullptr);
    }
    {
        std::lock_guard lock(finishMutex_);
        announcedFinished_ = true;
    }
    finishedCondition_.notify_all();
    if (completion) DispatchQueue::global()->async(std::move(completion));
}

std::string Operation::name() const { return ns::lockedCopy(mutex_, name_); }

void Operation::setName(std::string name) {
    {
        std::lock_guard lock(mutex_);
        if (name_ == name) return;
    }
    willChangeValueForKey("name");
    {
        std::lock_guard lock(mutex_);
        name_ = std::move(name);
    }
    didChangeValueForKey("name");
}

void Operation::waitUntilFinished() {
    if (isFinished()) return;
    DispatchPool::BlockingScope blocking;
    std::unique_lock lock(finishMutex_);
    finishedCondition_.wait(lock, [this] { return announcedFinished_; });
}

Value Operation::valueForKey(std::string_view key) const {
    if (key == "isReady") return Value(isReady());
    if (key == "isExecuting") return Value(isExecuting());
    if (key == "isFinished") return Value(isFinished());
    if (key == "isCancelled") return Value(isCancelled());
    if (key == "isConcurrent") return Value(isConcurrent());
    if (key == "isAsynchronous") return Value(isAsynchronous());
    if (key == "name") return Value(name());
    return Object::valueForKey(key);
}

// ---- BlockOperation ----

const Class& BlockOperation::classObject() {
    static const Class& cls = makeClass<BlockOperation, Operation>("NSBlockOperation");
    return cls;
}

const Class& BlockOperation::objectClass() const { return classObject(); }

std::shared_ptr<BlockOperation> BlockOperation::blockOperation(std::function<void()> block) {
    auto operation = std::make_shared<BlockOperation>();
    operation->addExecutionBlock(std::move(block));
    return operation;
}

void BlockOperation::addExecutionBlock(std::function<void()> block) {
    if (isExecuting() || isFinished()) {
        throw Exception(InvalidArgumentException,
                        methodName(*this, "addExecutionBlock:") +
                            "blocks cannot be added after the operation has started executing or finished");
    }
    if (!block) throw Exception(InvalidArgumentException, methodName(*this, "addExecutionBlock:") + "block is nil");
    std::lock_guard lock(blocksMutex_);
    blocks_.push_back(std::move(block));
}

std::vector<std::function<void()>> BlockOperation::executionBlocks() const {
    return ns::lockedCopy(blocksMutex_, blocks_);
}

void BlockOperation::main() {
    std::vector<std::function<void()>> blocks;
    {
        std::lock_guard lock(blocksMutex_);
        blocks = std::move(blocks_);
        blocks_.clear();
    }
    for (const auto& block : blocks) block();
}

}  // namespace ql::ns
