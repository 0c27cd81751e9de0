#include <gtest/gtest.h>
#include <unicode/ustring.h>

#include <random>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"

using namespace ql::ns;

namespace {

// 读 and 书 are one unit each, 😀 (U+1F600) is a surrogate pair.
const std::string books = "\u8bfb\u4e66\U0001F600ab";

Range notFound() { return {NotFound, 0}; }

}  // namespace

namespace ql::ns {
void PrintTo(const Range& range, std::ostream* out) { *out << range.description(); }
}  // namespace ql::ns

TEST(Text, CountsAndSlicesUtf16Units) {
    EXPECT_EQ(utf16Length(books), 6u);
    EXPECT_EQ(utf16Length(""), 0u);
    EXPECT_EQ(toUTF16(books), u"\u8bfb\u4e66\U0001F600ab");
    EXPECT_EQ(fromUTF16(toUTF16(books)), books);
    // Malformed bytes read as U+FFFD, in short texts and in texts too long for the conversion's own buffer.
    EXPECT_EQ(toUTF16("a\xFF" "b\xE4\xB9"), u"a\uFFFDb\uFFFD");
    std::string longText(600, 'x');
    longText += "\xC0\x80\u4e66";
    const std::u16string longUnits = toUTF16(longText);
    EXPECT_EQ(longUnits.size(), 603u);
    EXPECT_EQ(longUnits.substr(600), u"\uFFFD\uFFFD\u4e66");
    EXPECT_EQ(utf16Length(longText), longUnits.size());
    EXPECT_EQ(toUTF16(""), u"");
    // Appending converts as toUTF16 does and keeps what was there, malformed bytes and long texts included.
    std::u16string appended = u"\u8bfb";
    for (const std::string_view piece : {std::string_view(books), std::string_view(""), std::string_view("a\xFF" "b\xE4\xB9"),
                                          std::string_view(longText)})
        appendUTF16(appended, piece);
    EXPECT_EQ(appended, u"\u8bfb" + toUTF16(books) + u"a\uFFFDb\uFFFD" + longUnits);
    EXPECT_EQ(characterAtIndex(books, 1), u'\u4e66');
    EXPECT_EQ(characterAtIndex(books, 2), 0xD83D);
    EXPECT_EQ(characterAtIndex(books, 3), 0xDE00);

    EXPECT_EQ(substringWithRange(books, {0, 2}), "\u8bfb\u4e66");
    EXPECT_EQ(substringWithRange(books, {2, 2}), "\U0001F600");
    EXPECT_EQ(substringWithRange(books, {4, 2}), "ab");
    EXPECT_EQ(substringWithRange(books, {6, 0}), "");
    EXPECT_EQ(substringFromIndex(books, 4), "ab");
    EXPECT_EQ(substringToIndex(books, 4), "\u8bfb\u4e66\U0001F600");

    // A cut through the pair leaves the half as U+FFFD: still valid UTF-8, still the asked-for length.
    EXPECT_EQ(substringToIndex(books, 3), "\u8bfb\u4e66\uFFFD");
    EXPECT_EQ(substringWithRange(books, {3, 2}), "\uFFFDa");
    EXPECT_EQ(utf16Length(substringWithRange(books, {3, 2})), 2u);
    EXPECT_EQ(fromUTF16(u"a\xD83D"), "a\uFFFD");

    // Malformed UTF-8 counts as one U+FFFD per bad sequence.
    EXPECT_EQ(utf16Length("a\xFF" "b"), 3u);
    EXPECT_EQ(substringFromIndex("a\xFF" "b", 1), "\uFFFD" "b");

    EXPECT_THROW(substringWithRange(books, {5, 2}), Exception);
    EXPECT_THROW(substringFromIndex(books, 7), Exception);
    EXPECT_THROW(characterAtIndex(books, 6), Exception);
    try {
        substringWithRange(books, {NotFound, 1});
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), RangeException);
    }
}

