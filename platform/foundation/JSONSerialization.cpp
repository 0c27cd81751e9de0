#include "platform/foundation/JSONSerialization.h"

#include <simdjson.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/foundation/JSONSyntax.h"
#include "platform/foundation/JSONWriter.h"

namespace ql::ns {

namespace {

Error makeError(std::int64_t code, std::string description) {
    return Error(std::string(CocoaErrorDomain), code,
                 Dictionary{{std::string(DebugDescriptionErrorKey), Value(std::move(description))}});
}

// ---- Text encodings ----

enum class Encoding { UTF8, UTF16BE, UTF16LE, UTF32BE, UTF32LE };

struct DetectedEncoding {
    Encoding encoding;
    std::size_t markLength;  // bytes of the byte-order mark, skipped before reading
};

// The platform's detection: a byte-order mark, else the pattern of zero bytes in the first characters
// (JSON text starts with ASCII, so UTF-16 and UTF-32 show zeros there).
DetectedEncoding detectEncoding(std::string_view bytes) {
    auto b = [&](std::size_t k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : -1; };
    if (b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) return {Encoding::UTF8, 3};
    if (b(0) == 0 && b(1) == 0 && b(2) == 0xFE && b(3) == 0xFF) return {Encoding::UTF32BE, 4};
    if (b(0) == 0xFF && b(1) == 0xFE && b(2) == 0 && b(3) == 0) return {Encoding::UTF32LE, 4};
    if (b(0) == 0xFE && b(1) == 0xFF) return {Encoding::UTF16BE, 2};
    if (b(0) == 0xFF && b(1) == 0xFE) return {Encoding::UTF16LE, 2};
    if (bytes.size() >= 4 && b(0) == 0 && b(1) == 0 && b(2) == 0 && b(3) != 0) return {Encoding::UTF32BE, 0};
    if (bytes.size() >= 4 && b(0) != 0 && b(1) == 0 && b(2) == 0 && b(3) == 0) return {Encoding::UTF32LE, 0};
    if (bytes.size() >= 2 && b(0) == 0 && b(1) != 0) return {Encoding::UTF16BE, 0};
    if (bytes.size() >= 2 && b(0) != 0 && b(1) == 0) return {Encoding::UTF16LE, 0};
    return {Encoding::UTF8, 0};
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 or UTF-32 text as UTF-8; on a broken sequence, the index of the offending character.
std::optional<std::size_t> transcodeToUtf8(std::string_view bytes, Encoding encoding, std::string& out) {
    const std::size_t width = encoding == Encoding::UTF16BE || encoding == Encoding::UTF16LE ? 2 : 4;
    const bool bigEndian = encoding == Encoding::UTF16BE || encoding == Encoding::UTF32BE;
    auto unit = [&](std::size_t index) {
        std::uint32_t u = 0;
        for (std::size_t k = 0; k < width; ++k) {
            auto byte = static_cast<unsigned char>(bytes[index * width + (bigEndian ? k : width - 1 - k)]);
            u = (u << 8) | byte;
        }
        return u;
    };
    const std::size_t count = bytes.size() / width;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t cp = unit(i);
        if (width == 2 && cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low = i + 1 < count ? unit(i + 1) : 0;
            if (low < 0xDC00 || low > 0xDFFF) return i;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            return i;
        }
        appendUtf8(out, cp);
    }
    if (bytes.size() % width != 0) return count;
    return std::nullopt;
}

// ---- Reading ----

// simdjson's parser keeps buffers sized to the largest text it has seen. One is kept per thread for
// texts up to a few megabytes, so that replies of ordinary size parse without allocating; larger texts
// get a parser of their own, freed afterwards.
constexpr std::size_t keptParserCapacity = std::size_t{4} << 20;

std::unique_ptr<simdjson::dom::parser> makeParser(std::size_t capacity) {
    auto parser = std::make_unique<simdjson::dom::parser>();
    if (parser->allocate(capacity, JSONMaxNestingDepth)) return nullptr;
    return parser;
}

// Builds Values from simdjson's document; the parser has bounded the depth already.
//
// Members gather on stacks shared by all levels and kept per thread, and each container is allocated once
// its members are built, at its size. Besides sparing regrowth, this keeps large allocations (a long list)
// from coming first: the allocator tidies its small freed blocks before serving a large one, and done at
// the start of a parse that would merge away the blocks the new tree is about to reuse.
class ValueBuilder {
public:
    // A dictionary member waiting on the stack, with the first eight bytes of its key as a big-endian number
    // (zero-padded), which orders most keys without comparing texts.
    struct Member {
        std::uint64_t prefix;
        std::string_view key;
        simdjson::dom::element value;
        bool operator<(const Member& other) const {
            return prefix != other.prefix ? prefix < other.prefix : key < other.key;
        }
    };

