#include "platform/foundation/PageMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace ql::ns {

namespace {

std::size_t wholePages(std::size_t size) {
    static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (size > SIZE_MAX - page) throw std::bad_alloc();
    return (size + page - 1) / page * page;
}

char* map(std::size_t size) {
    void* bytes = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (bytes == MAP_FAILED) throw std::bad_alloc();
    return static_cast<char*>(bytes);
}

void unmap(const void* bytes, std::size_t size) noexcept {
    if (bytes) munmap(const_cast<void*>(bytes), size);
}

}  // namespace

PageMemory::PageMemory(std::size_t size) {
    if (size == 0) return;
    const std::size_t mapped = wholePages(size);
    bytes_ = map(mapped);
    size_ = mapped;
}

PageMemory::PageMemory(PageMemory&& other) noexcept
    : bytes_(std::exchange(other.bytes_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PageMemory& PageMemory::operator=(PageMemory&& other) noexcept {
    if (this != &other) {
        unmap(bytes_, size_);
        bytes_ = std::exchange(other.bytes_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

PageMemory::~PageMemory() { unmap(bytes_, size_); }

void PageMemory::resize(std::size_t size) {
    if (!bytes_ || size == 0) {
        *this = PageMemory(size);
        return;
    }
    const std::size_t mapped = wholePages(size);
    if (mapped < size_) {
        unmap(bytes_ + mapped, size_ - mapped);
        size_ = mapped;
    } else if (mapped > size_) {
        PageMemory larger(mapped);
        std::memcpy(larger.bytes_, bytes_, size_);
        *this = std::move(larger);
    }
}

std::shared_ptr<const std::uint8_t> PageMemory::share(Done done) && {
    const std::size_t size = std::exchange(size_, 0);
    auto* bytes = reinterpret_cast<const std::uint8_t*>(std::exchange(bytes_, nullptr));
    // Should the shared pointer's own bookkeeping fail to allocate, `done` gets the memory before it throws.
    return std::shared_ptr<const std::uint8_t>(bytes, [size, done](const std::uint8_t* shared) {
        done(PageMemory(const_cast<char*>(reinterpret_cast<const char*>(shared)), size));
    });
}

void adviseLargePages(void* block, std::size_t size) noexcept {
    constexpr std::uintptr_t largePage = std::uintptr_t{2} << 20;
    if (size < 2 * largePage) return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(block) + largePage - 1) & ~(largePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(block) + size) & ~(largePage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace ql::ns
