#pragma once
// The order in which the JSON reader lays out a dictionary's members: by key (UTF-8 byte order), and of
// equal keys only the last one written. Replies repeat the same dictionary (a record, an author) over and
// over with its keys in the same written order, so the orders of recent key sequences are remembered and
// a repeat costs one comparison per key instead of a sort. Not part of the public interface.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace ql::ns::detail {

// A dictionary member as written. The key's bytes may be read up to eight bytes past its end (the parser
// pads its texts), and stay in place for the whole read.
struct WrittenMember {
    std::uint64_t prefix;  // the key's first eight bytes as a big-endian number (zero-padded): see prefixOf
    const char* key;
    std::uint32_t keyLength;
    std::uint32_t value;  // where the reader finds the member's value
    std::string_view keyText() const { return std::string_view(key, keyLength); }
};

// The first eight bytes of a key as a big-endian number, zero-padded: it orders most keys without comparing
// texts. Eight bytes are read however short the key.
inline std::uint64_t prefixOf(const char* key, std::size_t length) {
    std::uint64_t prefix;
    std::memcpy(&prefix, key, sizeof prefix);
    if constexpr (std::endian::native == std::endian::little) prefix = __builtin_bswap64(prefix);
    if (length >= 8) return prefix;
    return length == 0 ? 0 : prefix & ~(~std::uint64_t{0} >> (8 * length));
}

class MemberOrders {
public:
    MemberOrders();
    ~MemberOrders();
    MemberOrders(const MemberOrders&) = delete;
    MemberOrders& operator=(const MemberOrders&) = delete;

    // Forgets every order remembered: the keys they compare with may be gone.
    void forget() noexcept { ++generation_; }

    // Appends to `order` the positions in `members` of the members a dictionary keeps, in its order.
    // `order` is a stack shared by all levels of one read: ordering a dictionary's members is done before
    // building their values, which may order dictionaries of their own.
    void append(std::span<const WrittenMember> members, std::vector<std::uint32_t>& order);

private:
    // Key sequences up to this long are remembered, in a few slots chosen by their first and last keys.
    static constexpr std::size_t rememberedMembers = 32;
    static constexpr std::size_t slotBits = 5;
    struct Remembered {
        std::uint64_t generation = 0;  // of the read it was seen in; 0 for none
        std::uint32_t count = 0;
        std::uint32_t kept = 0;
        std::array<std::uint64_t, rememberedMembers> prefixes;
        std::array<std::uint64_t, rememberedMembers> suffixes;  // the last eight bytes of keys longer than 8
        std::array<const char*, rememberedMembers> keys;        // compared beyond 16 bytes
        std::array<std::uint32_t, rememberedMembers> lengths;
        std::array<std::uint8_t, rememberedMembers> order;
    };

    static std::size_t slotOf(std::span<const WrittenMember> members);
    bool matches(const Remembered& remembered, std::span<const WrittenMember> members) const;
    void remember(Remembered& remembered, std::span<const WrittenMember> members, std::span<const std::uint32_t> order);
    static void sort(std::span<const WrittenMember> members, std::vector<std::uint32_t>& order, std::size_t from);

    std::uint64_t generation_ = 1;
    std::unique_ptr<std::array<Remembered, std::size_t{1} << slotBits>> slots_;
};

}  // namespace ql::ns::detail
