#pragma once
// Request parameters as URL-form text: a parameter tree (a dictionary at the top, nested dictionaries,
// arrays and sets below) flattened into ordered (field, value) pairs such as a[x][]=3, and each pair
// percent-escaped for a query or an application/x-www-form-urlencoded body.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"

namespace ql {

// One flattened parameter: its bracketed name and its leaf value.
class NetQueryStringPair {
public:
    NetQueryStringPair(ns::Value field, ns::Value value) : field_(std::move(field)), value_(std::move(value)) {}

    const ns::Value& field() const { return field_; }
    void setField(ns::Value field) { field_ = std::move(field); }
    const ns::Value& value() const { return value_; }
    void setValue(ns::Value value) { value_ = std::move(value); }

    // "field=value", both escaped; the field alone (no "=") when the value is absent or the null object.
    std::string URLEncodedStringValue() const;

private:
    ns::Value field_;
    ns::Value value_;
};

// The text a key or leaf stands for in a form: a text is itself, a number its decimal text (booleans give
// "1" and "0"), anything else its description; "(null)" for no value at all.
std::string NetQueryTextForm(const ns::Value& value);

// Percent-escapes a query name or value: everything except ASCII letters and digits and "-._~/?" becomes
// the "%XX" escapes of its UTF-8 bytes, so a space gives %20 and "+", "&" and "=" are escaped too.
std::string NetEscapedQueryComponent(std::string_view text);

// The pairs for `value` placed under `key` (absent for the top-level dictionary): dictionary entries in
// ascending key order as key[nested], array elements in order as key[], set elements sorted by their text
// under the key itself. Empty containers contribute nothing.
std::vector<NetQueryStringPair> NetFlattenedQueryPairs(const std::optional<std::string>& key, const ns::Value& value);

// The pairs of a parameter dictionary, escaped and joined with "&".
std::string NetQueryStringFromParameters(const ns::Value& parameters);

}  // namespace ql
