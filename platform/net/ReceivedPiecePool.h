#pragma once
// Buffers that the pieces of reply bodies are gathered in. A transfer copies what it reads into one buffer
// until the end of the loading thread's round, then hands the whole buffer on as one piece, without
// copying it again; the buffer comes back once every copy of the piece is gone, so that later pieces are
// written into memory still in the cache rather than fresh memory. A small piece is copied out instead and
// its buffer kept, so that a short reply kept for long holds no large buffer. Internal to the loading
// system.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"

namespace ql::ns {

class ReceivedPiecePool : public std::enable_shared_from_this<ReceivedPiecePool> {
public:
    using Buffer = std::vector<std::uint8_t>;

    // Buffers of `bufferCapacity` bytes, at most `keptBuffers` of them kept while unused.
    ReceivedPiecePool(std::size_t bufferCapacity, std::size_t keptBuffers);
    ~ReceivedPiecePool();

    std::size_t bufferCapacity() const { return capacity_; }
    // An empty buffer of the pool's capacity. Any thread, as the other calls.
    std::unique_ptr<Buffer> take();
    // The gathered bytes as data. A large piece takes the buffer with it (null afterwards) and brings it
    // back to the pool when its last copy goes; a small one is copied, and the buffer is left empty.
    Data hand(std::unique_ptr<Buffer>& buffer);
    // A buffer not handed on.
    void giveBack(std::unique_ptr<Buffer> buffer);

    std::size_t keptBufferCount() const;
    // From now on, a memory warning gives every kept buffer back to the system (buffers lent out are kept
    // again as they come back).
    void giveBackSpareBuffersOnMemoryWarnings();

private:
    void releaseSpareBuffers();

    const std::size_t capacity_;
    const std::size_t kept_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Buffer>> spare_;  // the last given back on top: the warmest
    std::shared_ptr<Object> memoryWarningObserver_;
};

}  // namespace ql::ns
