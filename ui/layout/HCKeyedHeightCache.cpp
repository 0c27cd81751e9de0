#include "ui/layout/HCKeyedHeightCache.h"

#include "ui/layout/HCIndexPathHeightCache.h"

namespace ql {

const std::map<std::string, double>& HCKeyedHeightCache::current() const {
    return hc_isPortrait() ? portrait_ : landscape_;
}

bool HCKeyedHeightCache::existsHeightForKey(const std::string& key) const {
    const auto& heights = current();
    const auto it = heights.find(key);
    return it != heights.end() && it->second != HCIndexPathHeightCache::kNoHeight;
}

void HCKeyedHeightCache::cacheHeight(double height, const std::string& key) {
    (hc_isPortrait() ? portrait_ : landscape_)[key] = height;
}

double HCKeyedHeightCache::heightForKey(const std::string& key) const {
    const auto& heights = current();
    const auto it = heights.find(key);
    return it == heights.end() ? 0 : it->second;
}

void HCKeyedHeightCache::invalidateHeightForKey(const std::string& key) {
    portrait_.erase(key);
    landscape_.erase(key);
}

void HCKeyedHeightCache::invalidateAllHeightCache() {
    portrait_.clear();
    landscape_.clear();
}

}  // namespace ql
