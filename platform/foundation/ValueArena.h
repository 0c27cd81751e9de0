#pragma once
// ns::ValueArena: the memory of a tree of Values built in one piece (a parsed JSON text). Its texts,
// containers and their members lie one after another in a few large chunks, in the order a reader visits
// them, instead of a heap block per text and two per container.
//
// The arena is counted as a whole: every Value outside it that refers into it holds one reference, while the
// Values inside its own containers hold none and are never destroyed one by one; the last reference frees
// all chunks at once. Its containers are read-only: Value's mutable… accessors copy a container onto the
// heap before changing it, so the only writing is the building, done by one thread before the tree is handed
// out. Holding any part of the tree keeps the whole arena alive.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"

namespace ql::ns {

class ValueArena {
public:
    struct Releaser {
        void operator()(ValueArena* arena) const noexcept { arena->release(); }
    };
    // The builder's reference: the arena goes away with it unless a Value was taken out (see root()).
    using Handle = std::unique_ptr<ValueArena, Releaser>;

    // A new arena whose first chunk has room for `sizeHint` bytes; it grows as needed.
    static Handle make(std::size_t sizeHint);

    ValueArena(const ValueArena&) = delete;
    ValueArena& operator=(const ValueArena&) = delete;

    // ---- Building ----
    // Each call fills a `slot` that is nil and lies inside this arena: root(), an element appended to an
    // array of this arena, or the value of appendEntry. Texts and containers are made in place, so no Value of
    // the tree ever exists outside it while building.

    // The slot of the tree's root. A copy of it is the tree for the outside world.
    Value& root() { return *root_; }
    // A text whose bytes may be read in whole words, up to the next multiple of eight past its end (it lies
    // in a parser's padded buffer), so that it is copied a word at a time, without a call.
    void setPaddedText(Value& slot, std::string_view text, bool isMutable) {
        // A text in the arena keeps its size in 32 bits; simdjson reads no document of 4 GB or more.
        if (text.size() >= Value::Node::textInStdString) [[unlikely]]
            throwTooLong();
        // Arena allocations are whole words, so the node has room for the last one.
        auto* node = new (allocateNode(sizeof(Value::Node) + text.size())) Value::Node;
        node->refs.store(0, std::memory_order_relaxed);
        node->textSize = static_cast<std::uint32_t>(text.size());
        char* to = const_cast<char*>(node->textBytes());
        for (std::size_t i = 0; i < text.size(); i += sizeof(std::uint64_t)) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, sizeof word);
            std::memcpy(to + i, &word, sizeof word);
        }
        fill(slot, Value::Kind::String, isMutable, node);
    }
    // An empty array or dictionary with room for `capacity` members, which is all it may get.
    Array& setArray(Value& slot, std::size_t capacity, bool isMutable) {
        Array& array = makeHolding(slot, Value::Kind::Array, isMutable, Array(ValueAllocator<Value>(this))).payload;
        array.reserve(capacity);
        return array;
    }
    Dictionary& setDictionary(Value& slot, std::size_t capacity, bool isMutable) {
        Dictionary& dictionary = makeHolding(slot, Value::Kind::Dictionary, isMutable,
                                             Dictionary(ValueAllocator<Dictionary::Entry>(this)))
                                     .payload;
        dictionary.entries_.reserve(capacity);
        return dictionary;
    }
    // A new member of a dictionary of this arena; keys must come in strictly ascending (byte) order. The
    // key's bytes may be read up to shortKey past its start (it lies in a parser's padded buffer).
    Value& appendEntry(Dictionary& dictionary, std::string_view key) {
        // Growing would move the entries, and with them the keys this arena has to free.
        auto& entries = dictionary.entries_;
        if (entries.size() == entries.capacity()) [[unlikely]]
            throwFull();
        if (key.size() > shortKey) [[unlikely]]
            return appendLongKeyEntry(entries, key);
        // A short key is copied at the fixed size: a copy that needs no call.
        auto& entry = entries.emplace_back(std::piecewise_construct,
                                           std::forward_as_tuple(DictionaryKey::Padded(), key.data(), key.size()),
                                           std::forward_as_tuple());
        return entry.second;
    }

    // ---- Memory kept between trees ----
    // Chunks of freed arenas are kept (at most keptChunkBytes in all) for the next trees, so that reading one
    // large reply after another does not map and fault in the same memory again each time. Large chunks are
    // kept only from keepChunks() until releaseKeptChunks(), which gives back those kept so far, so that trees
    // let go after memory was given back do not fill the cache again before the next large read.
    static const std::size_t keptChunkBytes;
    static std::size_t keptBytes();
    static void keepChunks() noexcept;
    static void releaseKeptChunks() noexcept;

    // ---- Used by Value ----
    static ValueArena& of(const Value::Node* node) {
        return **reinterpret_cast<ValueArena* const*>(reinterpret_cast<const char*>(node) - sizeof(ValueArena*));
    }
    void retain() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
    void release() noexcept {
        // A sole holder needs no atomic decrement: no one else can be copying meanwhile.
        if (refs_.load(std::memory_order_acquire) == 1 || refs_.fetch_sub(1, std::memory_order_acq_rel) == 1)
            destroy();
    }

    // `size` bytes aligned for any Value storage.
    void* allocate(std::size_t size) {
        size = roundUp(size);
        if (size > static_cast<std::size_t>(end_ - at_)) [[unlikely]]
            return allocateChunk(size);
        // A tree is written front to back faster than the memory it lands in reaches the cache on its own
        // (a large tree's writes waited for it a fifth of the read): the line a little way ahead is asked for
        // now. (Asking past the end of the chunk is harmless.)
        __builtin_prefetch(at_ + prefetchDistance, 1);
        void* p = at_;
        at_ += size;
        return p;
    }

