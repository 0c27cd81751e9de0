#pragma once
// ns::PageMemory: memory mapped from the system in whole pages and unmapped when let go, for buffers of
// megabytes whose memory must leave the process with them. The C library keeps what is freed on its heap
// for reuse, and past the first few large blocks freed it puts large blocks there too, so a freed buffer of
// 20 MB stays resident until some later allocation happens to reuse it.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ql::ns {

class PageMemory {
public:
    PageMemory() = default;
    // At least `size` bytes, zero-filled as the system hands them out; throws std::bad_alloc when refused.
    explicit PageMemory(std::size_t size);
    PageMemory(PageMemory&& other) noexcept;
    PageMemory& operator=(PageMemory&& other) noexcept;
    ~PageMemory();

    char* data() const { return bytes_; }
    // What is mapped: `size` rounded up to whole pages.
    std::size_t size() const { return size_; }

    // Shrinks to `size` bytes, giving back the pages past them, or grows into new pages at least that large,
    // with what it held copied there; throws std::bad_alloc when refused. (The system could move the pages
    // instead of copying them, but the thread sanitizer cannot follow that.)
    void resize(std::size_t size);

    // Hands the memory over to shared owners; when the last of them goes, `done` gets it back, to keep it for
    // reuse or let it go (it must not throw). This is left empty.
    using Done = void (*)(PageMemory) noexcept;
    std::shared_ptr<const std::uint8_t> share(Done done) &&;

private:
    PageMemory(char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    char* bytes_ = nullptr;
    std::size_t size_ = 0;
};

// Asks the system for pages of 2 MB within a block of several megabytes that is written front to back and
// then read: its writing and reading then take a small fraction of the address translations and page
// faults. (At most the 2 MB around the last byte written is taken beyond what is used.)
void adviseLargePages(void* block, std::size_t size) noexcept;

}  // namespace ql::ns
