#pragma once
// The fields of a form-encoded body (or a query string) as the stand-in service reads them: decoded
// name/value pairs in the order they came, and typed reads of the operations' fields.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ql::standin {

using FormFields = std::vector<std::pair<std::string, std::string>>;

// "a=1&b=x+y%21" → {a, 1}, {b, "x y!"}. A malformed escape stays as it was written.
FormFields decodeForm(std::string_view encoded);

class Form {
public:
    explicit Form(FormFields fields) : fields_(std::move(fields)) {}

    const FormFields& fields() const { return fields_; }
    // The first value of the field; nothing when the field was not sent.
    std::optional<std::string> text(std::string_view name) const;
    // A decimal field; 0 when absent or not a whole number.
    std::int64_t integer(std::string_view name) const;

private:
    FormFields fields_;
};

}  // namespace ql::standin
