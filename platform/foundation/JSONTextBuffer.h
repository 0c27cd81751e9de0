#pragma once
// Where the JSON writer puts its text. Not part of the public interface.
//
// A text goes first into a scratch buffer the thread keeps between writes (up to keptWriteBytes), so that
// writing neither regrows nor faults in fresh memory on every call. A larger text goes on in blocks of its
// own, each the size of the kept scratch, which never move once written and go when the text has been
// joined: one copy of every byte, as for a small text, and nothing large left on the thread.

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/foundation/Data.h"

namespace ql::ns::detail {

// What writing keeps on the calling thread between writes: its scratch buffer, which never holds more than
// keptWriteBytes, however large the write was.
inline constexpr std::size_t keptWriteBytes = std::size_t{4} << 20;
std::size_t keptWriteScratchBytes();

class JSONTextBuffer {
public:
    // Writes into the calling thread's kept scratch, then into blocks of its own.
    JSONTextBuffer();
    JSONTextBuffer(const JSONTextBuffer&) = delete;
    JSONTextBuffer& operator=(const JSONTextBuffer&) = delete;

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
