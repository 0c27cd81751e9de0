#include "platform/net/HTTPHeaderFields.h"

#include <algorithm>
#include <iterator>

namespace ql::ns {

HTTPHeaderFields HTTPHeaderFields::fromDictionary(const Dictionary& fields) {
    HTTPHeaderFields result;
    for (const auto& [name, value] : fields) {
        if (value.isString()) result.set(name, std::string(value.asString()));
    }
    return result;
}

HTTPHeaderFields HTTPHeaderFields::fromDistinctFields(std::vector<Field> fields) {
    HTTPHeaderFields result;
    if (!fields.empty()) result.fields_ = std::make_shared<std::vector<Field>>(std::move(fields));
    return result;
}

const std::vector<HTTPHeaderFields::Field>& HTTPHeaderFields::fields() const {
    static const auto& none = *new std::vector<Field>;
    return fields_ ? *fields_ : none;
}

std::vector<HTTPHeaderFields::Field>& HTTPHeaderFields::ownFields() {
    if (!fields_) {
        // Room for a usual request's or reply's fields at once rather than growing field by field.
        fields_ = std::make_shared<std::vector<Field>>();
        fields_->reserve(8);
    } else if (fields_.use_count() > 1) {
        fields_ = std::make_shared<std::vector<Field>>(*fields_);
    }
    return *fields_;
}

std::vector<HTTPHeaderFields::Field>::const_iterator HTTPHeaderFields::find(std::string_view name) const {
    const auto& all = fields();
    return std::find_if(all.begin(), all.end(),
                        [&](const Field& field) { return equalsIgnoringASCIICase(field.first, name); });
}

std::optional<std::string> HTTPHeaderFields::value(std::string_view name) const {
    auto it = find(name);
    if (it == fields().end()) return std::nullopt;
    return it->second;
}

void HTTPHeaderFields::set(std::string_view name, std::optional<std::string> value) {
    const auto at = find(name) - fields().begin();
    if (!value) {
        if (at == std::ssize(fields())) return;
        auto& own = ownFields();
        own.erase(own.begin() + at);
        return;
    }
    auto& own = ownFields();
    if (at != std::ssize(own)) own[static_cast<std::size_t>(at)].second = std::move(*value);
    else own.emplace_back(std::string(name), std::move(*value));
}

void HTTPHeaderFields::add(std::string_view name, std::string_view value, std::string_view separator) {
    const auto at = find(name) - fields().begin();
    auto& own = ownFields();
    if (at == std::ssize(own)) own.emplace_back(std::string(name), std::string(value));
    else own[static_cast<std::size_t>(at)].second.append(separator).append(value);
}

Dictionary HTTPHeaderFields::dictionary() const {
    Dictionary result;
    result.reserve(fields().size());
    for (const auto& [name, value] : fields()) result.appendUnsorted(name, Value(value));
    result.finishAppending();
    return result;
}

}  // namespace ql::ns
