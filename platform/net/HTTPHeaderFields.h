#pragma once
// HTTP header fields as requests and responses carry them: an ordered list of name and value, looked up
// without regard to the case of the name. A name keeps the spelling it was first set with. Copies share
// the list until one of them changes it: a request's fields travel through several copies on every load.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

class HTTPHeaderFields {
public:
    using Field = std::pair<std::string, std::string>;

    HTTPHeaderFields() = default;
    // Text values of the dictionary, in its (sorted) order; other values are skipped.
    static HTTPHeaderFields fromDictionary(const Dictionary& fields);
    // A list whose names are already distinct (ignoring case), taken as it is.
    static HTTPHeaderFields fromDistinctFields(std::vector<Field> fields);

    std::optional<std::string> value(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != fields().end(); }
    // Replaces the field's value (nothing removes it).
    void set(std::string_view name, std::optional<std::string> value);
    // Appends to an existing value after the separator, as the platform combines repeated fields.
    void add(std::string_view name, std::string_view value, std::string_view separator = ",");
    void remove(std::string_view name) { set(name, std::nullopt); }

    const std::vector<Field>& fields() const;
    bool empty() const { return fields().empty(); }
    Dictionary dictionary() const;

    bool operator==(const HTTPHeaderFields& other) const { return fields() == other.fields(); }

private:
    std::vector<Field>::const_iterator find(std::string_view name) const;
    // The list to change: this object's own, copied first while another shares it.
    std::vector<Field>& ownFields();
    std::shared_ptr<std::vector<Field>> fields_;  // null while there are none
};

}  // namespace ql::ns
