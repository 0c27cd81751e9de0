#include "platform/foundation/JSONMemberOrder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace ql::ns::detail {

namespace {

std::uint64_t load8(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

bool sameKey(const WrittenMember& a, const WrittenMember& b) {
    return a.prefix == b.prefix && a.keyText() == b.keyText();
}

}  // namespace

MemberOrders::MemberOrders() = default;
MemberOrders::~MemberOrders() = default;

void MemberOrders::append(std::span<const WrittenMember> members, std::vector<std::uint32_t>& order) {
    if (members.empty()) return;
    const std::size_t from = order.size();
    if (members.size() > rememberedMembers) return sort(members, order, from);
    if (!slots_) slots_ = std::make_unique<std::array<Remembered, std::size_t{1} << slotBits>>();
    Remembered& remembered = (*slots_)[slotOf(members)];
    if (matches(remembered, members)) {
        order.insert(order.end(), remembered.order.begin(), remembered.order.begin() + remembered.kept);
        return;
    }
    sort(members, order, from);
    remember(remembered, members, std::span(order).subspan(from));
}

std::size_t MemberOrders::slotOf(std::span<const WrittenMember> members) {
    const std::uint64_t mix = members.front().prefix ^ std::rotl(members.back().prefix, 29) ^ members.size();
    return static_cast<std::size_t>((mix * 0x9E3779B97F4A7C15u) >> (64 - slotBits));
}

// Keys are equal when their lengths and bytes are: the prefix holds the first eight, the suffix the last
// eight, and only keys longer than sixteen bytes need comparing in between.
bool MemberOrders::matches(const Remembered& remembered, std::span<const WrittenMember> members) const {
    if (remembered.generation != generation_ || remembered.count != members.size()) return false;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const WrittenMember& member = members[i];
        const std::uint32_t length = member.keyLength;
        if (member.prefix != remembered.prefixes[i] || length != remembered.lengths[i]) return false;
        if (length <= 8) continue;
        if (load8(member.key + length - 8) != remembered.suffixes[i]) return false;
        if (length > 16 && std::memcmp(member.key + 8, remembered.keys[i] + 8, length - 16) != 0) return false;
    }
    return true;
}

void MemberOrders::remember(Remembered& remembered, std::span<const WrittenMember> members,
                            std::span<const std::uint32_t> order) {
    remembered.generation = generation_;
    remembered.count = static_cast<std::uint32_t>(members.size());
    remembered.kept = static_cast<std::uint32_t>(order.size());
    for (std::size_t i = 0; i < members.size(); ++i) {
        const WrittenMember& member = members[i];
        remembered.prefixes[i] = member.prefix;
        remembered.lengths[i] = member.keyLength;
        remembered.keys[i] = member.key;
        remembered.suffixes[i] = member.keyLength > 8 ? load8(member.key + member.keyLength - 8) : 0;
    }
    std::copy(order.begin(), order.end(), remembered.order.begin());
}

// Sorted stably, so that of equal keys the last one written comes last and is the one kept, as with the
// platform's reader.
void MemberOrders::sort(std::span<const WrittenMember> members, std::vector<std::uint32_t>& order, std::size_t from) {
    for (std::uint32_t i = 0; i < members.size(); ++i) order.push_back(i);
    const auto less = [members](std::uint32_t a, std::uint32_t b) {
        const WrittenMember& x = members[a];
        const WrittenMember& y = members[b];
        return x.prefix != y.prefix ? x.prefix < y.prefix : x.keyText() < y.keyText();
    };
    const auto first = order.begin() + static_cast<std::ptrdiff_t>(from);
    if (members.size() > 16) {
        std::stable_sort(first, order.end(), less);
    } else {
        for (auto it = first + 1; it < order.end(); ++it) {
            const std::uint32_t moving = *it;
            auto hole = it;
            for (; hole != first && less(moving, *(hole - 1)); --hole) *hole = *(hole - 1);
            *hole = moving;
        }
    }
    auto kept = first;
    for (auto it = first; it != order.end(); ++it)
        if (it + 1 == order.end() || !sameKey(members[*it], members[*(it + 1)])) *kept++ = *it;
    order.erase(kept, order.end());
}

}  // namespace ql::ns::detail
