#include "platform/foundation/JSONWriter.h"

#include <simdjson.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/foundation/Class.h"
#include "platform/foundation/JSONSyntax.h"
#include "platform/foundation/JSONTextBuffer.h"

namespace ql::ns::detail {

namespace {

// How each ASCII byte is written inside a text: 0 as itself, 'u' as \u00XX, else a backslash and this letter.
constexpr std::array<char, 256> escapeTable = [] {
    std::array<char, 256> table{};
    for (int c = 0; c < 0x20; ++c) table[c] = 'u';
    table['"'] = '"';
    table['\\'] = '\\';
    table['/'] = '/';
    table['\b'] = 'b';
    table['\f'] = 'f';
    table['\n'] = 'n';
    table['\r'] = 'r';
    table['\t'] = 't';
    return table;
}();

// Why a value cannot appear in JSON text, or nothing when it can (containers are checked member by member).
std::optional<std::string> unwritableReason(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Null:
        case Value::Kind::Bool:
        case Value::Kind::Int:
        case Value::Kind::UInt:
        case Value::Kind::String:
        case Value::Kind::Array:
        case Value::Kind::Dictionary: return std::nullopt;
        case Value::Kind::Double:
            if (std::isnan(v.doubleValue())) return "Invalid number value (NaN) in JSON write";
            if (std::isinf(v.doubleValue())) return "Invalid number value (infinite) in JSON write";
            return std::nullopt;
        case Value::Kind::Nil: return "Invalid type in JSON write (nil)";
        default: return "Invalid type in JSON write (" + std::string(v.valueClass()->name()) + ")";
    }
}

// Texts longer than this are escaped piece by piece, so that the room asked for the worst case stays small.
constexpr std::size_t textSlice = 4096;

constexpr std::string_view invalidTextReason = "Invalid string (not UTF-8) in JSON write";

// Nothing deeper than the reader accepts is written, so whatever is written reads back, and the walk
// over a tree stays within a bounded depth of calls.
constexpr std::string_view tooDeepReason = "Too many nested arrays or dictionaries in JSON write";

// Whether a container at `level` (0: the top) lies deeper than the reader accepts.
bool tooDeep(int level) { return level >= JSONMaxNestingDepth; }

class JSONWriter {
public:
    explicit JSONWriter(bool pretty) : pretty_(pretty) {}

    bool write(const Value& v, int level) {
        switch (v.kind()) {
            case Value::Kind::Null: return append("null"), true;
            case Value::Kind::Bool: return append(v.boolValue() ? "true" : "false"), true;
            case Value::Kind::Int: return appendInteger(v.int64Value()), true;
            case Value::Kind::UInt: return appendInteger(v.uint64Value()), true;
            case Value::Kind::Double: {
                const double d = v.doubleValue();
                if (!std::isfinite(d)) [[unlikely]]
                    return fail(*unwritableReason(v));
                out_.moveCursor(writeShortestDoubleText(d, out_.room(shortestDoubleTextCapacity)));
                return true;
            }
            case Value::Kind::String: return appendText(v.asString()), true;
            case Value::Kind::Array:
                if (tooDeep(level)) return fail(std::string(tooDeepReason));
                return writeContainer(*v.asArray(), '[', ']', level,
                                      [&](const Value& item) { return write(item, level + 1); });
            case Value::Kind::Dictionary:
                if (tooDeep(level)) return fail(std::string(tooDeepReason));
                return writeContainer(*v.asDictionary(), '{', '}', level, [&](const Dictionary::Entry& entry) {
                    appendText(entry.first);
                    if (pretty_) append(" : ");
                    else append(':');
                    return write(entry.second, level + 1);
                });
            default: return fail(*unwritableReason(v));
        }
    }

    Data output() { return out_.take(); }
    std::string& failure() { return failure_; }

private:
    bool fail(std::string reason) {
        failure_ = std::move(reason);
        return false;
    }

    void append(std::string_view s) {
        char* at = out_.room(s.size());
        std::memcpy(at, s.data(), s.size());
        out_.moveCursor(at + s.size());
    }
    void append(char c) {
        char* at = out_.room(1);
        *at = c;
        out_.moveCursor(at + 1);
    }

