#include "richtext/RTHTMLRawText.h"

#include "platform/foundation/Text.h"

namespace ql {

namespace {

constexpr std::string_view Script = "script";

// What ends a tag's name: white space (a carriage return reads as a line feed), "/" or ">".
bool endsName(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == '/' || c == '>'; }

// `name` in any case at `at`, followed by what ends a name.
bool nameAt(std::string_view source, std::size_t at, std::string_view name) {
    const std::size_t after = at + name.size();
    return after < source.size() && endsName(source[after]) && ns::equalsIgnoringASCIICase(source.substr(at, name.size()), name);
}

bool endTagAt(std::string_view source, std::size_t at, std::string_view name) {
    return source.substr(at, 2) == "</" && nameAt(source, at + 2, name);
}

}  // namespace

bool RTHTMLStartsEndTagPrefix(std::string_view source, std::size_t at, std::string_view name) {
    return source.substr(at, 2) == "</" && ns::equalsIgnoringASCIICase(source.substr(at + 2, name.size()), name);
}

std::size_t RTHTMLCommentEnd(std::string_view source, std::size_t at) {
    const std::size_t body = at + 4;
    if (source.substr(body, 1) == ">") return body + 1;
    if (source.substr(body, 2) == "->") return body + 2;
    for (std::size_t dashes = body; (dashes = source.find("--", dashes)) != std::string_view::npos; ++dashes) {
        if (source.substr(dashes + 2, 1) == ">") return dashes + 3;
        if (source.substr(dashes + 2, 2) == "!>") return dashes + 4;
    }
    return source.size();
}

std::size_t RTHTMLRawTextEnd(std::string_view source, std::size_t from, std::string_view name) {
    for (std::size_t at = from; (at = source.find("</", at)) != std::string_view::npos; at += 2) {
        if (endTagAt(source, at, name)) return at;
    }
    return source.size();
}

std::size_t RTHTMLScriptEnd(std::string_view source, std::size_t from) {
    // Outside "<!--" (script data), after it (escaped), and after a "<script" there (double escaped).
    enum { Data, Escaped, DoubleEscaped } state = Data;
    int dashes = 0;  // read last, in the escaped states: two or more before a ">" go back to script data
    for (std::size_t at = from; at < source.size();) {
        if (state == Data) {
            at = source.find('<', at);
            if (at == std::string_view::npos) break;
            if (endTagAt(source, at, Script)) return at;
            if (source.substr(at, 4) == "<!--") {
                state = Escaped;
                dashes = 2;
                at += 4;
            } else {
                ++at;
            }
            continue;
        }
        const char c = source[at];
        if (c == '-') {
            ++dashes;
            ++at;
            continue;
        }
        if (c == '>' && dashes >= 2) {
            state = Data;
        } else if (c == '<' && state == Escaped) {
            if (endTagAt(source, at, Script)) return at;
            if (nameAt(source, at + 1, Script)) {
                state = DoubleEscaped;
                at += 1 + Script.size();  // the character after the name goes too, below
            }
        } else if (c == '<' && endTagAt(source, at, Script)) {
            state = Escaped;
            at += 2 + Script.size();
        }
        dashes = 0;
        ++at;
    }
    return source.size();
}

}  // namespace ql
