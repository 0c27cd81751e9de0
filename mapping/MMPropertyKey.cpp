#include "mapping/MMPropertyKey.h"

#include <limits>

namespace ql {

namespace {

// The platform's intValue of a text: spaces skipped, an optional sign, the digits that follow, saturated
// to the 32-bit range.
std::int32_t leadingInt32(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::int64_t magnitude = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (s[i] - '0');
        if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) break;
    }
    if (negative) return magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()}
                             ? std::numeric_limits<std::int32_t>::min()
                             : static_cast<std::int32_t>(-magnitude);
    return magnitude > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                                : static_cast<std::int32_t>(magnitude);
}

}  // namespace

MMPropertyKey::MMPropertyKey(Type type, std::string name)
    : type_(type), name_(std::move(name)), index_(type_ == Type::Array ? leadingInt32(name_) : 0) {}

const ns::Value* MMPropertyKey::find(const ns::Value& container) const {
    if (type_ == Type::Dictionary) {
        const ns::Dictionary* d = container.asDictionary();
        return d ? d->find(name_) : nullptr;
    }
    const ns::Array* a = container.asArray();
    if (!a || index_ < 0 || static_cast<std::size_t>(index_) >= a->size()) return nullptr;
    return &(*a)[static_cast<std::size_t>(index_)];
}

ns::Value MMPropertyKey::valueInObject(const ns::Value& container) const {
    const ns::Value* v = find(container);
    return v ? *v : ns::Value();
}

}  // namespace ql