    template <class Integer>
    void appendInteger(Integer i) {
        char* start = out_.room(24);
        out_.moveCursor(std::to_chars(start, start + 24, i).ptr);
    }

    void appendText(std::string_view s) {
        // Room for the worst case, six bytes per byte, is asked for in slices, so that it stays small.
        if (s.size() > textSlice) [[unlikely]]
            return appendLongText(s);
        char* w = out_.room(s.size() * 6 + 2);
        *w++ = '"';
        w = escapeInto(w, s);
        *w++ = '"';
        out_.moveCursor(w);
    }

    [[gnu::noinline]] void appendLongText(std::string_view s) {
        append('"');
        for (std::size_t i = 0; i < s.size(); i += textSlice) {
            std::string_view part = s.substr(i, textSlice);
            out_.moveCursor(escapeInto(out_.room(part.size() * 6), part));
        }
        append('"');
    }

    // Sixteen bytes, compared all at once (vector extensions of GCC and Clang: SSE2 here, NEON on ARM).
    typedef unsigned char Block __attribute__((vector_size(16)));

    // Writes `s` escaped at `w`, where there is room for six bytes per byte. Bytes go in blocks, copied whole
    // up to the first byte that needs an escape, if any, which is rare.
    static char* escapeInto(char* w, std::string_view s) {
        const char* p = s.data();
        const std::size_t n = s.size();
        if (n < sizeof(Block)) return escapeShort(w, p, n);
        std::size_t i = 0;
        while (i + sizeof(Block) <= n) {
            Block block;
            std::memcpy(&block, p + i, sizeof block);
            // There are at least sixteen bytes of input left, so room for at least 96 bytes.
            std::memcpy(w, &block, sizeof block);
            const std::size_t clean = cleanPrefix(block);
            if (clean == sizeof block) {
                w += sizeof block;
                i += sizeof block;
            } else {
                w = escapeByte(w + clean, p[i + clean]);
                i += clean + 1;
            }
        }
        if (i == n) return w;
        // The last block, overlapping bytes already done: when it needs no escape, neither did those, so they
        // were written as they are, last, and are simply written again.
        const std::size_t rest = n - i;
        Block last;
        std::memcpy(&last, p + n - sizeof last, sizeof last);
        if (cleanPrefix(last) != sizeof last) [[unlikely]] {
            for (; i < n; ++i) w = escapeByte(w, p[i]);
            return w;
        }
        std::memcpy(w + rest - sizeof last, &last, sizeof last);
        return w + rest;
    }

    // A text shorter than a block (most keys and many values), read as two overlapping pieces; what the
    // pieces leave of the block is spaces, which need no escape.
    static char* escapeShort(char* w, const char* p, std::size_t n) {
        constexpr std::uint64_t spaces = 0x2020202020202020u;
        std::uint64_t pieces[2];
        if (n >= 8) {
            std::memcpy(&pieces[0], p, 8);
            std::memcpy(&pieces[1], p + n - 8, 8);
        } else if (n >= 4) {
            std::uint32_t head, tail;
            std::memcpy(&head, p, 4);
            std::memcpy(&tail, p + n - 4, 4);
            pieces[0] = (spaces << 32) | head;
            pieces[1] = (spaces << 32) | tail;
        } else if (n > 0) {
            auto byte = [&](std::size_t k) { return static_cast<std::uint64_t>(static_cast<unsigned char>(p[k])); };
            pieces[0] = (spaces << 24) | byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16;
            pieces[1] = spaces;
        } else {
            return w;
        }
        Block block;
        std::memcpy(&block, pieces, sizeof block);
        if (cleanPrefix(block) != sizeof block) [[unlikely]] {
            for (std::size_t k = 0; k < n; ++k) w = escapeByte(w, p[k]);
            return w;
        }
        if (n >= 8) {
            std::memcpy(w, &pieces[0], 8);
            std::memcpy(w + n - 8, &pieces[1], 8);
        } else if (n >= 4) {
            std::memcpy(w, p, 4);
            std::memcpy(w + n - 4, p + n - 4, 4);
        } else {
            w[0] = p[0];
            w[n / 2] = p[n / 2];
            w[n - 1] = p[n - 1];
        }
        return w + n;
    }