private:
    static constexpr std::size_t prefetchDistance = 2048;
    // Every kind of node, container buffer and Value needs no more than pointer alignment.
    static constexpr std::size_t alignment = alignof(void*);
    // The head of every chunk; the first chunk holds the arena itself after it.
    struct Chunk {
        Chunk* next;
        std::size_t size;  // of the whole chunk
        char* begin() { return reinterpret_cast<char*>(this) + roundUp(sizeof(Chunk)); }
        char* end() { return reinterpret_cast<char*>(this) + size; }
    };

    static constexpr std::size_t shortKey = DictionaryKey::fixedCopy;

    [[gnu::noinline]] Value& appendLongKeyEntry(Dictionary::Entries& entries, std::string_view key) {
        auto& entry = entries.emplace_back(std::piecewise_construct, std::forward_as_tuple(key), std::forward_as_tuple());
        if (key.size() > DictionaryKey::inlineCapacity) heapKeys_.push_back(&entry.first);
        return entry.second;
    }

    static constexpr std::size_t roundUp(std::size_t size) { return (size + alignment - 1) & ~(alignment - 1); }
    // A chunk of at least `size` bytes, recycled when one is at hand.
    static Chunk* obtainChunk(std::size_t size);
    static void recycleChunk(Chunk* chunk) noexcept;

    ValueArena(Chunk* first, char* at) : at_(at), end_(first->end()), reserved_(first->size), chunks_(first) {}
    ~ValueArena() = default;
    void destroy() noexcept;
    void* allocateChunk(std::size_t size);
    [[noreturn]] static void throwTooLong();
    [[noreturn]] static void throwFull();

    // Room for a node of `size` bytes, placed after the pointer back to this arena that of() reads.
    void* allocateNode(std::size_t size) {
        auto* at = static_cast<char*>(allocate(sizeof(ValueArena*) + size));
        *reinterpret_cast<ValueArena**>(at) = this;
        return at + sizeof(ValueArena*);
    }
    static void fill(Value& slot, Value::Kind kind, bool isMutable, Value::Node* node) {
        slot.kind_ = kind;
        slot.mutable_ = isMutable;
        slot.scalar_.node = node;
    }
    template <class T>
    Value::Node::Holding<T>& makeHolding(Value& slot, Value::Kind kind, bool isMutable, T&& payload) {
        auto* node = new (allocateNode(sizeof(Value::Node::Holding<T>))) Value::Node::Holding<T>(std::move(payload));
        node->refs.store(0, std::memory_order_relaxed);
        fill(slot, kind, isMutable, node);
        return *node;
    }

    std::atomic<std::size_t> refs_{1};
    char* at_;
    char* end_;
    std::size_t reserved_;  // bytes in chunks so far, which the next chunk matches
    Chunk* chunks_;         // the latest first; the last one holds the arena itself
    Value* root_ = nullptr;
    // Keys too long to be kept inside the key live on the heap; they are freed with the arena.
    std::vector<DictionaryKey*> heapKeys_;
};

}  // namespace ql::ns
