#pragma once
// Moving a group of array elements: the elements at the indexes, in index order, go to the destination,
// a position in the array as it was before the move.

#include <cstdint>
#include <iterator>
#include <set>
#include <vector>

namespace ql {

// Refused, leaving the array as it was, when an index lies past the end or the destination lies past the
// end of what remains once the elements are taken out.
template <class Array>
bool moveObjectsAtIndexes(Array& array, const std::set<std::uint64_t>& indexes, std::uint64_t destination) {
    if (!indexes.empty() && *indexes.rbegin() >= array.size()) return false;
    const auto below = static_cast<std::uint64_t>(std::distance(indexes.begin(), indexes.lower_bound(destination)));
    if (destination - below > array.size() - indexes.size()) return false;

    Array taken;
    Array kept;
    taken.reserve(indexes.size());
    kept.reserve(array.size());
    auto next = indexes.begin();
    for (std::uint64_t i = 0; i < array.size(); ++i) {
        if (next != indexes.end() && *next == i) {
            taken.push_back(std::move(array[i]));
            ++next;
        } else {
            kept.push_back(std::move(array[i]));
        }
    }
    const auto at = kept.begin() + static_cast<std::ptrdiff_t>(destination - below);
    kept.insert(at, std::make_move_iterator(taken.begin()), std::make_move_iterator(taken.end()));
    array = std::move(kept);
    return true;
}

}  // namespace ql
