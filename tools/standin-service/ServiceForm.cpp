#include "tools/standin-service/ServiceForm.h"

#include <charconv>

namespace ql::standin {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string decodeComponent(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

FormFields decodeForm(std::string_view encoded) {
    FormFields fields;
    while (!encoded.empty()) {
        const std::size_t end = encoded.find('&');
        const std::string_view pair = encoded.substr(0, end);
        encoded = end == std::string_view::npos ? std::string_view() : encoded.substr(end + 1);
        if (pair.empty()) continue;
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) {
            fields.emplace_back(decodeComponent(pair), std::string());
        } else {
            fields.emplace_back(decodeComponent(pair.substr(0, equals)), decodeComponent(pair.substr(equals + 1)));
        }
    }
    return fields;
}

std::optional<std::string> Form::text(std::string_view name) const {
    for (const auto& [field, value] : fields_) {
        if (field == name) return value;
    }
    return std::nullopt;
}

std::int64_t Form::integer(std::string_view name) const {
    const auto value = text(name);
    if (!value) return 0;
    std::int64_t number = 0;
    const char* end = value->data() + value->size();
    const auto [stop, error] = std::from_chars(value->data(), end, number);
    return error == std::errc() && stop == end ? number : 0;
}

}  // namespace ql::standin
