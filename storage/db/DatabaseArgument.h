#pragma once
// DatabaseArgument: one value of a trailing argument list of a statement call, seen as what SQLite can
// store. Typed arguments keep their exact kind (a 64-bit integer stays 64 bits, bytes stay a blob); any
// other value (an object, say) goes as an ns::Value. Texts, bytes and values are referred to, not copied:
// an argument lives only as long as the call it is given to.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Value.h"

namespace ql {

class DatabaseArgument {
public:
    enum class Kind : std::uint8_t {
        Absent,   // nullptr or std::nullopt: no value at all, stored as NULL
        Int,      // bound as a 32-bit integer (bool, char, short, int, unsigned char and short)
        Int64,    // bound as a 64-bit integer (unsigned 64-bit values by their bits)
        Double,   // float or double
        Text,
        Blob,
        Date,
        Value,    // an ns::Value, bound by its own kind
    };

    DatabaseArgument(std::nullptr_t) {}
    DatabaseArgument(std::nullopt_t) {}
    template <std::integral T>
    DatabaseArgument(T i) {
        if constexpr (std::is_same_v<T, bool> || sizeof(T) < sizeof(std::int32_t) ||
                      (sizeof(T) == sizeof(std::int32_t) && std::is_signed_v<T>)) {
            kind_ = Kind::Int;
        } else {
            kind_ = Kind::Int64;
            unsigned_ = std::is_unsigned_v<T>;
        }
        integer_ = static_cast<std::int64_t>(i);
    }
    template <std::floating_point T>
    DatabaseArgument(T d) : kind_(Kind::Double), double_(static_cast<double>(d)) {}
    // A null pointer is absent.
    DatabaseArgument(const char* text) {
        if (text) *this = DatabaseArgument(std::string_view(text));
    }
    DatabaseArgument(std::string_view text) : kind_(Kind::Text), bytes_{text.data(), text.size()} {}
    // Owners of texts, bytes and values are taken only as themselves: one made by a conversion on the way
    // would be a temporary, gone before it is bound.
    template <class T>
        requires std::same_as<T, std::string>
    DatabaseArgument(const T& text) : DatabaseArgument(std::string_view(text)) {}
    template <class T>
        requires std::same_as<T, ns::Data>
    DatabaseArgument(const T& data)
        : kind_(Kind::Blob), bytes_{reinterpret_cast<const char*>(data.bytes()), data.length()} {}
    template <class T>
        requires std::same_as<T, ns::Value>
    DatabaseArgument(const T& value) : kind_(Kind::Value), value_(&value) {}
    DatabaseArgument(ns::Date date) : kind_(Kind::Date), double_(date.timeIntervalSince1970()) {}
    template <class T>
        requires std::constructible_from<DatabaseArgument, const T&>
    DatabaseArgument(const std::optional<T>& value) {
        if (value) *this = DatabaseArgument(*value);
    }

    Kind kind() const { return kind_; }
    std::int64_t integer() const { return integer_; }
    double doubleValue() const { return double_; }
    std::string_view text() const { return {bytes_.data, bytes_.length}; }
    const char* bytes() const { return bytes_.data; }
    std::size_t length() const { return bytes_.length; }
    const ns::Value& value() const { return *value_; }

    // Whether the argument stands for no value: nullptr, nullopt or a nil value (not the null object).
    bool isAbsent() const { return kind_ == Kind::Absent || (kind_ == Kind::Value && value().isNil()); }
    // The argument as a value of the platform, for argument arrays and log lines.
    ns::Value toValue() const;
    std::string description() const { return toValue().description(); }

private:
    struct Bytes {
        const char* data;
        std::size_t length;
    };

    Kind kind_ = Kind::Absent;
    bool unsigned_ = false;  // an Int64 that came from an unsigned type
    union {
        std::int64_t integer_ = 0;
        double double_;
        Bytes bytes_;
        const ns::Value* value_;
    };
};

// A trailing argument list, in order, one value per parameter.
using DatabaseArgumentList = std::span<const DatabaseArgument>;

template <class T>
concept DatabaseArgumentType = std::constructible_from<DatabaseArgument, const T&>;

}  // namespace ql