    struct Stacks {
        std::vector<Value> elements;
        std::vector<Member> members;
    };

    ValueBuilder(unsigned options, Stacks& stacks)
        : mutableContainers_(options & JSONReadingMutableContainers),
          mutableLeaves_(options & JSONReadingMutableLeaves),
          elements_(stacks.elements),
          members_(stacks.members) {}

    Value build(simdjson::dom::element element) {
        using Type = simdjson::dom::element_type;
        switch (element.type()) {
            case Type::ARRAY: {
                const std::size_t mark = elements_.size();
                simdjson::dom::array items = element.get_array().value_unsafe();
                for (simdjson::dom::element item : items) {
                    Value built = build(item);  // not in place: nested arrays may grow the stack meanwhile
                    elements_.push_back(std::move(built));
                }
                Array array(std::make_move_iterator(elements_.begin() + static_cast<std::ptrdiff_t>(mark)),
                            std::make_move_iterator(elements_.end()));
                elements_.resize(mark);
                return container(Value(std::move(array)));
            }
            case Type::OBJECT: return buildDictionary(element.get_object().value_unsafe());
            case Type::INT64: return Value(element.get_int64().value_unsafe());
            case Type::UINT64: return Value(element.get_uint64().value_unsafe());
            case Type::DOUBLE: return Value(element.get_double().value_unsafe());
            case Type::STRING: {
                std::string_view text = element.get_string().value_unsafe();
                return mutableLeaves_ ? Value::mutableString(std::string(text)) : Value(text);
            }
            case Type::BOOL: return Value(element.get_bool().value_unsafe());
            case Type::NULL_VALUE: return Value::null();
        }
        return Value();
    }

private:
    static std::uint64_t keyPrefix(std::string_view key) {
        unsigned char bytes[8] = {};
        std::memcpy(bytes, key.data(), std::min<std::size_t>(key.size(), 8));
        std::uint64_t prefix;
        std::memcpy(&prefix, bytes, 8);
        if constexpr (std::endian::native == std::endian::little) prefix = __builtin_bswap64(prefix);
        return prefix;
    }

    // Members are sorted on their stack, so that the dictionary is filled in order and its own sort finds
    // nothing to do.
    Value buildDictionary(simdjson::dom::object members) {
        const std::size_t mark = members_.size();
        for (auto [key, value] : members) members_.push_back({keyPrefix(key), key, value});
        const auto first = members_.begin() + static_cast<std::ptrdiff_t>(mark);
        const std::ptrdiff_t count = members_.end() - first;
        if (count > 16) {
            std::stable_sort(first, members_.end());
        } else if (count > 1) {
            for (auto it = first + 1; it != members_.end(); ++it)
                for (auto at = it; at != first && *at < *(at - 1); --at) std::iter_swap(at, at - 1);
        }
        Dictionary dictionary;
        dictionary.reserve(members_.size() - mark);
        // By index: building a member's value may grow the stack.
        for (std::size_t i = mark; i < members_.size(); ++i) {
            Member member = members_[i];
            dictionary.appendUnsorted(std::string(member.key), build(member.value));
        }
        members_.resize(mark);
        dictionary.finishAppending();
        return container(Value(std::move(dictionary)));
    }

    Value container(Value v) const {
        v.setMutable(mutableContainers_);
        return v;
    }

