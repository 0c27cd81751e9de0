// The URL-form encoder on parameter trees built from arbitrary bytes: the query it writes must hold only
// unreserved characters, "/", "?", separators and well-formed escapes, and must parse back, pair by pair and
// in order, into the flattened names and values.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/NetQueryString.h"
#include "platform/foundation/Text.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace ql;

namespace {

using fuzz::check;
using fuzz::Input;

// A UTF-8 text: the raw bytes when they are UTF-8, else each byte as a Latin-1 character.
std::string text(Input& input) {
    const std::string raw = input.bytes(23);
    if (ns::isValidUTF8(raw)) return raw;
    std::string latin;
    for (unsigned char c : raw) {
        if (c < 0x80) {
            latin += static_cast<char>(c);
        } else {
            latin += static_cast<char>(0xC0 | (c >> 6));
            latin += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return latin;
}

ns::Value value(Input& input, int depth) {
    const int kind = depth >= 4 ? input.byte() % 4 : input.byte() % 8;
    switch (kind) {
        case 0: return ns::Value(text(input));
        case 1: return ns::Value(static_cast<std::int64_t>(static_cast<std::int8_t>(input.byte())) * 1000);
        case 2: return ns::Value::null();
        case 3: return ns::Value(input.byte() % 2 == 0);
        case 4: {
            ns::Array array;
            for (int n = input.byte() % 4; n > 0 && !input.empty(); --n) array.push_back(value(input, depth + 1));
            return ns::Value(std::move(array));
        }
        case 5: {
            ns::Set set;
            for (int n = input.byte() % 4; n > 0 && !input.empty(); --n) set.insert(ns::Value(text(input)));
            return ns::Value(std::move(set));
        }
        default: {
            ns::Dictionary dictionary;
            for (int n = input.byte() % 5; n > 0 && !input.empty(); --n) dictionary.set(text(input), value(input, depth + 1));
            return ns::Value(std::move(dictionary));
        }
    }
}

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

bool isAllowed(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-._~/?").find(c) != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    Input input(bytes, size);
    const std::string loose = text(input);
    check(ns::stringByRemovingPercentEncoding(NetEscapedQueryComponent(loose)) == loose);

    ns::Dictionary top;
    while (!input.empty()) top.set(text(input), value(input, 0));
    const ns::Value parameters(std::move(top));
    const std::string query = NetQueryStringFromParameters(parameters);

    for (std::size_t i = 0; i < query.size(); ++i) {
        const char c = query[i];
        if (c == '%') {
            check(i + 2 < query.size() && isHexDigit(query[i + 1]) && isHexDigit(query[i + 2]));
            i += 2;
        } else {
            check(isAllowed(c) || c == '&' || c == '=');
        }
    }

    const std::vector<NetQueryStringPair> pairs = NetFlattenedQueryPairs(std::nullopt, parameters);
    if (pairs.empty()) {
        check(query.empty());
        return 0;
    }
    const std::vector<std::string> pieces = ns::componentsSeparatedByString(query, "&");
    check(pieces.size() == pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const std::size_t equals = pieces[i].find('=');
        const bool bare = pairs[i].value().isNull();
        check(bare == (equals == std::string::npos));
        check(ns::stringByRemovingPercentEncoding(pieces[i].substr(0, equals)) == NetQueryTextForm(pairs[i].field()));
        if (!bare)
            check(ns::stringByRemovingPercentEncoding(pieces[i].substr(equals + 1)) == NetQueryTextForm(pairs[i].value()));
        check(!pairs[i].value().isArray() && !pairs[i].value().isDictionary() && !pairs[i].value().isSet());
    }
    return 0;
}
