#include "platform/net/ReceivedPiecePool.h"

#include "platform/foundation/MemoryWarning.h"
#include "platform/foundation/NotificationCenter.h"

namespace ql::ns {

ReceivedPiecePool::ReceivedPiecePool(std::size_t bufferCapacity, std::size_t keptBuffers)
    : capacity_(bufferCapacity), kept_(keptBuffers) {}

ReceivedPiecePool::~ReceivedPiecePool() {
    if (memoryWarningObserver_) NotificationCenter::defaultCenter().removeObserver(memoryWarningObserver_.get());
}

std::unique_ptr<ReceivedPiecePool::Buffer> ReceivedPiecePool::take() {
    {
        std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            auto buffer = std::move(spare_.back());
            spare_.pop_back();
            return buffer;
        }
    }
    auto buffer = std::make_unique<Buffer>();
    buffer->reserve(capacity_);
    return buffer;
}

Data ReceivedPiecePool::hand(std::unique_ptr<Buffer>& buffer) {
    if (!buffer || buffer->empty()) return Data();
    // An eighth of a buffer: below it, a copy costs less than the memory a kept piece would hold.
    if (buffer->size() < capacity_ / 8) {
        Data copy(buffer->data(), buffer->size());
        buffer->clear();
        return copy;
    }
    // From whichever thread lets the last copy go; a pool that is gone by then lets the buffer go too.
    std::weak_ptr<ReceivedPiecePool> pool = weak_from_this();
    return Data(std::shared_ptr<Buffer>(buffer.release(), [pool](Buffer* done) {
        std::unique_ptr<Buffer> owned(done);
        if (auto alive = pool.lock()) alive->giveBack(std::move(owned));
    }));
}

void ReceivedPiecePool::giveBack(std::unique_ptr<Buffer> buffer) {
    // A copy that grew (a body appended to its first piece) has left the size the pool deals in.
    if (!buffer || buffer->capacity() < capacity_ || buffer->capacity() >= 2 * capacity_) return;
    buffer->clear();
    std::lock_guard lock(mutex_);
    if (spare_.size() < kept_) spare_.push_back(std::move(buffer));
}

std::size_t ReceivedPiecePool::keptBufferCount() const {
    std::lock_guard lock(mutex_);
    return spare_.size();
}

void ReceivedPiecePool::giveBackSpareBuffersOnMemoryWarnings() {
    std::weak_ptr<ReceivedPiecePool> weak = weak_from_this();
    auto observer = NotificationCenter::defaultCenter().addObserverForName(
        MemoryWarningNotification, nullptr, nullptr, [weak](const Notification&) {
            if (auto pool = weak.lock()) pool->releaseSpareBuffers();
        });
    std::lock_guard lock(mutex_);
    memoryWarningObserver_ = std::move(observer);
}

void ReceivedPiecePool::releaseSpareBuffers() {
    std::vector<std::unique_ptr<Buffer>> released;  // freed outside the lock
    std::lock_guard lock(mutex_);
    released.swap(spare_);
}

}  // namespace ql::ns