    bool mutableContainers_;
    bool mutableLeaves_;
    std::vector<Value>& elements_;
    std::vector<Member>& members_;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool fitsIn64Bits(std::string_view integer) {
    std::int64_t i;
    std::uint64_t u;
    auto r = integer[0] == '-' ? std::from_chars(integer.data(), integer.data() + integer.size(), i)
                               : std::from_chars(integer.data(), integer.data() + integer.size(), u);
    return r.ec != std::errc::result_out_of_range;
}

// simdjson refuses integers beyond 64 bits, which the platform reads as doubles. Writing such an integer
// as a decimal ("…0" as "…0.0") makes simdjson read the same number as a double; nothing else changes,
// and a bad text stays bad. Nothing when the text has no such integer.
std::optional<std::string> markWideIntegersAsDecimals(std::string_view text) {
    std::string out;
    bool changed = false;
    bool inString = false;
    for (std::size_t i = 0; i < text.size();) {
        char c = text[i];
        if (inString || (c != '-' && !isDigit(c))) {
            if (inString && c == '\\' && i + 1 < text.size()) out += text[i++];
            else if (c == '"') inString = !inString;
            out += text[i++];
            continue;
        }
        // A number: its digits, then whatever fraction and exponent follow.
        std::size_t start = i;
        if (c == '-') ++i;
        const std::size_t digits = i;
        while (i < text.size() && isDigit(text[i])) ++i;
        bool integer = i > digits;
        for (; i < text.size(); ++i) {
            char n = text[i];
            if (!isDigit(n) && n != '.' && n != 'e' && n != 'E' && n != '+' && n != '-') break;
            integer = false;
        }
        std::string_view number = text.substr(start, i - start);
        out += number;
        if (integer && !fitsIn64Bits(number)) {
            out += ".0";
            changed = true;
        }
    }
    if (!changed) return std::nullopt;
    return out;
}

// Parses UTF-8 text; nil when simdjson refuses it.
Value parseUtf8(std::string_view utf8, unsigned options, simdjson::dom::parser& parser,
                ValueBuilder::Stacks& stacks) {
    simdjson::dom::element root;
    auto error = parser.parse(utf8.data(), utf8.size()).get(root);
    std::optional<std::string> widened;
    if (error == simdjson::NUMBER_ERROR) {
        widened = markWideIntegersAsDecimals(utf8);
        if (widened) error = parser.parse(widened->data(), widened->size()).get(root);
    }
    if (error) return Value();
    bool container = root.is_array() || root.is_object();
    if (!container && !(options & JSONReadingFragmentsAllowed)) return Value();
    return ValueBuilder(options, stacks).build(root);
}

Value parseUtf8(std::string_view utf8, unsigned options) {
    if (utf8.size() <= keptParserCapacity) {
        thread_local std::unique_ptr<simdjson::dom::parser> kept = makeParser(std::size_t{64} << 10);
        thread_local ValueBuilder::Stacks stacks;
        if (kept) return parseUtf8(utf8, options, *kept, stacks);
    }
    auto own = makeParser(utf8.size());
    ValueBuilder::Stacks stacks;
    return own ? parseUtf8(utf8, options, *own, stacks) : Value();
}

}  // namespace

Value JSONSerialization::JSONObjectWithData(const Data& data, unsigned options, Error* error) {
    return JSONObjectWithData(data.view(), options, error);
}

Value JSONSerialization::JSONObjectWithData(std::string_view text, unsigned options, Error* error) {
    auto [encoding, markLength] = detectEncoding(text);
    text.remove_prefix(markLength);
    std::string transcoded;
    if (encoding != Encoding::UTF8) {
        if (auto bad = transcodeToUtf8(text, encoding, transcoded)) {
            if (error)
                *error = makeError(PropertyListReadCorruptError,
                                   "Unable to convert data to string around character " + std::to_string(*bad) + ".");
            return Value();
        }
        text = transcoded;
    }
    Value result = parseUtf8(text, options);
    if (result.isNil() && error) {
        // simdjson only says that the text is bad; the grammar check says what and where.
        auto reason = firstJSONSyntaxError(text, (options & JSONReadingFragmentsAllowed) != 0);
        *error = makeError(PropertyListReadCorruptError, reason.value_or("Invalid value around character 0."));
    }
    return result;
}

std::optional<Data> JSONSerialization::dataWithJSONObject(const Value& object, unsigned options, Error* error) {
    detail::WrittenJSON written;
    if (!object.isArray() && !object.isDictionary() && (!(options & JSONWritingFragmentsAllowed) || object.isNil()))
        written.failure = "Invalid top-level type in JSON write";
    else
        written = detail::writeJSON(object, options & JSONWritingPrettyPrinted);
    if (!written.text && error) *error = makeError(PropertyListWriteInvalidError, std::move(written.failure));
    return std::move(written.text);
}

bool JSONSerialization::isValidJSONObject(const Value& object) {
    return (object.isArray() || object.isDictionary()) && detail::isWritableJSON(object);
}

}  // namespace ql::ns
