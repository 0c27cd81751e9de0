#include "platform/foundation/JSONTextBuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace ql::ns::detail {

namespace {

// The scratch's room on a thread's first write; it doubles from there, up to keptWriteBytes.
constexpr std::size_t firstScratchBytes = 4096;

}  // namespace

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

void JSONTextBuffer::makeRoom(std::size_t n) {
    if (blocks_.empty() && growScratch(n)) return;
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
    const std::size_t size = std::max(keptWriteBytes, n);
    blocks_.push_back(Piece{std::make_unique_for_overwrite<char[]>(size), size, 0});
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
