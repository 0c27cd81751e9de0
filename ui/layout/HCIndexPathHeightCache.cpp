#include "ui/layout/HCIndexPathHeightCache.h"

#include <algorithm>
#include <map>

#include "platform/ui/Device.h"

namespace ql {

namespace {

bool valid(const ns::IndexPath& path) { return path.section() >= 0 && path.row() >= 0; }

std::size_t at(std::int64_t index) { return static_cast<std::size_t>(index); }

}  // namespace

bool hc_isPortrait() {
    const auto orientation = ui::Device::currentDevice().orientation();
    return orientation == ui::DeviceOrientation::Portrait || orientation == ui::DeviceOrientation::PortraitUpsideDown;
}

HCIndexPathHeightCache::Store& HCIndexPathHeightCache::current() { return hc_isPortrait() ? portrait_ : landscape_; }

bool HCIndexPathHeightCache::existsHeightAtIndexPath(const ns::IndexPath& path) {
    return heightForIndexPath(path) != kNoHeight;
}

void HCIndexPathHeightCache::cacheHeight(double height, const ns::IndexPath& path) {
    automaticallyInvalidateEnabled_ = true;
    if (!valid(path)) return;
    buildCachesAtIndexPathsIfNeeded({path});
    current()[at(path.section())][at(path.row())] = height;
}

double HCIndexPathHeightCache::heightForIndexPath(const ns::IndexPath& path) {
    if (!valid(path)) return kNoHeight;
    buildCachesAtIndexPathsIfNeeded({path});
    return current()[at(path.section())][at(path.row())];
}

void HCIndexPathHeightCache::invalidateHeightAtIndexPath(const ns::IndexPath& path) {
    if (!valid(path)) return;
    buildCachesAtIndexPathsIfNeeded({path});
    enumerateAllOrientationsUsingBlock([&](Store& store) { store[at(path.section())][at(path.row())] = kNoHeight; });
}

void HCIndexPathHeightCache::invalidateAllHeightCache() {
    enumerateAllOrientationsUsingBlock([](Store& store) { store.clear(); });
}

void HCIndexPathHeightCache::enumerateAllOrientationsUsingBlock(const std::function<void(Store&)>& block) {
    block(portrait_);
    block(landscape_);
}

void HCIndexPathHeightCache::buildCachesAtIndexPathsIfNeeded(const std::vector<ns::IndexPath>& paths) {
    for (const auto& path : paths) {
        if (!valid(path)) continue;
        buildSectionsIfNeeded(path.section());
        buildRowsIfNeeded(path.row(), path.section());
    }
}

void HCIndexPathHeightCache::buildSectionsIfNeeded(std::int64_t section) {
    if (section < 0) return;
    enumerateAllOrientationsUsingBlock([&](Store& store) {
        if (store.size() <= at(section)) store.resize(at(section) + 1);
    });
}

void HCIndexPathHeightCache::buildRowsIfNeeded(std::int64_t row, std::int64_t section) {
    if (row < 0 || section < 0) return;
    enumerateAllOrientationsUsingBlock([&](Store& store) {
        auto& rows = store[at(section)];
        if (rows.size() <= at(row)) rows.resize(at(row) + 1, kNoHeight);
    });
}

void HCIndexPathHeightCache::insertSections(const std::set<std::int64_t>& sections) {
    if (!automaticallyInvalidateEnabled_) return;
    for (std::int64_t section : sections) {  // ascending
        if (section < 0) continue;
        // Past the stores' end nothing is cached that would have to move; lookups grow them when asked.
        // A braced `{}` as the value would pick the overload taking a list of sections and insert nothing.
        enumerateAllOrientationsUsingBlock([&](Store& store) {
            if (at(section) < store.size()) {
                store.insert(store.begin() + static_cast<std::ptrdiff_t>(section), Store::value_type{});
            }
        });
    }
}

void HCIndexPathHeightCache::deleteSections(const std::set<std::int64_t>& sections) {
    if (!automaticallyInvalidateEnabled_) return;
    for (std::int64_t section : sections) buildSectionsIfNeeded(section);
    // Indexes count before the deletion: remove from the last one down.
    for (auto it = sections.rbegin(); it != sections.rend(); ++it) {
        if (*it < 0) continue;
        enumerateAllOrientationsUsingBlock(
            [&](Store& store) { store.erase(store.begin() + static_cast<std::ptrdiff_t>(*it)); });
    }
}

void HCIndexPathHeightCache::reloadSections(const std::set<std::int64_t>& sections) {
    if (!automaticallyInvalidateEnabled_) return;
    for (std::int64_t section : sections) {
        if (section < 0) continue;
        buildSectionsIfNeeded(section);
        enumerateAllOrientationsUsingBlock([&](Store& store) { store[at(section)].clear(); });
    }
}

void HCIndexPathHeightCache::moveSection(std::int64_t section, std::int64_t newSection) {
    if (!automaticallyInvalidateEnabled_ || section < 0 || newSection < 0) return;
    buildSectionsIfNeeded(section);
    buildSectionsIfNeeded(newSection);
    // The section leaves its place and the others close up, as the table moves it.
    enumerateAllOrientationsUsingBlock([&](Store& store) {
        auto moved = std::move(store[at(section)]);
        store.erase(store.begin() + static_cast<std::ptrdiff_t>(section));
        store.insert(store.begin() + static_cast<std::ptrdiff_t>(newSection), std::move(moved));
    });
}

void HCIndexPathHeightCache::insertRows(const std::vector<ns::IndexPath>& paths) {
    if (!automaticallyInvalidateEnabled_) return;
    buildCachesAtIndexPathsIfNeeded(paths);
    // Indexes count after the insertion: put them in from the first one up, whatever order they came in.
    std::vector<ns::IndexPath> ascending = paths;
    std::sort(ascending.begin(), ascending.end());
    for (const auto& path : ascending) {
        if (!valid(path)) continue;
        enumerateAllOrientationsUsingBlock([&](Store& store) {
            auto& rows = store[at(path.section())];
            rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(path.row()), kNoHeight);
        });
    }
}

