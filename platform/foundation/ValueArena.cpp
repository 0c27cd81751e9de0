#include "platform/foundation/ValueArena.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <new>
#include <stdexcept>

#include "platform/foundation/PageMemory.h"

namespace ql::ns {

namespace {

// Chunks of freed arenas, kept for the next ones. A tree of a megabyte or more takes several megabytes,
// which the C library would hand back to the system on each free and take again, page fault by page fault,
// on the next read: reading one large reply after another spent a third of its time so (and two thirds of
// it for a 20 MB reply, whose tree takes about 100 MB). The cache holds enough for the tree of a 20 MB text
// and keeps chunks of a megabyte or more only while large texts are being read (see keepChunks). Small
// chunks are left to the C library, which recycles them well.
class ChunkCache {
public:
    static constexpr std::size_t smallest = std::size_t{64} << 10;
    static constexpr std::size_t capacity = std::size_t{128} << 20;
    static constexpr std::size_t maximumCount = 8;
    // Chunks of this size or more are kept only while keeping is on.
    static constexpr std::size_t large = std::size_t{1} << 20;

    static ChunkCache& shared() {
        static ChunkCache* cache = new ChunkCache;  // never destroyed: arenas may outlive static destruction
        return *cache;
    }

    // The smallest kept block of `size` bytes up to twice that, with its size; nothing when there is none.
    // (A small tree that is kept for long should not hold a large block.)
    std::pair<void*, std::size_t> take(std::size_t size) {
        std::lock_guard lock(mutex_);
        auto best = blocks_.end();
        for (auto it = blocks_.begin(); it != blocks_.end(); ++it)
            if (it->second >= size && it->second / 2 <= size && (best == blocks_.end() || it->second < best->second))
                best = it;
        if (best == blocks_.end()) return {nullptr, 0};
        auto block = *best;
        blocks_.erase(best);
        bytes_ -= block.second;
        return block;
    }

    // Whether the block was kept; if not, it is the caller's to free. The oldest blocks make room for it, so
    // that the cache follows the sizes being read now.
    bool keep(void* block, std::size_t size) {
        if (size < smallest || size > capacity) return false;
        std::array<void*, maximumCount> evicted{};
        {
            std::lock_guard lock(mutex_);
            if (size >= large && !keepingLarge_) return false;
            std::size_t count = 0;
            while (bytes_ + size > capacity || blocks_.size() == maximumCount) {
                evicted[count++] = blocks_.front().first;
                bytes_ -= blocks_.front().second;
                blocks_.erase(blocks_.begin());
            }
            blocks_.emplace_back(block, size);
            bytes_ += size;
        }
        for (void* gone : evicted) ::operator delete(gone);
        return true;
    }

    void keepLarge() noexcept {
        std::lock_guard lock(mutex_);
        keepingLarge_ = true;
    }

    std::size_t bytes() {
        std::lock_guard lock(mutex_);
        return bytes_;
    }

    // The blocks are freed outside the lock; the list keeps its room, so keep() never allocates.
    void releaseAll() noexcept {
        std::array<void*, maximumCount> gone{};
        {
            std::lock_guard lock(mutex_);
            std::transform(blocks_.begin(), blocks_.end(), gone.begin(), [](auto& block) { return block.first; });
            blocks_.clear();
            bytes_ = 0;
            keepingLarge_ = false;
        }
        for (void* block : gone) ::operator delete(block);
    }

private:
    ChunkCache() { blocks_.reserve(maximumCount); }

    std::mutex mutex_;
    std::vector<std::pair<void*, std::size_t>> blocks_;
    std::size_t bytes_ = 0;
    bool keepingLarge_ = false;
};

}  // namespace

const std::size_t ValueArena::keptChunkBytes = ChunkCache::capacity;

std::size_t ValueArena::keptBytes() { return ChunkCache::shared().bytes(); }

void ValueArena::keepChunks() noexcept { ChunkCache::shared().keepLarge(); }

void ValueArena::releaseKeptChunks() noexcept { ChunkCache::shared().releaseAll(); }

void* detail::allocateInArena(ValueArena& arena, std::size_t size) { return arena.allocate(size); }

ValueArena::Chunk* ValueArena::obtainChunk(std::size_t size) {
    auto [block, blockSize] = size >= ChunkCache::smallest ? ChunkCache::shared().take(size) : std::pair<void*, std::size_t>();
    if (!block) {
        block = ::operator new(size);
        blockSize = size;
        adviseLargePages(block, size);
    }
    return new (block) Chunk{nullptr, blockSize};
}

void ValueArena::recycleChunk(Chunk* chunk) noexcept {
    if (!ChunkCache::shared().keep(chunk, chunk->size)) ::operator delete(chunk);
}

ValueArena::Handle ValueArena::make(std::size_t sizeHint) {
    static_assert(alignof(Value) <= alignment && alignof(Dictionary::Entry) <= alignment &&
                  alignof(Value::Node::Holding<Array>) <= alignment &&
                  alignof(Value::Node::Holding<Dictionary>) <= alignment && alignof(ValueArena) <= alignment);
    Chunk* first = obtainChunk(roundUp(sizeof(Chunk)) + roundUp(sizeof(ValueArena)) + roundUp(sizeHint));
    auto* arena = new (first->begin()) ValueArena(first, first->begin() + roundUp(sizeof(ValueArena)));
    arena->root_ = new (arena->allocate(sizeof(Value))) Value();
    return Handle(arena);
}

void* ValueArena::allocateChunk(std::size_t size) {
    // Chunks double the room so far, so that a tree far beyond the first guess still takes few of them.
    Chunk* chunk = obtainChunk(roundUp(sizeof(Chunk)) + std::max(size, reserved_));
    chunk->next = chunks_;
    chunks_ = chunk;
    reserved_ += chunk->size;
    at_ = chunk->begin() + size;
    end_ = chunk->end();
    return chunk->begin();
}

void ValueArena::destroy() noexcept {
    for (DictionaryKey* key : heapKeys_) std::destroy_at(key);
    Chunk* chunks = chunks_;
    this->~ValueArena();  // lives in the last of the chunks
    while (chunks) {
        Chunk* next = chunks->next;
        recycleChunk(chunks);
        chunks = next;
    }
}

void ValueArena::throwTooLong() { throw std::length_error("text too long for a value arena"); }

void ValueArena::throwFull() { throw std::logic_error("value arena dictionary is full"); }

}  // namespace ql::ns
