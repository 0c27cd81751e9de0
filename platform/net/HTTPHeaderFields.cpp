#include "platform/net/HTTPHeaderFields.h"

#include <algorithm>

namespace ql::ns {

bool equalsIgnoringASCIICase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

HTTPHeaderFields HTTPHeaderFields::fromDictionary(const Dictionary& fields) {
    HTTPHeaderFields result;
    for (const auto& [name, value] : fields) {
        if (value.isString()) result.set(name, std::string(value.asString()));
    }
    return result;
}

std::vector<HTTPHeaderFields::Field>::const_iterator HTTPHeaderFields::find(std::string_view name) const {
    return std::find_if(fields_.begin(), fields_.end(),
                        [&](const Field& field) { return equalsIgnoringASCIICase(field.first, name); });
}

std::optional<std::string> HTTPHeaderFields::value(std::string_view name) const {
    auto it = find(name);
    if (it == fields_.end()) return std::nullopt;
    return it->second;
}

void HTTPHeaderFields::set(std::string_view name, std::optional<std::string> value) {
    auto it = fields_.begin() + (find(name) - fields_.cbegin());
    if (!value) {
        if (it != fields_.end()) fields_.erase(it);
    } else if (it != fields_.end()) {
        it->second = std::move(*value);
    } else {
        fields_.emplace_back(std::string(name), std::move(*value));
    }
}

void HTTPHeaderFields::add(std::string_view name, std::string_view value, std::string_view separator) {
    auto it = fields_.begin() + (find(name) - fields_.cbegin());
    if (it == fields_.end()) {
        fields_.emplace_back(std::string(name), std::string(value));
    } else {
        it->second.append(separator).append(value);
    }
}

Dictionary HTTPHeaderFields::dictionary() const {
    Dictionary result;
    result.reserve(fields_.size());
    for (const auto& [name, value] : fields_) result.appendUnsorted(name, Value(value));
    result.finishAppending();
    return result;
}

}  // namespace ql::ns
