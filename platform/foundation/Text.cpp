#include "platform/foundation/Text.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/foundation/Exception.h"
#include "platform/foundation/PerThread.h"
#include "platform/foundation/UnicodeText.h"

namespace ql::ns {

using detail::unicodeText;
using detail::utf8Text;
using icu::UnicodeString;

namespace {

[[noreturn]] void raiseOutOfBounds(const char* method, const std::string& what, std::uint64_t length) {
    throw Exception(RangeException,
                    std::string(method) + ": " + what + " out of bounds; string length " + std::to_string(length));
}

void checkRange(const UnicodeString& text, Range range, const char* method) {
    auto length = static_cast<std::uint64_t>(text.length());
    if (range.location > length || range.length > length - range.location)
        raiseOutOfBounds(method, "Range " + range.description(), length);
}

void checkIndex(const UnicodeString& text, std::uint64_t index, bool endAllowed, const char* method) {
    auto length = static_cast<std::uint64_t>(text.length());
    if (index > length || (index == length && !endAllowed))
        raiseOutOfBounds(method, "Index " + std::to_string(index), length);
}

int32_t i32(std::uint64_t n) { return static_cast<int32_t>(n); }

// ---- Searching ----

// A text made comparable: its units after the options' folding, and for every folded position where a
// match may start or end, the original position it stands for (-1 elsewhere). Without LiteralSearch the
// comparable pieces are a base character with its combining marks, in canonical decomposition; with
// CaseInsensitiveSearch they are case-folded too (canonical caseless matching).
struct Folded {
    UnicodeString units;
    std::vector<int32_t> original;
};

const icu::Normalizer2& decomposition() {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status)) throw Exception(InternalInconsistencyException, "Unicode decomposition data missing");
    return *nfd;
}

Folded fold(const UnicodeString& text, unsigned options) {
    const bool literal = options & LiteralSearch, caseless = options & CaseInsensitiveSearch;
    const icu::Normalizer2* nfd = literal ? nullptr : &decomposition();
    Folded folded;
    const int32_t n = text.length();
    folded.original.reserve(static_cast<std::size_t>(n) + 1);
    for (int32_t i = 0; i < n;) {
        UChar32 c = text.char32At(i);
        int32_t end = text.moveIndex32(i, 1);
        if (nfd) {
            while (end < n && !nfd->hasBoundaryBefore(text.char32At(end))) end = text.moveIndex32(end, 1);
        }
        UnicodeString piece;
        if (c < 0x80 && end == i + 1) {
            piece.append(static_cast<char16_t>(caseless && c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c));
        } else {
            UErrorCode status = U_ZERO_ERROR;
            piece = text.tempSubString(i, end - i);
            if (nfd) piece = nfd->normalize(piece, status);
            if (caseless) {
                piece.foldCase();
                if (nfd) piece = nfd->normalize(piece, status);
            }
            if (U_FAILURE(status) || piece.isEmpty()) piece = text.tempSubString(i, end - i);
        }
        folded.original.push_back(i);
        folded.original.insert(folded.original.end(), static_cast<std::size_t>(piece.length() - 1), -1);
        folded.units.append(piece);
        i = end;
    }
    folded.original.push_back(n);
    return folded;
}

struct Match {
    int32_t start, end;  // folded positions
};

bool matchesAt(const Folded& hay, const UnicodeString& needle, int32_t pos) {
    const int32_t end = pos + needle.length();
    return hay.original[static_cast<std::size_t>(pos)] >= 0 && hay.original[static_cast<std::size_t>(end)] >= 0 &&
           hay.units.compare(pos, needle.length(), needle) == 0;
}

// The matches of `needle` in `hay` in scan order: from the start, or from the end with BackwardsSearch.
// Matches never overlap; `limit` stops the scan early.
std::vector<Match> findMatches(const Folded& hay, const UnicodeString& needle, unsigned options, std::size_t limit) {
    std::vector<Match> found;
    const int32_t n = needle.length(), last = hay.units.length() - n;
    if (n == 0 || last < 0) return found;
    const bool backwards = options & BackwardsSearch, anchored = options & AnchoredSearch;
    for (int32_t pos = backwards ? last : 0; pos >= 0 && pos <= last && found.size() < limit;) {
        const bool match = matchesAt(hay, needle, pos);
        if (match) found.push_back({pos, pos + n});
        if (anchored) break;
        pos += backwards ? (match ? -n : -1) : (match ? n : 1);
    }
    return found;
}