TEST(Text, FindsInUtf16Ranges) {
    const std::string twice = books + "\u8bfb\u4e66";
    EXPECT_EQ(rangeOfString(twice, "\u8bfb\u4e66"), (Range{0, 2}));
    EXPECT_EQ(rangeOfString(twice, "\u8bfb\u4e66", BackwardsSearch), (Range{6, 2}));
    EXPECT_EQ(rangeOfString(twice, "\U0001F600a"), (Range{2, 3}));
    EXPECT_EQ(rangeOfString(twice, "\u4e66", AnchoredSearch), notFound());
    EXPECT_EQ(rangeOfString(twice, "\u4e66", AnchoredSearch | BackwardsSearch), (Range{7, 1}));
    EXPECT_EQ(rangeOfString(twice, "AB"), notFound());
    EXPECT_EQ(rangeOfString(twice, "AB", CaseInsensitiveSearch), (Range{4, 2}));
    EXPECT_EQ(rangeOfString(twice, "\u8bfb", 0, {1, 7}), (Range{6, 1}));
    EXPECT_EQ(rangeOfString(twice, "b", 0, {1, 4}), notFound());
    EXPECT_EQ(rangeOfString(twice, ""), notFound());
    EXPECT_THROW(rangeOfString(twice, "a", 0, {7, 2}), Exception);

    // Without LiteralSearch canonically equivalent spellings match, and a match keeps a character's
    // combining marks whole.
    const std::string decomposed = "cafe\u0301!";
    EXPECT_EQ(rangeOfString(decomposed, "caf\u00e9"), (Range{0, 5}));
    EXPECT_EQ(rangeOfString(decomposed, "caf\u00e9", LiteralSearch), notFound());
    EXPECT_EQ(rangeOfString(decomposed, "e"), notFound());
    EXPECT_EQ(rangeOfString(decomposed, "e", LiteralSearch), (Range{3, 1}));
    EXPECT_EQ(rangeOfString("\u00c9t\u00e9", "E\u0301T", CaseInsensitiveSearch), (Range{0, 2}));
    // Full case folding: "ß" is "ss", and half of it is no match.
    EXPECT_EQ(rangeOfString("Stra\u00dfe", "STRASSE", CaseInsensitiveSearch), (Range{0, 6}));
    EXPECT_EQ(rangeOfString("Stra\u00dfe", "as", CaseInsensitiveSearch), notFound());

    const CharacterSet digits = CharacterSet::decimalDigitCharacterSet();
    EXPECT_EQ(rangeOfCharacterFromSet("\U0001F600a1b2", digits), (Range{3, 1}));
    EXPECT_EQ(rangeOfCharacterFromSet("\U0001F600a1b2", digits, BackwardsSearch), (Range{5, 1}));
    EXPECT_EQ(rangeOfCharacterFromSet("a1", digits, AnchoredSearch), notFound());
    EXPECT_EQ(rangeOfCharacterFromSet("\U0001F600a", CharacterSet::characterSetWithCharactersInString("\U0001F600")),
              (Range{0, 2}));
}

