#pragma once
// HCIndexPathHeightCache: row heights remembered by index path, separately for portrait and landscape,
// kept in step with the table's insertions, deletions, moves and reloads once a first height is cached.
// Each store holds one list per section and one entry per row; -1 marks a row without a height.

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "platform/foundation/IndexPath.h"
#include "platform/foundation/Object.h"

namespace ql {

class HCIndexPathHeightCache : public ns::Object {
    QL_OBJECT(HCIndexPathHeightCache, ns::Object)
public:
    using Store = std::vector<std::vector<double>>;
    static constexpr double kNoHeight = -1;

    // Off until the first height is cached; from then on the table's mutators keep the cache in step.
    bool automaticallyInvalidateEnabled() const { return automaticallyInvalidateEnabled_; }
    void setAutomaticallyInvalidateEnabled(bool enabled) { automaticallyInvalidateEnabled_ = enabled; }

    // In the device's current orientation. Queries and stores first grow the stores to reach the path;
    // a path with a negative section or row holds nothing.
    bool existsHeightAtIndexPath(const ns::IndexPath& path);
    void cacheHeight(double height, const ns::IndexPath& path);
    double heightForIndexPath(const ns::IndexPath& path);
    // In both orientations.
    void invalidateHeightAtIndexPath(const ns::IndexPath& path);
    void invalidateAllHeightCache();
    void enumerateAllOrientationsUsingBlock(const std::function<void(Store&)>& block);

    void buildCachesAtIndexPathsIfNeeded(const std::vector<ns::IndexPath>& paths);
    void buildSectionsIfNeeded(std::int64_t section);
    void buildRowsIfNeeded(std::int64_t row, std::int64_t section);

    // ---- What the table's mutators do to both stores (no-ops while automatic invalidation is off) ----
    void insertSections(const std::set<std::int64_t>& sections);
    void deleteSections(const std::set<std::int64_t>& sections);
    void reloadSections(const std::set<std::int64_t>& sections);
    void moveSection(std::int64_t section, std::int64_t newSection);
    void insertRows(const std::vector<ns::IndexPath>& paths);
    void deleteRows(const std::vector<ns::IndexPath>& paths);
    void reloadRows(const std::vector<ns::IndexPath>& paths);
    void moveRow(const ns::IndexPath& path, const ns::IndexPath& newPath);

    const Store& heightsBySectionForPortrait() const { return portrait_; }
    const Store& heightsBySectionForLandscape() const { return landscape_; }

private:
    Store& current();

    bool automaticallyInvalidateEnabled_ = false;
    Store portrait_;
    Store landscape_;
};

// Whether the device's orientation selects the portrait stores (portrait and upside down).
bool hc_isPortrait();

}  // namespace ql