// The matches of `target` within `range` of `text`, as original ranges of the whole text.
std::vector<Range> find(const UnicodeString& text, std::string_view target, unsigned options, Range range,
                        std::size_t limit) {
    Folded hay = fold(text.tempSubString(i32(range.location), i32(range.length)), options);
    Folded needle = fold(unicodeText(target), options);
    std::vector<Range> ranges;
    for (const Match& m : findMatches(hay, needle.units, options, limit)) {
        auto start = static_cast<std::uint64_t>(hay.original[static_cast<std::size_t>(m.start)]);
        auto end = static_cast<std::uint64_t>(hay.original[static_cast<std::size_t>(m.end)]);
        ranges.push_back({range.location + start, end - start});
    }
    return ranges;
}

// ---- Characters ----

// Grapheme-cluster boundaries. Break iterators are costly to make and not to be shared between threads,
// so each thread keeps one, past its thread_local objects: texts are broken at the end of the process too.
icu::BreakIterator& characterBoundaries(const UnicodeString& text) {
    static PerThread<std::unique_ptr<icu::BreakIterator>> iterators;
    std::unique_ptr<icu::BreakIterator>& iterator = iterators.get();
    if (!iterator) {
        UErrorCode status = U_ZERO_ERROR;
        iterator.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) throw Exception(InternalInconsistencyException, "Unicode break data missing");
    }
    iterator->setText(text);
    return *iterator;
}

}  // namespace

// ---- UTF-8 ----

void appendUTF8(std::string& out, char32_t cp) {
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

namespace {

// Whether the eight bytes at `s` are all ASCII.
bool isASCIIWord(const unsigned char* s) {
    std::uint64_t word;
    std::memcpy(&word, s, sizeof word);
    return (word & 0x8080808080808080u) == 0;
}

// Whether the three bytes at `s` are a well-formed sequence without a special case (the common CJK range:
// no overlong form, no surrogate), which is told apart at once.
bool isPlainThreeByteSequence(const unsigned char* s) {
    return s[0] >= 0xE1 && s[0] != 0xED && s[0] <= 0xEF && (s[1] & 0xC0) == 0x80 && (s[2] & 0xC0) == 0x80;
}

// The length of the well-formed sequence starting at s[i], whose first byte is 0x80 or more; 0 when it is
// malformed (a stray or overlong form, a surrogate, past U+10FFFF, or cut off by the end).
std::size_t sequenceLength(const unsigned char* s, std::size_t i, std::size_t n) {
    const unsigned char c = s[i];
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) length = 2;
    else if (c >= 0xE0 && c <= 0xEF) length = 3;
    else if (c >= 0xF0 && c <= 0xF4) length = 4;
    else return 0;
    if (c == 0xE0) low = 0xA0;       // overlong
    else if (c == 0xED) high = 0x9F; // surrogates
    else if (c == 0xF0) low = 0x90;  // overlong
    else if (c == 0xF4) high = 0x8F; // above U+10FFFF
    if (n - i < length || s[i + 1] < low || s[i + 1] > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((s[i + k] & 0xC0) != 0x80) return 0;
    return length;
}

// Walks well-formed UTF-8, handing the sink runs of eight ASCII bytes, single ASCII bytes and code points
// of longer sequences; the sink as it ends, or nothing at the first malformed sequence. One walk serves
// checking and converting, so the two cannot disagree on what is well-formed. The sink is the walk's own
// (a local its state stays in registers in), not one the caller's memory is updated through.
template <class Sink>
std::optional<Sink> walkWellFormed(std::string_view text, Sink sink) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // Texts come in runs of one kind (markup and Latin text, or Chinese), each read in a loop of its
        // own: whole words of ASCII and then the bytes before the next other one, plain three-byte
        // sequences one after the other, and anything else one sequence at a time.
        if (s[i] < 0x80) {
            for (; n - i >= 8 && isASCIIWord(s + i); i += 8) sink.asciiWord(s + i);
            for (; i < n && s[i] < 0x80; ++i) sink.codePoint(s[i]);
            continue;
        }
        if (n - i >= 3 && isPlainThreeByteSequence(s + i)) {
            do {
                sink.codePoint(((s[i] & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu));
                i += 3;
            } while (n - i >= 3 && isPlainThreeByteSequence(s + i));
            continue;
        }
        const std::size_t length = sequenceLength(s, i, n);
        if (length == 0) return std::nullopt;
        const unsigned char c = s[i];
        std::uint32_t cp = length == 2 ? (c & 0x1Fu) : length == 3 ? (c & 0x0Fu) : (c & 0x07u);
        for (std::size_t k = 1; k < length; ++k) cp = (cp << 6) | (s[i + k] & 0x3Fu);
        sink.codePoint(cp);
        i += length;
    }
    return sink;
}

struct Checking {
    void asciiWord(const unsigned char*) {}
    void codePoint(std::uint32_t) {}
};

struct ToUTF16 {
    char16_t* w;
    void asciiWord(const unsigned char* s) {
        for (std::size_t k = 0; k < 8; ++k) w[k] = s[k];
        w += 8;
    }
    void codePoint(std::uint32_t cp) {
        if (cp >= 0x10000) {
            *w++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            *w++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *w++ = static_cast<char16_t>(cp);
        }
    }
};

// Well-formed UTF-8 as UTF-16 units at `out`, which has room for text.size() units; the count of units,
// or nothing at the first malformed sequence (which the caller leaves to ICU's replacement rules).
std::optional<std::size_t> decodeWellFormed(std::string_view text, char16_t* out) {
    const std::optional<ToUTF16> done = walkWellFormed(text, ToUTF16{out});
    if (!done) return std::nullopt;
    return static_cast<std::size_t>(done->w - out);
}

}  // namespace

