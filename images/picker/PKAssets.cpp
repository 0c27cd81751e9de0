#include "images/picker/PKAssets.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace ql {

void PKAssets::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject(groupPropertyID_ ? ns::Value(*groupPropertyID_) : ns::Value(), kGroupPropertyIDKey);
    coder.encodeObject(groupPropertyURL_ ? groupPropertyURL_->boxed() : ns::Value(), kGroupPropertyURLKey);
    coder.encodeObject(assetPropertyURL_ ? assetPropertyURL_->boxed() : ns::Value(), kAssetPropertyURLKey);
}

bool PKAssets::initWithCoder(ns::KeyedUnarchiver& coder) {
    const ns::Value id = coder.decodeObjectForKey(kGroupPropertyIDKey);
    setGroupPropertyID(id.isString() ? std::optional<std::string>(id.asString()) : std::nullopt);
    setGroupPropertyURL(ns::URL::fromValue(coder.decodeObjectForKey(kGroupPropertyURLKey)));
    setAssetPropertyURL(ns::URL::fromValue(coder.decodeObjectForKey(kAssetPropertyURLKey)));
    return true;
}

}  // namespace ql
