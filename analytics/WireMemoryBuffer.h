#pragma once
// The in-memory transport of the binary protocol: writes append to one byte buffer, reads consume it from
// the front. Reading past the end raises WireProtocolException instead of reading what is not there.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/foundation/Data.h"

namespace ql {

class WireMemoryBuffer {
public:
    WireMemoryBuffer() = default;
    // A buffer holding `bytes`, ready to be read.
    explicit WireMemoryBuffer(const ns::Data& bytes);

    // Every byte the buffer holds (given or written), whether read yet or not.
    ns::Data getBuffer() const;

    // Inline: the protocol writes and reads a few bytes at a time.
    void write(const void* bytes, std::size_t length) {
        const auto* first = static_cast<const std::uint8_t*>(bytes);
        bytes_.insert(bytes_.end(), first, first + length);
    }
    // The next `length` bytes, valid until the next write. `operation` names the reader in the message of
    // the exception raised when fewer bytes are left.
    std::span<const std::uint8_t> read(std::size_t length, const char* operation) {
        if (length > bytesRemaining()) raiseEndOfData(length, operation);
        std::span<const std::uint8_t> out(bytes_.data() + readPosition_, length);
        readPosition_ += length;
        return out;
    }
    std::size_t bytesRemaining() const { return bytes_.size() - readPosition_; }

private:
    [[noreturn]] void raiseEndOfData(std::size_t length, const char* operation) const;

    std::vector<std::uint8_t> bytes_;
    std::size_t readPosition_ = 0;
};

}  // namespace ql
