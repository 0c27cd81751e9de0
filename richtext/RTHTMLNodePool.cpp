#include "richtext/RTHTMLNodePool.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
// Free blocks stay poisoned (all but the link to the next one), so a node used after it was freed is
// still caught by the address checker.
#define QL_POOL_POISON(at, bytes) ASAN_POISON_MEMORY_REGION(at, bytes)
#define QL_POOL_UNPOISON(at, bytes) ASAN_UNPOISON_MEMORY_REGION(at, bytes)
#else
#define QL_POOL_POISON(at, bytes) ((void)(at), (void)(bytes))
#define QL_POOL_UNPOISON(at, bytes) ((void)(at), (void)(bytes))
#endif

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
    for (const std::unique_ptr<std::byte[]>& chunk : chunks_) QL_POOL_UNPOISON(chunk.get(), ChunkSize);
}

void* RTHTMLNodePool::Heap::allocate(std::size_t sizeClass) {
    const std::size_t size = sizeClass * Alignment;
    if (FreeBlock* block = free_[sizeClass]) {
        free_[sizeClass] = block->next;
        QL_POOL_UNPOISON(block, size);
        return block;
    }
    if (static_cast<std::size_t>(end_ - next_) < size) {
        // The rest of the old chunk is too small for this size: left unused.
        chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(ChunkSize));
        next_ = chunks_.back().get();
        end_ = next_ + ChunkSize;
        QL_POOL_POISON(next_, ChunkSize);
    }
    void* block = next_;
    next_ += size;
    QL_POOL_UNPOISON(block, size);
    return block;
}

void RTHTMLNodePool::Heap::deallocate(void* block, std::size_t sizeClass) noexcept {
    auto* freed = static_cast<FreeBlock*>(block);
    freed->next = free_[sizeClass];
    free_[sizeClass] = freed;
    QL_POOL_POISON(reinterpret_cast<std::byte*>(block) + sizeof(FreeBlock), sizeClass * Alignment - sizeof(FreeBlock));
}

void* RTHTMLNodePool::allocate(std::size_t bytes) {
    if (bytes > LargestBlock) return ::operator new(bytes);
    if (isExclusiveThread()) {
        void* block = heap_.allocate(sizeClass(bytes));
        ++exclusiveHolds_;
        return block;
    }
    std::lock_guard guard(lock_);
    void* block = (exclusive_ ? sideHeap_ : heap_).allocate(sizeClass(bytes));
    ++holds_;
    return block;
}

void RTHTMLNodePool::deallocate(void* block, std::size_t bytes) noexcept {
    if (!block) return;
    if (bytes > LargestBlock) return ::operator delete(block);
    if (isExclusiveThread()) {
        // The open use holds the pool: this cannot be the last hold.
        heap_.deallocate(block, sizeClass(bytes));
        --exclusiveHolds_;
        return;
    }
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
