#pragma once
// HTTP header fields as requests and responses carry them: an ordered list of name and value, looked up
// without regard to the case of the name. A name keeps the spelling it was first set with.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"

namespace ql::ns {

class HTTPHeaderFields {
public:
    using Field = std::pair<std::string, std::string>;

    HTTPHeaderFields() = default;
    // Text values of the dictionary, in its (sorted) order; other values are skipped.
    static HTTPHeaderFields fromDictionary(const Dictionary& fields);

    std::optional<std::string> value(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != fields_.end(); }
    // Replaces the field's value (nothing removes it).
    void set(std::string_view name, std::optional<std::string> value);
    // Appends to an existing value after the separator, as the platform combines repeated fields.
    void add(std::string_view name, std::string_view value, std::string_view separator = ",");
    void remove(std::string_view name) { set(name, std::nullopt); }

    const std::vector<Field>& fields() const { return fields_; }
    bool empty() const { return fields_.empty(); }
    // Room for this many fields, so that a reply's head is read in without regrowing the list.
    void reserve(std::size_t count) { fields_.reserve(count); }
    Dictionary dictionary() const;

    bool operator==(const HTTPHeaderFields& other) const = default;

private:
    std::vector<Field>::const_iterator find(std::string_view name) const;
    std::vector<Field> fields_;
};

// ASCII case-insensitive comparison, as HTTP compares field names and tokens.
bool equalsIgnoringASCIICase(std::string_view a, std::string_view b);

}  // namespace ql::ns
