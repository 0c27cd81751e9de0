#include "analytics/json/StatJsonBase.h"

#include <string>
#include <utility>

namespace ql {

void StatJsonBase::addErrorWithCode(StatJsonErrorCode code, std::string description) {
    ns::Dictionary userInfo{{std::string(ns::LocalizedDescriptionKey), ns::Value(std::move(description))}};
    if (!errorTrace_.empty()) userInfo.set(std::string(ns::UnderlyingErrorKey), errorTrace_.back().boxed());
    willChangeValueForKey("errorTrace");
    errorTrace_.emplace_back(std::string(StatJsonErrorDomain), static_cast<std::int64_t>(code), std::move(userInfo));
    didChangeValueForKey("errorTrace");
}

void StatJsonBase::clearErrorTrace() {
    if (errorTrace_.empty()) return;
    willChangeValueForKey("errorTrace");
    errorTrace_.clear();
    didChangeValueForKey("errorTrace");
}

ns::Value StatJsonBase::valueForKey(std::string_view key) const {
    if (key != "errorTrace") return ns::Object::valueForKey(key);
    if (errorTrace_.empty()) return {};
    ns::Array errors;
    errors.reserve(errorTrace_.size());
    for (const auto& error : errorTrace_) errors.push_back(error.boxed());
    return ns::Value(std::move(errors));
}

bool StatJsonBase::enterContainer() {
    ++depth_;
    if (maxDepth_ != 0 && depth_ > maxDepth_) {
        addErrorWithCode(StatJsonErrorCode::TooDeep, "Nested too deep");
        return false;
    }
    if (depth_ > DepthCeiling) {
        addErrorWithCode(StatJsonErrorCode::TooDeep, "Nested too deep for the codec's stack guard of " +
                                                         std::to_string(DepthCeiling) + " levels");
        return false;
    }
    return true;
}

}  // namespace ql