bool isValidUTF8(std::string_view bytes) { return walkWellFormed(bytes, Checking{}).has_value(); }

// ---- UTF-16 view ----

namespace {

char lowerASCII(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string lowercasedASCII(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lowerASCII(c);
    return out;
}

bool equalsIgnoringASCIICase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return lowerASCII(x) == lowerASCII(y); });
}

std::uint64_t utf16Length(std::string_view text) {
    bool ascii = true;
    for (char c : text) ascii &= static_cast<unsigned char>(c) < 0x80;
    if (ascii) return text.size();
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(nullptr, 0, &length, text.data(), i32(text.size()), 0xFFFD, nullptr, &status);
    return static_cast<std::uint64_t>(length);
}

namespace {

// Texts of up to this many bytes are decoded into a buffer on the stack.
constexpr std::size_t StackUnits = 512;

// The text's UTF-16 units at `out`, which has room for text.size() units (a UTF-8 text never has more
// units than bytes): the count written. Malformed sequences are replaced as unicodeText replaces them.
std::size_t decodeUTF8(std::string_view text, char16_t* out) {
    // Well-formed text (nearly all) is decoded here; ICU replaces malformed sequences.
    if (const std::optional<std::size_t> count = decodeWellFormed(text, out)) return *count;
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8WithSub(out, i32(text.size()), &length, text.data(), i32(text.size()), 0xFFFD, nullptr, &status);
    return U_FAILURE(status) ? 0 : static_cast<std::size_t>(length);
}

}  // namespace

std::u16string toUTF16(std::string_view text) {
    if (text.empty()) return {};
    // Short texts go through a buffer on the stack so that the result is allocated once at its own size.
    if (text.size() <= StackUnits) {
        char16_t units[StackUnits];
        return std::u16string(units, decodeUTF8(text, units));
    }
    std::u16string units(text.size(), u'\0');
    units.resize(decodeUTF8(text, units.data()));
    return units;
}

void appendUTF16(std::u16string& out, std::string_view text) {
    // Short texts are decoded on the stack and copied in, sparing the zeros a resize would write first.
    if (text.size() <= StackUnits) {
        char16_t units[StackUnits];
        out.append(units, decodeUTF8(text, units));
        return;
    }
    const std::size_t at = out.size();
    // Growing by resizing keeps the string's room doubling, so appending piece after piece stays linear.
    out.resize(at + text.size());
    out.resize(at + decodeUTF8(text, out.data() + at));
}

std::string fromUTF16(std::u16string_view text) {
    return utf8Text(UnicodeString(text.data(), i32(text.size())));
}

std::string substringWithRange(std::string_view text, Range range) {
    UnicodeString u = unicodeText(text);
    checkRange(u, range, "substringWithRange:");
    return utf8Text(u.tempSubString(i32(range.location), i32(range.length)));
}

std::string substringFromIndex(std::string_view text, std::uint64_t index) {
    UnicodeString u = unicodeText(text);
    checkIndex(u, index, true, "substringFromIndex:");
    return utf8Text(u.tempSubString(i32(index)));
}

std::string substringToIndex(std::string_view text, std::uint64_t index) {
    UnicodeString u = unicodeText(text);
    checkIndex(u, index, true, "substringToIndex:");
    return utf8Text(u.tempSubString(0, i32(index)));
}

char16_t characterAtIndex(std::string_view text, std::uint64_t index) {
    UnicodeString u = unicodeText(text);
    checkIndex(u, index, false, "characterAtIndex:");
    return u.charAt(i32(index));
}

// ---- Searching and replacing ----

