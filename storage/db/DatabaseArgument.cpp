#include "storage/db/DatabaseArgument.h"

namespace ql {

ns::Value DatabaseArgument::toValue() const {
    switch (kind_) {
    case Kind::Absent: return {};
    case Kind::Int: return ns::Value(integer_);
    case Kind::Int64:
        if (unsigned_) return ns::Value(static_cast<std::uint64_t>(integer_));
        return ns::Value(integer_);
    case Kind::Double: return ns::Value(double_);
    case Kind::Text: return ns::Value(text());
    case Kind::Blob: return ns::Value(ns::Data(bytes_.data, bytes_.length));
    case Kind::Date: return ns::Value(ns::Date::fromTimeIntervalSince1970(double_));
    case Kind::Value: return value();
    }
    return {};
}

}  // namespace ql
