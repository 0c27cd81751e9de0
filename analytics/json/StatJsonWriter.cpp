#include "analytics/json/StatJsonWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "analytics/json/StatJsonDecimal.h"
#include "platform/foundation/Class.h"

namespace ql {

namespace {

const StatJsonProxy* proxyOf(const ns::Value& value) {
    auto object = value.asObject();
    return dynamic_cast<const StatJsonProxy*>(object.get());
}

std::string classNameOf(const ns::Value& value) {
    const ns::Class* cls = value.valueClass();
    return cls ? std::string(cls->name()) : "(null)";
}

// The next code point of UTF-8 text, keyed so that keys compare in UTF-16 code-unit order, as the
// platform compares texts: characters above U+FFFF (surrogate pairs) sort before U+E000...U+FFFF.
char32_t nextSortKey(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (lead < 0xC0 || i + length > text.size()) length = 1;  // not UTF-8: compare the byte itself
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) cp = (cp << 6) | (byte(i + k) & 0x3F);
    i += length;
    return cp >= 0xE000 && cp <= 0xFFFF ? cp + 0x200000 : cp;
}

bool utf16Less(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t x = nextSortKey(a, i), y = nextSortKey(b, j);
        if (x != y) return x < y;
    }
    return i == a.size() && j < b.size();
}

bool needsEscaping(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; });
}

void writeString(std::string_view text, std::string& out) {
    out += '"';
    if (!needsEscaping(text)) {
        out += text;
    } else {
        for (char c : text) {
            switch (c) {
                case '"': out += "\\\""; break;
                case '\\': out += "\\\\"; break;
                case '\b': out += "\\b"; break;
                case '\t': out += "\\t"; break;
                case '\n': out += "\\n"; break;
                case '\f': out += "\\f"; break;
                case '\r': out += "\\r"; break;
                default:
                    if (static_cast<unsigned char>(c) < 0x20) {
                        char escaped[8];
                        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                        out += escaped;
                    } else {
                        out += c;
                    }
            }
        }
    }
    out += '"';
}

}  // namespace

std::optional<std::string> StatJsonWriter::stringWithObject(const ns::Value& value) {
    if (value.isDictionary() || value.isArray()) return stringWithFragment(value);
    if (const StatJsonProxy* proxy = proxyOf(value))
        if (auto text = stringWithObject(proxy->proxyForJson())) return text;
    clearErrorTrace();
    addErrorWithCode(StatJsonErrorCode::NotContainer, "Not valid type for JSON");
    return std::nullopt;
}

std::optional<std::string> StatJsonWriter::stringWithFragment(const ns::Value& value) {
    clearErrorTrace();
    resetDepth();
    std::string out;
    out.reserve(128);
    if (!writeValue(value, out)) return std::nullopt;
    return out;
}

bool StatJsonWriter::fail(StatJsonErrorCode code, std::string description) {
    addErrorWithCode(code, std::move(description));
    return false;
}

bool StatJsonWriter::writeValue(const ns::Value& value, std::string& out) {
    switch (value.kind()) {
        case ns::Value::Kind::Dictionary: return writeObject(*value.asDictionary(), out);
        case ns::Value::Kind::Array: return writeArray(*value.asArray(), out);
        case ns::Value::Kind::String: writeString(value.asString(), out); return true;
        case ns::Value::Kind::Bool: out += value.boolValue() ? "true" : "false"; return true;
        case ns::Value::Kind::Double:
            // Infinities and NaN have no JSON form; writing their text would give a document no reader takes.
            if (!std::isfinite(value.doubleValue()))
                return fail(StatJsonErrorCode::Unsupported,
                            "JSON serialisation not supported for " + classNameOf(value));
            [[fallthrough]];
        case ns::Value::Kind::Int:
        case ns::Value::Kind::UInt: out += value.stringValue(); return true;
        case ns::Value::Kind::Null: out += "null"; return true;
        case ns::Value::Kind::Object:
            if (auto decimal = value.asObject<StatJsonDecimal>()) {
                out += decimal->digits();
                return true;
            }
            if (const StatJsonProxy* proxy = proxyOf(value)) return writeValue(proxy->proxyForJson(), out);
            break;
        case ns::Value::Kind::Nil:
        case ns::Value::Kind::Data:
        case ns::Value::Kind::Date:
        case ns::Value::Kind::Set: break;
    }
    return fail(StatJsonErrorCode::Unsupported, "JSON serialisation not supported for " + classNameOf(value));
}

void StatJsonWriter::writeIndent(std::string& out) const {
    out += '\n';
    out.append(2 * depth(), ' ');
}

bool StatJsonWriter::writeArray(const ns::Array& elements, std::string& out) {
    if (!enterContainer()) return false;
    out += '[';
    bool first = true;
    for (const ns::Value& element : elements) {
        if (!first) out += ',';
        first = false;
        if (humanReadable_) writeIndent(out);
        if (!writeValue(element, out)) return false;
    }
    leaveContainer();
    if (humanReadable_ && !elements.empty()) writeIndent(out);
    out += ']';
    return true;
}

bool StatJsonWriter::writeObject(const ns::Dictionary& members, std::string& out) {
    if (!enterContainer()) return false;
    out += '{';
    std::vector<const ns::Dictionary::Entry*> order;
    order.reserve(members.size());
    for (const auto& entry : members) order.push_back(&entry);
    if (sortKeys_)
        std::sort(order.begin(), order.end(),
                  [](const auto* a, const auto* b) { return utf16Less(a->first, b->first); });
    const std::string_view separator = humanReadable_ ? " : " : ":";
    bool first = true;
    for (const auto* entry : order) {
        if (!first) out += ',';
        first = false;
        if (humanReadable_) writeIndent(out);
        writeString(entry->first, out);
        out += separator;
        if (!writeValue(entry->second, out))
            return fail(StatJsonErrorCode::Unsupported, "Unsupported value for key " + entry->first + " in object");
    }
    leaveContainer();
    if (humanReadable_ && !members.empty()) writeIndent(out);
    out += '}';
    return true;
}

}  // namespace ql