Range rangeOfString(std::string_view text, std::string_view search, unsigned options) {
    return rangeOfString(text, search, options, Range{0, utf16Length(text)});
}

Range rangeOfString(std::string_view text, std::string_view search, unsigned options, Range range) {
    UnicodeString u = unicodeText(text);
    checkRange(u, range, "rangeOfString:options:range:");
    auto found = find(u, search, options, range, 1);
    return found.empty() ? Range{NotFound, 0} : found.front();
}

Range rangeOfCharacterFromSet(std::string_view text, const CharacterSet& set, unsigned options) {
    UnicodeString u = unicodeText(text);
    const bool backwards = options & BackwardsSearch, anchored = options & AnchoredSearch;
    for (int32_t i = backwards ? u.length() : 0; backwards ? i > 0 : i < u.length();) {
        int32_t start = backwards ? u.moveIndex32(i, -1) : i;
        int32_t end = backwards ? i : u.moveIndex32(i, 1);
        if (set.longCharacterIsMember(static_cast<char32_t>(u.char32At(start))))
            return {static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(end - start)};
        if (anchored) break;
        i = backwards ? start : end;
    }
    return {NotFound, 0};
}

std::string stringByReplacingOccurrencesOfString(std::string_view text, std::string_view target,
                                                 std::string_view replacement, unsigned options,
                                                 std::optional<Range> range) {
    UnicodeString u = unicodeText(text);
    Range searched = range.value_or(Range{0, static_cast<std::uint64_t>(u.length())});
    checkRange(u, searched, "replaceOccurrencesOfString:withString:options:range:");
    auto found = find(u, target, options, searched, SIZE_MAX);
    if (found.empty()) return std::string(text);
    if (options & BackwardsSearch) std::reverse(found.begin(), found.end());
    UnicodeString out, with = unicodeText(replacement);
    int32_t copied = 0;
    for (const Range& r : found) {
        out.append(u, copied, i32(r.location) - copied).append(with);
        copied = i32(r.end());
    }
    out.append(u, copied, u.length() - copied);
    return utf8Text(out);
}

bool hasPrefix(std::string_view text, std::string_view prefix) { return !prefix.empty() && text.starts_with(prefix); }

bool hasSuffix(std::string_view text, std::string_view suffix) { return !suffix.empty() && text.ends_with(suffix); }

std::vector<std::string> componentsSeparatedByString(std::string_view text, std::string_view separator) {
    UnicodeString u = unicodeText(text);
    std::vector<std::string> pieces;
    int32_t from = 0;
    for (const Range& r : find(u, separator, 0, Range{0, static_cast<std::uint64_t>(u.length())}, SIZE_MAX)) {
        pieces.push_back(utf8Text(u.tempSubString(from, i32(r.location) - from)));
        from = i32(r.end());
    }
    pieces.push_back(utf8Text(u.tempSubString(from)));
    return pieces;
}

// ---- Case ----

std::string uppercaseString(std::string_view text) {
    return utf8Text(unicodeText(text).toUpper(icu::Locale::getRoot()));
}

std::string lowercaseString(std::string_view text) {
    return utf8Text(unicodeText(text).toLower(icu::Locale::getRoot()));
}

std::string capitalizedString(std::string_view text) {
    const CharacterSet separators = CharacterSet::whitespaceAndNewlineCharacterSet();
    UnicodeString u = unicodeText(text), out;
    auto isSeparator = [&](int32_t i) {
        return separators.longCharacterIsMember(static_cast<char32_t>(u.char32At(i)));
    };
    for (int32_t i = 0; i < u.length();) {
        const bool separator = isSeparator(i);
        int32_t end = i;
        while (end < u.length() && isSeparator(end) == separator) end = u.moveIndex32(end, 1);
        UnicodeString run = u.tempSubString(i, end - i);
        // The whole word is one titlecasing unit, starting exactly at its first character.
        if (!separator)
            run.toTitle(nullptr, icu::Locale::getRoot(), U_TITLECASE_WHOLE_STRING | U_TITLECASE_NO_BREAK_ADJUSTMENT);
        out.append(run);
        i = end;
    }
    return utf8Text(out);
}

// ---- Trimming and characters ----

