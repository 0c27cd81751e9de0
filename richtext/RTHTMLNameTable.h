#pragma once
// A fixed table of short ASCII names (tag names) to numbers, made at compile time and searched by a hash of
// the name's first eight bytes and its length: the input repair looks up every tag of a document, where a
// search through a sorted list cost hundreds of instructions.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace ql {

template <std::size_t Bits, typename Value = std::uint8_t>
class RTHTMLNameTable {
public:
    struct Entry {
        std::string_view name;  // in small letters when the table is searched with case folded
        Value value = 0;        // not 0
    };

    constexpr explicit RTHTMLNameTable(std::span<const Entry> entries) {
        for (const Entry& entry : entries) {
            std::size_t at = slot(pack(entry.name, false), entry.name.size());
            while (slots_[at].entry.value != 0) at = (at + 1) % slots_.size();
            slots_[at] = {pack(entry.name, false), entry};
        }
    }

    // The name's number, 0 when it is not in the table. With `foldCase`, capitals read as small letters.
    constexpr Value find(std::string_view name, bool foldCase) const {
        if (name.empty() || name.size() > MaximumLength) return 0;
        const std::uint64_t packed = pack(name, foldCase);
        for (std::size_t at = slot(packed, name.size());; at = (at + 1) % slots_.size()) {
            const Slot& candidate = slots_[at];
            if (candidate.entry.value == 0) return 0;
            if (candidate.packed == packed && candidate.entry.name.size() == name.size() && restEquals(candidate.entry.name, name, foldCase))
                return candidate.entry.value;
        }
    }

    static constexpr std::size_t MaximumLength = 16;

private:
    struct Slot {
        std::uint64_t packed = 0;
        Entry entry;
    };

    static constexpr char fold(char c, bool foldCase) { return foldCase && c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

    static constexpr std::uint64_t pack(std::string_view name, bool foldCase) {
        std::uint64_t packed = 0;
        for (std::size_t at = 0; at < name.size() && at < 8; ++at)
            packed |= std::uint64_t(static_cast<unsigned char>(fold(name[at], foldCase))) << (8 * at);
        return packed;
    }

    static constexpr bool restEquals(std::string_view entry, std::string_view name, bool foldCase) {
        for (std::size_t at = 8; at < name.size(); ++at) {
            if (fold(name[at], foldCase) != entry[at]) return false;
        }
        return true;
    }

    static constexpr std::size_t slot(std::uint64_t packed, std::size_t length) {
        return static_cast<std::size_t>(((packed ^ length) * 0x9E3779B97F4A7C15ull) >> (64 - Bits));
    }

    std::array<Slot, std::size_t{1} << Bits> slots_{};
};

}  // namespace ql