TEST(Text, ReplacesSplitsAndComparesEnds) {
    EXPECT_EQ(stringByReplacingOccurrencesOfString("banana", "a", "\u00e4"), "b\u00e4n\u00e4n\u00e4");
    EXPECT_EQ(stringByReplacingOccurrencesOfString("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(stringByReplacingOccurrencesOfString("aaa", "aa", "b", BackwardsSearch), "ab");
    EXPECT_EQ(stringByReplacingOccurrencesOfString("Ab ab AB", "ab", "x", CaseInsensitiveSearch), "x x x");
    EXPECT_EQ(stringByReplacingOccurrencesOfString(books + "a", "a", "-", 0, Range{0, 5}),
              "\u8bfb\u4e66\U0001F600-ba");
    EXPECT_EQ(stringByReplacingOccurrencesOfString("abc", "", "x"), "abc");

    using Pieces = std::vector<std::string>;
    EXPECT_EQ(componentsSeparatedByString("a=1&b=&&c", "&"), (Pieces{"a=1", "b=", "", "c"}));
    EXPECT_EQ(componentsSeparatedByString("&a&", "&"), (Pieces{"", "a", ""}));
    EXPECT_EQ(componentsSeparatedByString("\u8bfb\U0001F600\u4e66", "\U0001F600"), (Pieces{"\u8bfb", "\u4e66"}));
    EXPECT_EQ(componentsSeparatedByString("abc", ""), (Pieces{"abc"}));
    EXPECT_EQ(componentsSeparatedByString("", ","), (Pieces{""}));

    EXPECT_TRUE(hasPrefix(books, "\u8bfb"));
    EXPECT_TRUE(hasSuffix(books, "\U0001F600ab"));
    EXPECT_FALSE(hasPrefix(books, "\u4e66"));
    EXPECT_FALSE(hasPrefix(books, ""));
    EXPECT_FALSE(hasSuffix(books, ""));
    EXPECT_FALSE(hasSuffix("b", "ab"));
}

TEST(Text, MapsCase) {
    EXPECT_EQ(uppercaseString("stra\u00dfe \u00e9t\u00e9 \u8bfb"), "STRASSE \u00c9T\u00c9 \u8bfb");
    EXPECT_EQ(lowercaseString("\u00c9T\u00c9 ABC \u0130"), "\u00e9t\u00e9 abc i\u0307");
    // Final sigma lower-cases by context.
    EXPECT_EQ(lowercaseString("\u039f\u0394\u039f\u03a3"), "\u03bf\u03b4\u03bf\u03c2");
    EXPECT_EQ(capitalizedString("hello wORLD\tfoo-bar\n3rd (x) \u01c6ungla \u00dfa"),
              "Hello World\tFoo-bar\n3rd (x) \u01c5ungla Ssa");
    EXPECT_EQ(capitalizedString(""), "");
    // Names of protocols change ASCII letters only: other bytes, UTF-8 included, stay as they are.
    EXPECT_EQ(lowercasedASCII("Content-TYPE \u00c9[Z]@"), "content-type \u00c9[z]@");
    EXPECT_TRUE(equalsIgnoringASCIICase("Set-Cookie", "sET-cOOKIE"));
    EXPECT_FALSE(equalsIgnoringASCIICase("\u00c9", "\u00e9"));
    EXPECT_FALSE(equalsIgnoringASCIICase("Host", "Hosts"));
    EXPECT_FALSE(equalsIgnoringASCIICase("[", "{"));  // 0x5B and 0x7B differ by the case bit only
}

TEST(Text, TrimsByCharacterSets) {
    const CharacterSet blanks = CharacterSet::whitespaceCharacterSet();
    const CharacterSet blanksAndLines = CharacterSet::whitespaceAndNewlineCharacterSet();
    EXPECT_EQ(stringByTrimmingCharactersInSet("\t a b \n", blanks), "a b \n");
    EXPECT_EQ(stringByTrimmingCharactersInSet("\t a b \n", blanksAndLines), "a b");
    EXPECT_EQ(stringByTrimmingCharactersInSet("\u3000\u00a0\u8bfb\u2028", blanksAndLines), "\u8bfb");
    EXPECT_EQ(stringByTrimmingCharactersInSet(" \n ", blanksAndLines), "");
    EXPECT_EQ(stringByTrimmingCharactersInSet("\U0001F600x\U0001F600",
                                              CharacterSet::characterSetWithCharactersInString("\U0001F600")),
              "x");
    // Nothing to trim: the text comes back whole, Chinese inside included; malformed bytes inside are
    // still replaced as in every other text.
    EXPECT_EQ(stringByTrimmingCharactersInSet("img/q1 \u8bfb.png", blanksAndLines), "img/q1 \u8bfb.png");
    EXPECT_EQ(stringByTrimmingCharactersInSet("a\xff b", blanksAndLines), "a\ufffd b");
    EXPECT_EQ(stringByTrimmingCharactersInSet("", blanksAndLines), "");
    EXPECT_EQ(stringByTrimmingCharactersInSet("x", CharacterSet::characterSetWithCharactersInString("x")), "");
}

TEST(CharacterSet, StandardSetsAndMutation) {
    auto is = [](const CharacterSet& set, char32_t c) { return set.longCharacterIsMember(c); };
    const CharacterSet ws = CharacterSet::whitespaceCharacterSet();
    const CharacterSet wsnl = CharacterSet::whitespaceAndNewlineCharacterSet();
    EXPECT_TRUE(is(ws, '\t') && is(ws, ' ') && is(ws, 0x3000) && is(ws, 0xA0));
    EXPECT_FALSE(is(ws, '\n') || is(ws, 0x2028));
    EXPECT_TRUE(is(wsnl, '\n') && is(wsnl, '\r') && is(wsnl, 0x85) && is(wsnl, 0x2029) && is(wsnl, '\t'));
    EXPECT_TRUE(is(CharacterSet::decimalDigitCharacterSet(), 0x0663));  // Arabic-Indic three
    EXPECT_FALSE(is(CharacterSet::decimalDigitCharacterSet(), 0x00B2));  // superscript two
    EXPECT_TRUE(is(CharacterSet::letterCharacterSet(), 0x8BFB) && is(CharacterSet::letterCharacterSet(), 0x0301));
    EXPECT_TRUE(is(CharacterSet::alphanumericCharacterSet(), 0x00B2));
    EXPECT_TRUE(is(CharacterSet::punctuationCharacterSet(), 0x3002));
    EXPECT_FALSE(is(CharacterSet::punctuationCharacterSet(), '+'));
    EXPECT_FALSE(is(ws, 0x110000));

    CharacterSet set = CharacterSet::characterSetWithCharactersInString("ab\u8bfb");
    const CharacterSet copy = set;
    set.removeCharactersInString("a");
    set.addCharactersInRange({'0', 10});
    EXPECT_FALSE(is(set, 'a'));
    EXPECT_TRUE(is(set, 'b') && is(set, '9') && is(set, 0x8BFB));
    EXPECT_TRUE(is(copy, 'a'));
    EXPECT_FALSE(is(copy, '9'));
    const CharacterSet inverted = copy.invertedSet();
    EXPECT_FALSE(is(inverted, 'a'));
    EXPECT_TRUE(is(inverted, 'c') && is(inverted, 0x1F600));
    EXPECT_EQ(inverted.invertedSet(), copy);
    set.formIntersectionWithCharacterSet(CharacterSet::decimalDigitCharacterSet());
    EXPECT_EQ(set, CharacterSet::characterSetWithRange({'0', 10}));
    set.formUnionWithCharacterSet(set);
    EXPECT_EQ(set, CharacterSet::characterSetWithRange({'0', 10}));
    EXPECT_TRUE(CharacterSet().isEmpty());
}

TEST(CharacterSet, URLComponentSetsHoldExactlyTheirCharacters) {
    auto printableMembers = [](const CharacterSet& set) {
        std::string out;
        for (char c = '!'; c <= '~'; ++c)
            if (!std::isalnum(static_cast<unsigned char>(c)) && set.longCharacterIsMember(static_cast<char32_t>(c)))
                out += c;
        for (char32_t c : {U' ', U'\u00e9', U'\u8bfb', U'\0'})
            if (set.longCharacterIsMember(c)) out += "<other>";
        for (char c = '0'; c <= 'z'; ++c)
            if (std::isalnum(static_cast<unsigned char>(c)) && !set.longCharacterIsMember(static_cast<char32_t>(c)))
                out += "<missing alphanumeric>";
        return out;
    };
    EXPECT_EQ(printableMembers(CharacterSet::URLUserAllowedCharacterSet()), "!$&'()*+,-.;=_~");
    EXPECT_EQ(printableMembers(CharacterSet::URLPasswordAllowedCharacterSet()), "!$&'()*+,-.;=_~");
    EXPECT_EQ(printableMembers(CharacterSet::URLHostAllowedCharacterSet()), "!$&'()*+,-.:;=[]_~");
    EXPECT_EQ(printableMembers(CharacterSet::URLPathAllowedCharacterSet()), "!$&'()*+,-./:=@_~");
    EXPECT_EQ(printableMembers(CharacterSet::URLQueryAllowedCharacterSet()), "!$&'()*+,-./:;=?@_~");
    EXPECT_EQ(printableMembers(CharacterSet::URLFragmentAllowedCharacterSet()), "!$&'()*+,-./:;=?@_~");
}

TEST(Text, ComposedCharacterSequences) {
    // a, 👍🏽 (thumbs up + skin tone), 🇨🇳 (two regional indicators), e + combining acute, 👨‍👩‍👧 (joined by ZWJ), 读
    const std::string text = "a\U0001F44D\U0001F3FD\U0001F1E8\U0001F1F3e\u0301"
                             "\U0001F468\u200D\U0001F469\u200D\U0001F467\u8bfb";
    ASSERT_EQ(utf16Length(text), 20u);
    const std::pair<std::uint64_t, Range> cases[] = {
        {0, {0, 1}}, {1, {1, 4}}, {3, {1, 4}}, {4, {1, 4}},    {5, {5, 4}},  {8, {5, 4}},
        {9, {9, 2}}, {10, {9, 2}}, {11, {11, 8}}, {14, {11, 8}}, {18, {11, 8}}, {19, {19, 1}},
    };
    for (const auto& [index, expected] : cases)
        EXPECT_EQ(rangeOfComposedCharacterSequenceAtIndex(text, index), expected) << "at " << index;
    EXPECT_THROW(rangeOfComposedCharacterSequenceAtIndex(text, 20), Exception);

    EXPECT_EQ(rangeOfComposedCharacterSequencesForRange(text, {2, 4}), (Range{1, 8}));
    EXPECT_EQ(rangeOfComposedCharacterSequencesForRange(text, {0, 1}), (Range{0, 1}));
    EXPECT_EQ(rangeOfComposedCharacterSequencesForRange(text, {10, 0}), (Range{9, 0}));
    EXPECT_EQ(rangeOfComposedCharacterSequencesForRange(text, {20, 0}), (Range{20, 0}));
    EXPECT_EQ(rangeOfComposedCharacterSequencesForRange(text, {12, 8}), (Range{11, 9}));
}

TEST(Text, PercentEncoding) {
    CharacterSet query = CharacterSet::URLQueryAllowedCharacterSet();
    query.removeCharactersInString(":#[]@!$&'()*+,;=");
    const std::pair<const char*, const char*> table[] = {
        {"a b", "a%20b"},
        {"1+1=2", "1%2B1%3D2"},
        {"x&y", "x%26y"},
        {"caf\u00e9", "caf%C3%A9"},
        {"\U0001F600", "%F0%9F%98%80"},
        {"\u8bfb\u4e66", "%E8%AF%BB%E4%B9%A6"},
        {"a/b?c~d-e_f.g", "a/b?c~d-e_f.g"},
        {"100%", "100%25"},
        {"#[x]@", "%23%5Bx%5D%40"},
        {"\n", "%0A"},
        {"", ""},
    };
    for (const auto& [plain, escaped] : table) {
        EXPECT_EQ(stringByAddingPercentEncodingWithAllowedCharacters(plain, query), escaped);
        EXPECT_EQ(stringByRemovingPercentEncoding(escaped), plain);
    }
    EXPECT_EQ(stringByAddingPercentEncodingWithAllowedCharacters("a\xFF", query), "a%EF%BF%BD");
    EXPECT_EQ(stringByAddingPercentEncodingWithAllowedCharacters("\u8bfb a", CharacterSet::letterCharacterSet()),
              "\u8bfb%20a");

    EXPECT_EQ(stringByRemovingPercentEncoding("%e8%af%bb+"), "\u8bfb+");
    for (const char* bad : {"%", "%2", "100%", "%zz", "%G0", "%FF", "%E8%AF", "%C0%80"})
        EXPECT_EQ(stringByRemovingPercentEncoding(bad), std::nullopt) << bad;
}

TEST(Text, PathComponents) {
    const std::tuple<const char*, const char*, const char*> table[] = {
        // path, last component, extension
        {"/tmp/scratch.tiff", "scratch.tiff", "tiff"},
        {"/tmp/a.tar.gz/", "a.tar.gz", "gz"},
        {"dir//file.", "file.", ""},
        {"/tmp/", "tmp", ""},
        {"/", "/", ""},
        {"///", "/", ""},
        {"", "", ""},
        {".hidden", ".hidden", ""},
        {"/x/.hidden.txt", ".hidden.txt", "txt"},
        {"http://h/a/b.jpg?w=1", "b.jpg?w=1", "jpg?w=1"},
        {"\u8bfb\u4e66.\u6587", "\u8bfb\u4e66.\u6587", "\u6587"},
    };
    for (const auto& [path, last, extension] : table) {
        EXPECT_EQ(lastPathComponent(path), last) << path;
        EXPECT_EQ(pathExtension(path), extension) << path;
    }
}

TEST(Text, ConvertsAndValidatesUtf8OfEveryLengthAtAnyAlignment) {
    // Random texts of ASCII runs (long enough to be read a word at a time) and characters of two, three and
    // four bytes, against their UTF-16 units written from the code points.
    std::mt19937 random(11);
    const char32_t samples[] = {U'a', U'~', U'\u00e9', U'\u07ff', U'\u0800', U'\u4e66', U'\ud7ff', U'\ue000', U'\uffff', U'\U00010000', U'\U0001F600', U'\U0010FFFF'};
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        std::u16string units;
        const int pieces = static_cast<int>(random() % 12);
        for (int p = 0; p < pieces; ++p) {
            if (random() % 2) {
                const std::size_t run = random() % 20;
                for (std::size_t k = 0; k < run; ++k) {
                    const char c = static_cast<char>('0' + random() % 70);
                    bytes += c;
                    units += static_cast<char16_t>(c);
                }
                continue;
            }
            const char32_t cp = samples[random() % std::size(samples)];
            bytes += fromUTF16(cp >= 0x10000 ? std::u16string{static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)),
                                                              static_cast<char16_t>(0xDC00 + (cp & 0x3FF))}
                                             : std::u16string(1, static_cast<char16_t>(cp)));
            if (cp >= 0x10000) {
                units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                units += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            } else {
                units += static_cast<char16_t>(cp);
            }
        }
        ASSERT_TRUE(isValidUTF8(bytes)) << bytes;
        ASSERT_EQ(toUTF16(bytes), units) << bytes;
        // Malformed anywhere, after a word-sized ASCII run included, the text is invalid and the bad bytes
        // read as U+FFFD while the rest stays.
        for (const std::string bad : {"\xC0\x80", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5", "\x80", "\xE4\xB9"}) {
            const std::size_t at = bytes.empty() ? 0 : random() % bytes.size();
            if (at < bytes.size() && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80) continue;
            const std::string broken = bytes.substr(0, at) + "01234567" + bad + bytes.substr(at);
            EXPECT_FALSE(isValidUTF8(broken));
            const std::u16string read = toUTF16(broken);
            EXPECT_NE(read.find(u'\uFFFD'), std::u16string::npos);
            EXPECT_EQ(read.substr(0, utf16Length(bytes.substr(0, at)) + 8), toUTF16(bytes.substr(0, at)) + u"01234567");
        }
    }
}

