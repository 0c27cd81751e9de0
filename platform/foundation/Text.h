#pragma once
// Text helpers. Quillory keeps text as UTF-8 std::string, while the platform counts, indexes and slices
// text in UTF-16 code units; every length, index and Range here is in UTF-16 code units.
//
// Malformed UTF-8 reads as U+FFFD (one per maximal ill-formed subsequence). Where a UTF-16 position cuts
// a surrogate pair, the platform would hand out a lone surrogate; UTF-8 cannot carry one, so that half
// comes back as U+FFFD, which keeps the result's UTF-16 length equal to what was asked for.
// Indexes and ranges beyond the text raise "NSRangeException", as on the platform.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Range.h"

namespace ql::ns {

// Option bits of searching and comparing, with the platform's values.
enum StringCompareOptions : unsigned {
    CaseInsensitiveSearch = 1,
    // Compare code units as they are. Without it, canonically equivalent texts match ("e\u0301" finds
    // "\u00e9") and a match never ends inside a character's combining marks.
    LiteralSearch = 2,
    BackwardsSearch = 4,
    // Match only at the start of the searched range (at its end with BackwardsSearch).
    AnchoredSearch = 8,
};

// Whether the bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUTF8(std::string_view bytes);
// The code point's UTF-8 bytes appended to `out` (the caller sees to it that it is a scalar value).
void appendUTF8(std::string& out, char32_t codePoint);

std::uint64_t utf16Length(std::string_view text);
std::u16string toUTF16(std::string_view text);
// The text's UTF-16 units appended to `out`, as appending toUTF16(text) would, without a string made first.
void appendUTF16(std::u16string& out, std::string_view text);
std::string fromUTF16(std::u16string_view text);

std::string substringWithRange(std::string_view text, Range range);
std::string substringFromIndex(std::string_view text, std::uint64_t index);
std::string substringToIndex(std::string_view text, std::uint64_t index);
char16_t characterAtIndex(std::string_view text, std::uint64_t index);

// The first match (the last with BackwardsSearch) of `search` in `range` of the text; {NotFound, 0} when
// there is none or `search` is empty.
Range rangeOfString(std::string_view text, std::string_view search, unsigned options = 0);
Range rangeOfString(std::string_view text, std::string_view search, unsigned options, Range range);
// The first character of the set in `range` (the last with BackwardsSearch), as the range of its code units.
Range rangeOfCharacterFromSet(std::string_view text, const CharacterSet& set, unsigned options = 0);

// Every match of `target` in `range` (the whole text when absent), scanned from the start, replaced.
std::string stringByReplacingOccurrencesOfString(std::string_view text, std::string_view target,
                                                 std::string_view replacement, unsigned options = 0,
                                                 std::optional<Range> range = std::nullopt);
// Literal comparisons. As on the platform, an empty prefix or suffix is never found.
bool hasPrefix(std::string_view text, std::string_view prefix);
bool hasSuffix(std::string_view text, std::string_view suffix);
// The pieces between occurrences of the separator; the text alone when the separator is empty or absent.
std::vector<std::string> componentsSeparatedByString(std::string_view text, std::string_view separator);

// Full Unicode case mappings in the root locale ("ß" upper-cases to "SS").
std::string uppercaseString(std::string_view text);
std::string lowercaseString(std::string_view text);
// ASCII letters lower-cased and every other byte kept, and a comparison ignoring ASCII case: how protocols
// and formats compare their names and tokens (field names, MIME types, host names, font names).
std::string lowercasedASCII(std::string_view text);
bool equalsIgnoringASCIICase(std::string_view a, std::string_view b);
// The first character of each word in title case and the rest in lower case. A word is whatever lies
// between white space and line ends, so "hello-world" gives "Hello-world", as on the platform.
std::string capitalizedString(std::string_view text);

std::string stringByTrimmingCharactersInSet(std::string_view text, const CharacterSet& set);

// The user-perceived character (grapheme cluster: a surrogate pair, a base with its combining marks, an
// emoji with its modifiers, a flag) that holds the unit at `index`.
Range rangeOfComposedCharacterSequenceAtIndex(std::string_view text, std::uint64_t index);
// `range` widened so that it starts and ends on character boundaries.
Range rangeOfComposedCharacterSequencesForRange(std::string_view text, Range range);
// `range` (within the text) widened only where an end cuts a surrogate pair: a start inside a pair moves to
// the pair's start, an end inside one to its end (an empty range stays empty, before the character). Editing
// through such a range never splits a character.
Range rangeOfWholeCodePoints(std::string_view text, Range range);
// Every user-perceived character of the text in order, as pieces of it, found in one pass.
std::vector<std::string_view> composedCharacterSequences(std::string_view text);

// Each character outside `allowed` becomes its UTF-8 bytes, each as "%" and two upper-case hex digits.
std::string stringByAddingPercentEncodingWithAllowedCharacters(std::string_view text, const CharacterSet& allowed);
// Every "%XX" decoded; nullopt when a "%" lacks two hex digits or the bytes are not UTF-8.
std::optional<std::string> stringByRemovingPercentEncoding(std::string_view text);

// Texts read as "/"-separated paths: "/tmp/a.tar.gz/" has the last component "a.tar.gz" and the
// extension "gz". "/" is its own last component. A leading dot marks a hidden name, not an extension.
std::string lastPathComponent(std::string_view path);
std::string pathExtension(std::string_view path);

}  // namespace ql::ns
