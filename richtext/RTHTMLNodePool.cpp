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
        last = --holds_ == 0;
    }
    if (last) delete this;
}

RTHTMLNodePool::~RTHTMLNodePool() {
    for (const std::unique_ptr<std::byte[]>& chunk : chunks_) QL_POOL_UNPOISON(chunk.get(), ChunkSize);
}

void* RTHTMLNodePool::allocate(std::size_t bytes) {
    if (bytes > LargestBlock) return ::operator new(bytes);
    const std::size_t size = sizeClass(bytes) * Alignment;
    std::lock_guard guard(lock_);
    if (FreeBlock* block = free_[sizeClass(bytes)]) {
        free_[sizeClass(bytes)] = block->next;
        QL_POOL_UNPOISON(block, size);
        ++holds_;
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
    ++holds_;
    return block;
}

void RTHTMLNodePool::deallocate(void* block, std::size_t bytes) noexcept {
    if (!block) return;
    if (bytes > LargestBlock) return ::operator delete(block);
    const std::size_t size = sizeClass(bytes) * Alignment;
    bool last = false;
    {
        std::lock_guard guard(lock_);
        auto* freed = static_cast<FreeBlock*>(block);
        freed->next = free_[sizeClass(bytes)];
        free_[sizeClass(bytes)] = freed;
        QL_POOL_POISON(reinterpret_cast<std::byte*>(block) + sizeof(FreeBlock), size - sizeof(FreeBlock));
        last = --holds_ == 0;
    }
    if (last) delete this;
}

std::size_t RTHTMLNodePool::reservedBytes() const {
    std::lock_guard guard(lock_);
    return chunks_.size() * ChunkSize;
}

}  // namespace ql