TEST(Text, AgreesWithICUOnEverySequenceBetweenRunsOfEitherKind) {
    // Every lead byte with second bytes at each edge of the ranges that decide well-formedness and a few
    // third and fourth bytes, placed after ASCII runs that end before, at and after a word's size, then
    // followed by plain three-byte characters and more ASCII: each walk hands over between its loops at
    // every such point. ICU's own decoder says what is well-formed and what the units are.
    const auto icuUnits = [](std::string_view bytes, int32_t& substitutions) {
        std::u16string units(bytes.size(), u'\0');
        int32_t length = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8WithSub(units.data(), static_cast<int32_t>(units.size()), &length, bytes.data(),
                             static_cast<int32_t>(bytes.size()), 0xFFFD, &substitutions, &status);
        EXPECT_TRUE(U_SUCCESS(status));
        units.resize(static_cast<std::size_t>(length));
        return units;
    };
    const unsigned char seconds[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
    const unsigned char laters[] = {0x41, 0x80, 0xBF, 0xC0};
    const std::string ascii = "abcdefghij";
    int checked = 0;
    for (int lead = 0; lead < 0x100; ++lead) {
        for (unsigned char second : seconds) {
            for (unsigned char third : laters) {
                for (unsigned char fourth : laters) {
                    const std::string sequence{static_cast<char>(lead), static_cast<char>(second), static_cast<char>(third),
                                               static_cast<char>(fourth)};
                    for (std::size_t before : {0, 1, 7, 8, 9}) {
                        for (std::size_t after : {0, 2, 9}) {
                            const std::string text = ascii.substr(0, before) + sequence + "\u4e66\u8bfb" + ascii.substr(0, after);
                            int32_t substitutions = 0;
                            const std::u16string expected = icuUnits(text, substitutions);
                            ASSERT_EQ(isValidUTF8(text), substitutions == 0) << lead << ' ' << int(second) << ' ' << before;
                            ASSERT_EQ(toUTF16(text), expected) << lead << ' ' << int(second) << ' ' << before;
                            ++checked;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(checked, 0x100 * 11 * 4 * 4 * 5 * 3);
    // Texts cut short inside a sequence, and texts of every length around a word's size in each kind.
    for (std::string_view cut : {"\xE4", "\xE4\xB9", "\xF0\x9F\x98", "\xC3"}) {
        for (std::size_t before = 0; before <= 9; ++before) {
            const std::string text = ascii.substr(0, before) + std::string(cut);
            EXPECT_FALSE(isValidUTF8(text)) << before;
            int32_t substitutions = 0;
            EXPECT_EQ(toUTF16(text), icuUnits(text, substitutions)) << before;
        }
    }
    for (std::string_view unit : {"a", "\u00e9", "\u4e66", "\U0001F600"}) {
        std::string text;
        for (int count = 0; count <= 17; ++count, text += unit) {
            int32_t substitutions = 0;
            EXPECT_TRUE(isValidUTF8(text));
            EXPECT_EQ(toUTF16(text), icuUnits(text, substitutions)) << count;
        }
    }
}
