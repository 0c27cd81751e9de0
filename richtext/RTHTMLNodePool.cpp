#include "richtext/RTHTMLNodePool.h"

namespace ql {

std::shared_ptr<RTHTMLNodePool> RTHTMLNodePool::create() {
    return std::shared_ptr<RTHTMLNodePool>(new RTHTMLNodePool(), [](RTHTMLNodePool* pool) { pool->release(); });
}

void RTHTMLNodePool::release() noexcept {
    bool last = false;
    {
        std::lock_guard guard(lock_);
        --holds_;
        last = isUnheldLocked();
    }
    if (last) delete this;
}

RTHTMLNodePool::ExclusiveUse::ExclusiveUse(RTHTMLNodePool& pool) : pool_(&pool) {
    std::lock_guard guard(pool.lock_);
    if (pool.exclusive_) {
        pool_ = nullptr;
        return;
    }
    pool.exclusive_ = true;
    ++pool.holds_;
    pool.exclusiveThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

RTHTMLNodePool::ExclusiveUse::~ExclusiveUse() {
    if (!pool_) return;
    bool last = false;
    {
        std::lock_guard guard(pool_->lock_);
        pool_->exclusiveThread_.store(std::thread::id(), std::memory_order_relaxed);
        pool_->holds_ += pool_->exclusiveHolds_ - 1;
        pool_->exclusiveHolds_ = 0;
        pool_->exclusive_ = false;
        last = pool_->isUnheldLocked();
    }
    if (last) delete pool_;
}

RTHTMLNodePool::Heap::~Heap() {
    for (const std::unique_ptr<std::byte[]>& chunk : chunks_) unpoison(chunk.get(), ChunkSize);
}

void* RTHTMLNodePool::Heap::carve(std::size_t sizeClass) {
    const std::size_t size = sizeClass * Alignment;
    if (static_cast<std::size_t>(end_ - next_) < size) {
        // The rest of the old chunk is too small for this size: left unused.
        chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(ChunkSize));
        next_ = chunks_.back().get();
        end_ = next_ + ChunkSize;
        poison(next_, ChunkSize);
    }
    void* block = next_;
    next_ += size;
    unpoison(block, size);
    return block;
}

void* RTHTMLNodePool::allocateShared(std::size_t bytes) {
    if (bytes > LargestBlock) return ::operator new(bytes);
    std::lock_guard guard(lock_);
    void* block = (exclusive_ ? sideHeap_ : heap_).allocate(sizeClass(bytes));
    ++holds_;
    return block;
}

void RTHTMLNodePool::deallocateShared(void* block, std::size_t bytes) noexcept {
    if (!block) return;
    if (bytes > LargestBlock) return ::operator delete(block);
    bool last = false;
    {
        std::lock_guard guard(lock_);
        (exclusive_ ? sideHeap_ : heap_).deallocate(block, sizeClass(bytes));
        --holds_;
        last = isUnheldLocked();
    }
    if (last) delete this;
}

std::size_t RTHTMLNodePool::reservedBytes() const {
    std::lock_guard guard(lock_);
    return heap_.reservedBytes() + sideHeap_.reservedBytes();
}

}  // namespace ql
