#pragma once
// HCKeyedHeightCache: row heights remembered under a caller's key, separately for portrait and
// landscape. Table changes never touch it: its user invalidates keys.

#include <map>
#include <string>

#include "platform/foundation/Object.h"

namespace ql {

class HCKeyedHeightCache : public ns::Object {
    QL_OBJECT(HCKeyedHeightCache, ns::Object)
public:
    // In the device's current orientation.
    bool existsHeightForKey(const std::string& key) const;
    void cacheHeight(double height, const std::string& key);
    // 0 when none.
    double heightForKey(const std::string& key) const;
    // In both orientations.
    void invalidateHeightForKey(const std::string& key);
    void invalidateAllHeightCache();

private:
    const std::map<std::string, double>& current() const;

    std::map<std::string, double> portrait_;
    std::map<std::string, double> landscape_;
};

}  // namespace ql
