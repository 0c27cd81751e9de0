#include "platform/foundation/JSONTextBuffer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/foundation/JSONKeptMemory.h"

namespace ql::ns::detail {

namespace {

// The scratch's room on a thread's first write; it doubles from there, up to keptWriteBytes.
constexpr std::size_t firstScratchBytes = 4096;
// A block's size; the room asked for at once is far less.
constexpr std::size_t blockBytes = keptWriteBytes;

// The spare blocks, shared by the writes of all threads. Keeping and releasing allocate nothing, so that
// blocks are kept from destructors.
class SpareBlocks {
public:
    static SpareBlocks& shared() {
        static SpareBlocks* spares = new SpareBlocks;  // never destroyed: writes may run during static destruction
        return *spares;
    }

    // A spare block, or a fresh one.
    std::unique_ptr<char[]> take() {
        {
            std::lock_guard lock(mutex_);
            if (count_ > 0) return std::move(blocks_[--count_]);
        }
        return std::make_unique_for_overwrite<char[]>(blockBytes);
    }

    // Keeps the block unless as many are kept already (large texts written at once on several threads);
    // the caller's goes when it lets go of it.
    void keep(std::unique_ptr<char[]>& block) noexcept {
        std::lock_guard lock(mutex_);
        if (count_ < blocks_.size()) blocks_[count_++] = std::move(block);
    }

    std::size_t bytes() {
        std::lock_guard lock(mutex_);
        return count_ * blockBytes;
    }

    void release() noexcept {
        Blocks gone;  // freed once the lock is let go
        {
            std::lock_guard lock(mutex_);
            for (std::size_t i = 0; i < count_; ++i) gone[i] = std::move(blocks_[i]);
            count_ = 0;
        }
    }

private:
    using Blocks = std::array<std::unique_ptr<char[]>, maxSpareWriteBlocks>;

    SpareBlocks() = default;

    std::mutex mutex_;
    Blocks blocks_;
    std::size_t count_ = 0;  // the spares, first in blocks_
};

}  // namespace

std::size_t spareWriteBlockBytes() { return SpareBlocks::shared().bytes(); }

void releaseSpareWriteBlocks() noexcept { SpareBlocks::shared().release(); }

JSONTextBuffer::Piece& JSONTextBuffer::threadScratch() {
    thread_local Piece scratch;
    return scratch;
}

std::size_t keptWriteScratchBytes() { return JSONTextBuffer::threadScratch().size; }

JSONTextBuffer::JSONTextBuffer() : scratch_(threadScratch()) {
    if (scratch_.size < firstScratchBytes) {
        scratch_.bytes = std::make_unique_for_overwrite<char[]>(firstScratchBytes);
        scratch_.size = firstScratchBytes;
    }
    at_ = scratch_.bytes.get();
    end_ = at_ + scratch_.size;
}

JSONTextBuffer::~JSONTextBuffer() {
    if (blocks_.size() > maxSpareWriteBlocks) return;
    for (Piece& block : blocks_)
        if (block.size == blockBytes) SpareBlocks::shared().keep(block.bytes);
}

void JSONTextBuffer::makeRoom(std::size_t n) {
    if (blocks_.empty()) {
        if (growScratch(n)) return;
        // A large text: spare blocks are kept while such texts keep coming.
        noteLargeJSONText();
    }
    Piece& full = blocks_.empty() ? scratch_ : blocks_.back();
    full.length = lengthOf(full);
    startBlock(n);
}

bool JSONTextBuffer::growScratch(std::size_t n) {
    const std::size_t used = static_cast<std::size_t>(at_ - scratch_.bytes.get());
    if (used + n > keptWriteBytes) return false;
    const std::size_t size = std::min(std::max(scratch_.size * 2, used + n), keptWriteBytes);
    auto bytes = std::make_unique_for_overwrite<char[]>(size);
    std::memcpy(bytes.get(), scratch_.bytes.get(), used);
    scratch_.bytes = std::move(bytes);
    scratch_.size = size;
    at_ = scratch_.bytes.get() + used;
    end_ = scratch_.bytes.get() + size;
    return true;
}

void JSONTextBuffer::startBlock(std::size_t n) {
    const std::size_t size = std::max(blockBytes, n);
    auto bytes = size == blockBytes ? SpareBlocks::shared().take() : std::make_unique_for_overwrite<char[]>(size);
    blocks_.push_back(Piece{std::move(bytes), size, 0});
    at_ = blocks_.back().bytes.get();
    end_ = at_ + size;
}

std::size_t JSONTextBuffer::lengthOf(const Piece& piece) const {
    const Piece& current = blocks_.empty() ? scratch_ : blocks_.back();
    return &piece == &current ? static_cast<std::size_t>(at_ - piece.bytes.get()) : piece.length;
}

Data JSONTextBuffer::joined() const {
    if (blocks_.empty()) return Data(scratch_.bytes.get(), lengthOf(scratch_));
    std::size_t length = lengthOf(scratch_);
    for (const Piece& block : blocks_) length += lengthOf(block);
    std::vector<std::uint8_t> text;
    text.reserve(length);
    const auto append = [&](const Piece& piece) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(piece.bytes.get());
        text.insert(text.end(), bytes, bytes + lengthOf(piece));
    };
    append(scratch_);
    for (const Piece& block : blocks_) append(block);
    return Data(std::move(text));
}

}  // namespace ql::ns::detail
