#include "net/NetQueryString.h"

#include <algorithm>
#include <array>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Text.h"

namespace ql {

namespace {

const ns::CharacterSet& queryComponentAllowedCharacters() {
    static const auto& allowed = *new ns::CharacterSet([] {
        ns::CharacterSet set = ns::CharacterSet::URLQueryAllowedCharacterSet();
        // The general delimiters and the sub-delimiters separate pairs and names in a query, so inside a
        // name or value they must be escaped.
        set.removeCharactersInString(":#[]@");
        set.removeCharactersInString("!$&'()*+,;=");
        return set;
    }());
    return allowed;
}

void flatten(const std::optional<std::string>& key, const ns::Value& value, std::vector<NetQueryStringPair>& pairs) {
    const std::string keyText = key.value_or("(null)");
    if (const ns::Dictionary* dictionary = value.asDictionary()) {
        // Dictionaries keep their keys in ascending order already.
        for (const auto& [nestedKey, nestedValue] : *dictionary) {
            if (nestedValue.isNil()) continue;
            flatten(key ? keyText + "[" + nestedKey + "]" : std::string(nestedKey), nestedValue, pairs);
        }
    } else if (const ns::Array* array = value.asArray()) {
        for (const ns::Value& element : *array) flatten(keyText + "[]", element, pairs);
    } else if (const ns::Set* set = value.asSet()) {
        std::vector<std::pair<std::string, const ns::Value*>> sorted;
        sorted.reserve(set->size());
        for (const ns::Value& element : *set) sorted.emplace_back(NetQueryTextForm(element), &element);
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& entry : sorted) flatten(key, *entry.second, pairs);
    } else {
        pairs.emplace_back(key ? ns::Value(*key) : ns::Value(), value);
    }
}

}  // namespace

std::string NetQueryTextForm(const ns::Value& value) {
    if (value.isNil()) return "(null)";
    if (value.isString()) return std::string(value.asString());
    return value.description();
}

namespace {

void appendEscaped(std::string& out, std::string_view text) {
    // Names and values are mostly plain ASCII, whose bytes a table made once from the set judges; the
    // set's own lookup costs far more per character.
    static const std::array<bool, 128> asciiAllowed = [] {
        std::array<bool, 128> table{};
        for (char32_t c = 0; c < 128; ++c) table[c] = queryComponentAllowedCharacters().longCharacterIsMember(c);
        return table;
    }();
    const auto isASCII = [](char c) { return static_cast<unsigned char>(c) < 128; };
    if (!std::all_of(text.begin(), text.end(), isASCII)) {
        out += ns::stringByAddingPercentEncodingWithAllowedCharacters(text, queryComponentAllowedCharacters());
        return;
    }
    static constexpr char hex[] = "0123456789ABCDEF";
    out.reserve(out.size() + text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (asciiAllowed[byte]) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
}

// A key or leaf's text form, escaped; a text is escaped where it lies.
void appendEscapedTextForm(std::string& out, const ns::Value& value) {
    if (value.isString()) appendEscaped(out, value.asString());
    else appendEscaped(out, NetQueryTextForm(value));
}

// "field=value" escaped onto the end of `out`: a whole query is written in one string.
void appendPair(std::string& out, const NetQueryStringPair& pair) {
    appendEscapedTextForm(out, pair.field());
    if (pair.value().isNil() || pair.value().isNull()) return;
    out += '=';
    appendEscapedTextForm(out, pair.value());
}

}  // namespace

std::string NetEscapedQueryComponent(std::string_view text) {
    std::string escaped;
    appendEscaped(escaped, text);
    return escaped;
}

std::string NetQueryStringPair::URLEncodedStringValue() const {
    std::string escaped;
    appendPair(escaped, *this);
    return escaped;
}

std::vector<NetQueryStringPair> NetFlattenedQueryPairs(const std::optional<std::string>& key, const ns::Value& value) {
    std::vector<NetQueryStringPair> pairs;
    // Room for a flat dictionary's pairs at once (nested ones grow the list as usual).
    if (const ns::Dictionary* dictionary = value.asDictionary()) pairs.reserve(dictionary->size());
    flatten(key, value, pairs);
    return pairs;
}

std::string NetQueryStringFromParameters(const ns::Value& parameters) {
    std::string query;
    bool first = true;
    for (const NetQueryStringPair& pair : NetFlattenedQueryPairs(std::nullopt, parameters)) {
        if (!first) query += '&';
        first = false;
        appendPair(query, pair);
    }
    return query;
}

}  // namespace ql
