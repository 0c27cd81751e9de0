#pragma once
// Where the JSON writer puts its text. Not part of the public interface.
//
// A text goes first into a scratch buffer the thread keeps between writes (up to keptWriteBytes), so that
// writing neither regrows nor faults in fresh memory on every call; the result is a copy of it. A larger
// text moves on into pages mapped for it (PageMemory), with room for any text that may be kept, which
// become the result itself: what was written is not copied again. When the caller lets go of the result,
// its pages are kept for the next large text on any thread for as long as large texts keep coming
// (JSONKeptMemory.h), so that a run of large writes reuses memory already in use rather than faulting in
// fresh pages every time; otherwise, and when they are released, they leave the process.

#include <cstddef>
#include <memory>

#include "platform/foundation/Data.h"
#include "platform/foundation/PageMemory.h"

namespace ql::ns::detail {

// What writing keeps on the calling thread between writes: its scratch buffer, which never holds more than
// keptWriteBytes, however large the write was.
inline constexpr std::size_t keptWriteBytes = std::size_t{4} << 20;
std::size_t keptWriteScratchBytes();

// The pages of one large text let go by its caller, kept for the next (their size in bytes, 0 when none
// are), and their release. Pages of more than maxSpareWriteBytes are never kept.
inline constexpr std::size_t maxSpareWriteBytes = std::size_t{64} << 20;
std::size_t spareWritePageBytes();
void releaseSpareWritePages() noexcept;

class JSONTextBuffer {
public:
    // Writes into the calling thread's kept scratch, then into pages of its own.
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

    // The text written, in one piece; a large text hands over its pages, so this is called once.
    Data take();

private:
    friend std::size_t keptWriteScratchBytes();

    struct Scratch {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
    };
    static Scratch& threadScratch();

    [[gnu::noinline]] void makeRoom(std::size_t n);
    // Grows the scratch to room for `n` more bytes, unless that takes it past what the thread keeps.
    bool growScratch(std::size_t n);
    // Grows the text's own pages to room for `n` more bytes, moving the text there from the scratch first
    // (into the spare pages, if there are any).
    void growPages(std::size_t n);
    char* start() const { return pages_.data() ? pages_.data() : scratch_.bytes.get(); }
    std::size_t length() const { return static_cast<std::size_t>(at_ - start()); }

    Scratch& scratch_;
    PageMemory pages_;  // a large text's, once it has outgrown the scratch
    char* at_;          // the cursor
    char* end_;         // the end of the room
};

}  // namespace ql::ns::detail