    // How many bytes of a block lead up to the first control character, '"', '\\' or '/'.
    static std::size_t cleanPrefix(Block block) {
        auto hits = (block < 0x20) | (block == '"') | (block == '\\') | (block == '/');
        std::uint64_t halves[2];
        std::memcpy(halves, &hits, sizeof halves);
        if constexpr (std::endian::native == std::endian::big) {
            halves[0] = __builtin_bswap64(halves[0]);
            halves[1] = __builtin_bswap64(halves[1]);
        }
        if (halves[0]) return static_cast<std::size_t>(std::countr_zero(halves[0])) / 8;
        if (halves[1]) return 8 + static_cast<std::size_t>(std::countr_zero(halves[1])) / 8;
        return sizeof block;
    }

    static char* escapeByte(char* w, char c) {
        static constexpr char hex[] = "0123456789abcdef";
        char escape = escapeTable[static_cast<unsigned char>(c)];
        if (escape == 0) {
            *w = c;
            return w + 1;
        }
        w[0] = '\\';
        if (escape != 'u') {
            w[1] = escape;
            return w + 2;
        }
        auto byte = static_cast<unsigned char>(c);
        std::memcpy(w + 1, "u00", 3);
        w[4] = hex[byte >> 4];
        w[5] = hex[byte & 0xF];
        return w + 6;
    }

    // Pretty form: members on lines of their own, indented two spaces per level; an empty container
    // keeps its blank line ("[\n\n]"), as the platform prints it.
    void breakLine(int level) {
        std::size_t indent = static_cast<std::size_t>(level) * 2;
        char* start = out_.room(indent + 1);
        start[0] = '\n';
        std::memset(start + 1, ' ', indent);
        out_.moveCursor(start + 1 + indent);
    }

    static const Value& valueOf(const Value& v) { return v; }
    static const Value& valueOf(const Dictionary::Entry& entry) { return entry.second; }
    // The tree is read in order but lies scattered in memory: fetching the storage of the next member's
    // container ahead (its address is known without reading it) lets that cache miss overlap with writing
    // the current member.
    static void prefetch(const Value& v) {
        if (const Array* array = v.asArray()) __builtin_prefetch(array);
        else if (const Dictionary* dictionary = v.asDictionary()) __builtin_prefetch(dictionary);
    }

    template <class Container, class WriteMember>
    bool writeContainer(const Container& members, char open, char close, int level, WriteMember writeMember) {
        append(open);
        bool first = true;
        for (auto it = members.begin(); it != members.end(); ++it) {
            if (it + 1 != members.end()) prefetch(valueOf(*(it + 1)));
            if (!first) append(',');
            first = false;
            if (pretty_) breakLine(level + 1);
            if (!writeMember(*it)) return false;
        }
        if (pretty_) {
            if (first) append('\n');
            breakLine(level);
        }
        append(close);
        return true;
    }

    bool pretty_;
    JSONTextBuffer out_;
    std::string failure_;
};

}  // namespace

WrittenJSON writeJSON(const Value& value, bool pretty) {
    JSONWriter writer(pretty);
    WrittenJSON result;
    if (!writer.write(value, 0)) {
        result.failure = std::move(writer.failure());
        return result;
    }
    Data text = writer.output();
    // Texts are UTF-8 by contract; one pass over the output makes sure no broken text gets out.
    if (simdjson::validate_utf8(text.view().data(), text.length())) result.text = std::move(text);
    else result.failure = invalidTextReason;
    return result;
}

namespace {

bool isWritableJSON(const Value& v, int level) {
    if (unwritableReason(v)) return false;
    if (v.isString()) return simdjson::validate_utf8(v.asString().data(), v.asString().size());
    if (const Array* array = v.asArray()) {
        if (tooDeep(level)) return false;
        for (const Value& item : *array)
            if (!isWritableJSON(item, level + 1)) return false;
    } else if (const Dictionary* dictionary = v.asDictionary()) {
        if (tooDeep(level)) return false;
        for (const auto& [key, value] : *dictionary)
            if (!simdjson::validate_utf8(key.data(), key.size()) || !isWritableJSON(value, level + 1)) return false;
    }
    return true;
}

}  // namespace

bool isWritableJSON(const Value& v) { return isWritableJSON(v, 0); }

}  // namespace ql::ns::detail