void HCIndexPathHeightCache::deleteRows(const std::vector<ns::IndexPath>& paths) {
    if (!automaticallyInvalidateEnabled_) return;
    buildCachesAtIndexPathsIfNeeded(paths);
    std::map<std::int64_t, std::set<std::int64_t>> rowsBySection;
    for (const auto& path : paths) {
        if (valid(path)) rowsBySection[path.section()].insert(path.row());
    }
    for (const auto& entry : rowsBySection) {
        const std::int64_t section = entry.first;
        const std::set<std::int64_t>& rows = entry.second;
        enumerateAllOrientationsUsingBlock([&](Store& store) {
            auto& list = store[at(section)];
            for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(*it));
            }
        });
    }
}

void HCIndexPathHeightCache::reloadRows(const std::vector<ns::IndexPath>& paths) {
    if (!automaticallyInvalidateEnabled_) return;
    for (const auto& path : paths) invalidateHeightAtIndexPath(path);
}

void HCIndexPathHeightCache::moveRow(const ns::IndexPath& path, const ns::IndexPath& newPath) {
    if (!automaticallyInvalidateEnabled_ || !valid(path) || !valid(newPath)) return;
    buildCachesAtIndexPathsIfNeeded({path, newPath});
    // The row leaves its place and goes to the new one, the rows between closing up, as the table moves it.
    enumerateAllOrientationsUsingBlock([&](Store& store) {
        auto& from = store[at(path.section())];
        const double height = from[at(path.row())];
        from.erase(from.begin() + static_cast<std::ptrdiff_t>(path.row()));
        auto& to = store[at(newPath.section())];
        const std::size_t place = std::min(at(newPath.row()), to.size());
        to.insert(to.begin() + static_cast<std::ptrdiff_t>(place), height);
    });
}

}  // namespace ql
