#pragma once
// What the fuzz targets share: their assertion, and a reader that turns libFuzzer's bytes into choices.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace ql::fuzz {

// A broken property of the code under test stops the run as a crash, which libFuzzer records with the
// input that caused it (assert() would vanish from an NDEBUG build).
inline void check(bool condition) {
    if (!condition) std::abort();
}

// Reads the input front to back; past its end every byte reads 0, so a target never runs out of choices.
class Input {
public:
    Input(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    std::uint8_t byte() { return at_ < size_ ? bytes_[at_++] : 0; }
    bool empty() const { return at_ >= size_; }
    // Up to `most` bytes, as many as the next byte says.
    std::string bytes(std::size_t most) {
        const std::size_t length = std::min<std::size_t>(byte() % (most + 1), size_ - std::min(at_, size_));
        std::string out(reinterpret_cast<const char*>(bytes_ + at_), length);
        at_ += length;
        return out;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace ql::fuzz
