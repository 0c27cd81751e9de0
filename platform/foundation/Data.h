#pragma once
// Byte buffers with cheap copies: copies share storage until one of them is mutated.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ql::ns {

class Data {
public:
    Data() = default;
    Data(const void* bytes, std::size_t length);
    explicit Data(std::vector<std::uint8_t> bytes);
    explicit Data(std::string_view bytes);
    // Shares storage its maker owns, with a deleter of its own (one that keeps the memory for reuse, say).
    explicit Data(std::shared_ptr<std::vector<std::uint8_t>> storage);
    // Shares `length` bytes at `bytes`, which the pointer's deleter lets go of once the last copy has gone
    // (memory mapped for the purpose, say). They are never written: mutation copies them first.
    Data(std::shared_ptr<const std::uint8_t> bytes, std::size_t length);

    const std::uint8_t* bytes() const;
    std::size_t length() const;
    bool empty() const { return length() == 0; }
    std::span<const std::uint8_t> span() const { return {bytes(), length()}; }
    std::string_view view() const { return {reinterpret_cast<const char*>(bytes()), length()}; }
    std::string toString() const { return std::string(view()); }

    // Mutation detaches from any other copy first.
    std::uint8_t* mutableBytes();
    void append(const void* bytes, std::size_t length);
    void append(const Data& other) { append(other.bytes(), other.length()); }
    void append(std::string_view bytes) { append(bytes.data(), bytes.size()); }
    void setLength(std::size_t length);
    void replaceBytes(std::size_t location, std::size_t length, const void* bytes, std::size_t newLength);

    Data subdata(std::size_t location, std::size_t length) const;

    bool operator==(const Data& other) const;
    int compare(const Data& other) const;

    // "<68656c6c 6f>": hex in groups of four bytes, as the platform prints data.
    std::string description() const;

private:
    std::vector<std::uint8_t>& detach();
    std::shared_ptr<std::vector<std::uint8_t>> bytes_;
    // Shared bytes of a maker's, instead of bytes_ (see the constructor).
    std::shared_ptr<const std::uint8_t> shared_;
    std::size_t sharedLength_ = 0;
};

}  // namespace ql::ns
