#pragma once
// RTHTMLNodePool: the memory of one import's tree nodes. An import makes and drops thousands of nodes of
// a few sizes (each finished block of the body is dropped with its subtree), and the general allocator
// handles blocks that large slowly; the pool carves them from large chunks and keeps each freed block on
// a list of its size for the next node, so the memory held is what the most nodes alive at once took.
//
// Lifetime: every block handed out holds the pool, so a node that outlives its import (kept by a flush
// callback, say, or by an attachment) stays valid; the pool and its chunks go back to the system when the
// pointer that create() answered and the last block are gone. Nodes may be freed on any thread. The
// blocks are counted under the pool's lock rather than through a shared pointer in each allocator, which
// would take and drop references on every copy the standard library makes of it.
//
// An import makes and frees its nodes on one thread: while it holds an ExclusiveUse, that thread takes
// and gives back blocks without the lock (its blocks are counted apart and added up when the use ends),
// and other threads are served under the lock from memory of their own.

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace ql {

class RTHTMLNodePool {
public:
    // Larger blocks (and arrays) come from the general allocator.
    static constexpr std::size_t LargestBlock = 2048;
    static constexpr std::size_t ChunkSize = 64 * 1024;

    // A new pool; the pointer's last copy lets go of it.
    static std::shared_ptr<RTHTMLNodePool> create();
    RTHTMLNodePool(const RTHTMLNodePool&) = delete;
    RTHTMLNodePool& operator=(const RTHTMLNodePool&) = delete;

    // A block holds the pool until it is given back. The exclusive thread's calls are made in place.
    void* allocate(std::size_t bytes) {
        if (bytes > LargestBlock || !isExclusiveThread()) return allocateShared(bytes);
        ++exclusiveHolds_;
        return heap_.allocate(sizeClass(bytes));
    }
    void deallocate(void* block, std::size_t bytes) noexcept {
        if (!block || bytes > LargestBlock || !isExclusiveThread()) return deallocateShared(block, bytes);
        // The open use holds the pool: this cannot be the last hold.
        heap_.deallocate(block, sizeClass(bytes));
        --exclusiveHolds_;
    }

    // The calling thread's exclusive use of the pool for the scope's lifetime (it holds the pool that
    // long). Only one use is open at a time: a second one, on any thread, grants nothing, and its thread
    // goes through the lock as before.
    class ExclusiveUse {
    public:
        explicit ExclusiveUse(RTHTMLNodePool& pool);
        ~ExclusiveUse();
        ExclusiveUse(const ExclusiveUse&) = delete;
        ExclusiveUse& operator=(const ExclusiveUse&) = delete;
        bool isGranted() const { return pool_ != nullptr; }

    private:
        RTHTMLNodePool* pool_;
    };

    // For std::allocate_shared: the node and its reference counts in one pooled block.
    template <class T>
    class Allocator {
    public:
        using value_type = T;
        explicit Allocator(const std::shared_ptr<RTHTMLNodePool>& pool) noexcept : pool_(pool.get()) {}
        // Without a pool (nullptr), blocks come from the general allocator.
        explicit Allocator(RTHTMLNodePool* pool) noexcept : pool_(pool) {}
        template <class U>
        Allocator(const Allocator<U>& other) noexcept : pool_(other.pool()) {}

        T* allocate(std::size_t count) {
            static_assert(alignof(T) <= Alignment, "pooled blocks are aligned for ordinary objects only");
            if (!pool_ || count > LargestBlock / sizeof(T)) return std::allocator<T>().allocate(count);
            return static_cast<T*>(pool_->allocate(count * sizeof(T)));
        }
        void deallocate(T* block, std::size_t count) noexcept {
            if (!pool_ || count > LargestBlock / sizeof(T)) return std::allocator<T>().deallocate(block, count);
            pool_->deallocate(block, count * sizeof(T));
        }
        RTHTMLNodePool* pool() const noexcept { return pool_; }
        template <class U>
        bool operator==(const Allocator<U>& other) const noexcept {
            return pool_ == other.pool();
        }

    private:
        RTHTMLNodePool* pool_;  // kept alive by the blocks it handed out
    };

    // The bytes held in chunks, for tests (not while another thread's exclusive use is open).
    std::size_t reservedBytes() const;

private:
    RTHTMLNodePool() = default;
    ~RTHTMLNodePool() = default;
    // Drops one hold (the owner's or a block's); the last one deletes the pool.
    void release() noexcept;
    // Blocks of the general allocator, and the pool's own for every thread but the exclusive one.
    void* allocateShared(std::size_t bytes);
    void deallocateShared(void* block, std::size_t bytes) noexcept;
    // Under the lock.
    bool isUnheldLocked() const { return holds_ == 0 && !exclusive_; }
    bool isExclusiveThread() const { return exclusiveThread_.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

    static constexpr std::size_t Alignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
    static std::size_t sizeClass(std::size_t bytes) { return (bytes + Alignment - 1) / Alignment; }
    // Free blocks stay poisoned (all but the link to the next one), so a node used after it was freed is
    // still caught by the address checker.
    static void poison([[maybe_unused]] void* at, [[maybe_unused]] std::size_t bytes) noexcept {
#if defined(__SANITIZE_ADDRESS__)
        ASAN_POISON_MEMORY_REGION(at, bytes);
#endif
    }
    static void unpoison([[maybe_unused]] void* at, [[maybe_unused]] std::size_t bytes) noexcept {
#if defined(__SANITIZE_ADDRESS__)
        ASAN_UNPOISON_MEMORY_REGION(at, bytes);
#endif
    }

    // Chunks carved into blocks, and the freed blocks by size class.
    class Heap {
    public:
        Heap() = default;
        Heap(const Heap&) = delete;
        Heap& operator=(const Heap&) = delete;
        ~Heap();
        void* allocate(std::size_t sizeClass) {
            FreeBlock* block = free_[sizeClass];
            if (!block) return carve(sizeClass);
            free_[sizeClass] = block->next;
            unpoison(block, sizeClass * Alignment);
            return block;
        }
        void deallocate(void* block, std::size_t sizeClass) noexcept {
            auto* freed = static_cast<FreeBlock*>(block);
            freed->next = free_[sizeClass];
            free_[sizeClass] = freed;
            poison(freed + 1, sizeClass * Alignment - sizeof(FreeBlock));
        }
        std::size_t reservedBytes() const { return chunks_.size() * ChunkSize; }

    private:
        struct FreeBlock {
            FreeBlock* next;
        };
        // A new block from the current chunk, or from a new one.
        void* carve(std::size_t sizeClass);
        std::vector<std::unique_ptr<std::byte[]>> chunks_;
        std::byte* next_ = nullptr;
        std::byte* end_ = nullptr;
        std::array<FreeBlock*, LargestBlock / Alignment + 1> free_{};
    };

    mutable std::mutex lock_;
    // The exclusive thread's while a use is open (without the lock), everyone's under the lock otherwise.
    Heap heap_;
    // Other threads' while a use is open, under the lock.
    Heap sideHeap_;
    // Under the lock: the owner, an open use and the blocks handed out, but for the exclusive thread's
    // while its use is open; a block freed on another thread may take it below zero meanwhile.
    std::ptrdiff_t holds_ = 1;
    bool exclusive_ = false;
    // The exclusive thread's count of its blocks (handed out less given back), while its use is open.
    std::ptrdiff_t exclusiveHolds_ = 0;
    // Read by every thread without the lock: only the thread it names finds itself there.
    std::atomic<std::thread::id> exclusiveThread_{};
};

// A node of type T made in `pool` (its child list too), or by the general allocator when there is none.
template <class T, class... Arguments>
std::shared_ptr<T> makePooledNode(const std::shared_ptr<RTHTMLNodePool>& pool, Arguments&&... arguments) {
    if (!pool) return std::make_shared<T>(std::forward<Arguments>(arguments)...);
    std::shared_ptr<T> node = std::allocate_shared<T>(RTHTMLNodePool::Allocator<T>(pool), std::forward<Arguments>(arguments)...);
    node->setNodePool(pool.get());
    return node;
}

}  // namespace ql