std::string stringByTrimmingCharactersInSet(std::string_view text, const CharacterSet& set) {
    // Most texts (a URL, a number) start and end with an ASCII character the set does not hold: nothing
    // is trimmed, and well-formed bytes come back as they are.
    const auto keptASCII = [&set](char byte) {
        return static_cast<unsigned char>(byte) < 0x80 && !set.longCharacterIsMember(static_cast<char32_t>(byte));
    };
    if (text.empty() || (keptASCII(text.front()) && keptASCII(text.back()) && isValidUTF8(text))) return std::string(text);
    UnicodeString u = unicodeText(text);
    int32_t start = 0, end = u.length();
    while (start < end && set.longCharacterIsMember(static_cast<char32_t>(u.char32At(start))))
        start = u.moveIndex32(start, 1);
    while (end > start) {
        int32_t previous = u.moveIndex32(end, -1);
        if (!set.longCharacterIsMember(static_cast<char32_t>(u.char32At(previous)))) break;
        end = previous;
    }
    return utf8Text(u.tempSubString(start, end - start));
}

Range rangeOfComposedCharacterSequenceAtIndex(std::string_view text, std::uint64_t index) {
    UnicodeString u = unicodeText(text);
    checkIndex(u, index, false, "rangeOfComposedCharacterSequenceAtIndex:");
    icu::BreakIterator& boundaries = characterBoundaries(u);
    int32_t end = boundaries.following(i32(index));
    int32_t start = boundaries.previous();
    return {static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(end - start)};
}

Range rangeOfComposedCharacterSequencesForRange(std::string_view text, Range range) {
    UnicodeString u = unicodeText(text);
    checkRange(u, range, "rangeOfComposedCharacterSequencesForRange:");
    icu::BreakIterator& boundaries = characterBoundaries(u);
    // following/previous rather than preceding, which would first move an index inside a surrogate pair
    // back to the pair's start and then answer the boundary before that.
    int32_t start = i32(range.location);
    if (start < u.length()) {
        boundaries.following(start);
        start = boundaries.previous();
    }
    int32_t end = range.length > 0 ? boundaries.following(i32(range.end()) - 1) : start;
    return {static_cast<std::uint64_t>(start), static_cast<std::uint64_t>(end - start)};
}

Range rangeOfWholeCodePoints(std::string_view text, Range range) {
    UnicodeString u = unicodeText(text);
    checkRange(u, range, "rangeOfWholeCodePoints:");
    const auto cutsPair = [&u](std::uint64_t at) {
        return at > 0 && at < static_cast<std::uint64_t>(u.length()) && U16_IS_TRAIL(u[i32(at)]) &&
               U16_IS_LEAD(u[i32(at - 1)]);
    };
    std::uint64_t start = range.location, end = range.end();
    if (cutsPair(start)) --start;
    if (range.length == 0) return {start, 0};  // a caret stays a caret, before the character
    if (cutsPair(end)) ++end;
    return {start, end - start};
}

std::vector<std::string_view> composedCharacterSequences(std::string_view text) {
    std::vector<std::string_view> pieces;
    UnicodeString u = unicodeText(text);
    icu::BreakIterator& boundaries = characterBoundaries(u);
    // Walks the bytes along with the UTF-16 boundaries, so the whole text is read once.
    std::size_t byte = 0;
    int32_t unit = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    for (int32_t end = boundaries.next(); end != icu::BreakIterator::DONE; end = boundaries.next()) {
        const std::size_t start = byte;
        while (unit < end && byte < text.size()) {
            const uint8_t lead = bytes[byte];
            const std::size_t width = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            byte = std::min(text.size(), byte + width);
            unit += width == 4 ? 2 : 1;
        }
        pieces.push_back(text.substr(start, byte - start));
    }
    return pieces;
}

// ---- Percent encoding ----

std::string stringByAddingPercentEncodingWithAllowedCharacters(std::string_view text, const CharacterSet& allowed) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = i32(text.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) c = 0xFFFD;
        uint8_t encoded[4];
        int32_t n = 0;
        U8_APPEND_UNSAFE(encoded, n, c);
        if (allowed.longCharacterIsMember(static_cast<char32_t>(c))) {
            out.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(n));
            continue;
        }
        for (int32_t k = 0; k < n; ++k) {
            out += '%';
            out += hex[encoded[k] >> 4];
            out += hex[encoded[k] & 0xF];
        }
    }
    return out;
}

std::optional<std::string> stringByRemovingPercentEncoding(std::string_view text) {
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(out.data());
    const int32_t length = i32(out.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) return std::nullopt;
    }
    return out;
}

// ---- Paths ----

std::string lastPathComponent(std::string_view path) {
    std::size_t end = path.find_last_not_of('/');
    if (end == std::string_view::npos) return path.empty() ? "" : "/";
    std::size_t slash = path.rfind('/', end);
    std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    return std::string(path.substr(start, end + 1 - start));
}

std::string pathExtension(std::string_view path) {
    std::string name = lastPathComponent(path);
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return "";
    return name.substr(dot + 1);
}

}  // namespace ql::ns
