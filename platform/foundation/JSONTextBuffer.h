#pragma once
// Where the JSON writer puts its text. Not part of the public interface.
//
// A text goes first into a scratch buffer the thread keeps between writes (up to keptWriteBytes), so that
// writing neither regrows nor faults in fresh memory on every call. A larger text goes on in blocks, each
// the size of the kept scratch, which never move once written and are joined into the result at the end:
// one copy of every byte, as for a small text, and nothing large left on the thread. The blocks of a text
// of up to maxSpareWriteBlocks blocks (about 32 MB in all) are kept as spares for the next large text on
// any thread, for as long as large texts keep coming (JSONKeptMemory.h), so that a run of large writes
// reuses memory already in use rather than faulting in fresh memory every time; a larger text gives all its
// blocks back at once.

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/foundation/Data.h"

namespace ql::ns::detail {

// What writing keeps on the calling thread between writes: its scratch buffer, which never holds more than
// keptWriteBytes, however large the write was.
inline constexpr std::size_t keptWriteBytes = std::size_t{4} << 20;
std::size_t keptWriteScratchBytes();

// The spare blocks kept, in bytes, and their release.
inline constexpr std::size_t maxSpareWriteBlocks = 7;
std::size_t spareWriteBlockBytes();
void releaseSpareWriteBlocks() noexcept;

class JSONTextBuffer {
public:
    // Writes into the calling thread's kept scratch, then into blocks.
    JSONTextBuffer();
    JSONTextBuffer(const JSONTextBuffer&) = delete;
    JSONTextBuffer& operator=(const JSONTextBuffer&) = delete;
    // Keeps the blocks as spares, or gives them back.
    ~JSONTextBuffer();

    // Room for `n` more bytes in one piece at the cursor; what is written there counts once the cursor is
    // moved past it.
    char* room(std::size_t n) {
        if (static_cast<std::size_t>(end_ - at_) < n) [[unlikely]]
            makeRoom(n);
        return at_;
    }
    void moveCursor(char* to) { at_ = to; }

    // The text written so far, in one piece.
    Data joined() const;

private:
    friend std::size_t keptWriteScratchBytes();

    // A piece of the text: the scratch, or a block.
    struct Piece {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
        std::size_t length = 0;  // what was written in it, once the writing moved on to the next piece
    };
    static Piece& threadScratch();

    [[gnu::noinline]] void makeRoom(std::size_t n);
    // Grows the scratch to room for `n` more bytes, unless that takes it past what the thread keeps.
    bool growScratch(std::size_t n);
    void startBlock(std::size_t n);
    // What was written in a piece: up to the cursor in the one being written.
    std::size_t lengthOf(const Piece& piece) const;

    Piece& scratch_;
    std::vector<Piece> blocks_;
    char* at_;   // the cursor
    char* end_;  // the end of the room
};

}  // namespace ql::ns::detail
