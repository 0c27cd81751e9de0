#include "tools/quillory/ReplyLimit.h"

#include <algorithm>

namespace ql::quillory {

void ReplyLimit::note(const std::vector<Key>& awaited, double now) {
    std::erase_if(since_, [&](const auto& entry) { return std::ranges::find(awaited, entry.first) == awaited.end(); });
    for (const Key key : awaited) since_.try_emplace(key, now);
}

double ReplyLimit::left(double now) const {
    double earliest = now;
    for (const auto& [key, since] : since_) earliest = std::min(earliest, since);
    return earliest + limit_ - now;
}

}  // namespace ql::quillory
