#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/Calendar.h"
#include "platform/foundation/DataDetector.h"
#include "platform/foundation/RegularExpression.h"
#include "platform/foundation/Text.h"

namespace ql::ns {
namespace {

std::string found(const std::string& text, const TextCheckingResult& result) {
    const std::u16string utf16 = toUTF16(text);
    return fromUTF16(std::u16string_view(utf16).substr(result.range().location, result.range().length));
}

TEST(DataDetector, FindsEachKindWithItsPayloadInTextOrder) {
    auto detector = DataDetector::dataDetectorWithTypes(TextCheckingTypeLink | TextCheckingTypePhoneNumber |
                                                        TextCheckingTypeAddress | TextCheckingTypeDate |
                                                        TextCheckingTypeTransitInformation);
    ASSERT_TRUE(detector);
    const std::string text =
        "阅读 https://example.org/books?id=7. Call +1 (555) 123-4567 or mail kids@example.org, visit "
        "www.quillory.test; come to 221 Baker Street, London on March 5, 2027 at 3:30 pm or 2027-04-01, "
        "2027年5月6日, on flight UA 123. Not 31 February 2027 and not 12345.";
    auto results = detector->matchesInString(text);
    std::vector<std::string> texts;
    for (const auto& r : results) texts.push_back(found(text, r));
    ASSERT_EQ(texts, (std::vector<std::string>{"https://example.org/books?id=7", "+1 (555) 123-4567", "kids@example.org",
                                               "www.quillory.test", "221 Baker Street, London",
                                               "March 5, 2027 at 3:30 pm", "2027-04-01", "2027年5月6日",
                                               "flight UA 123"}));
    EXPECT_EQ(results[0].resultType, TextCheckingTypeLink);
    EXPECT_EQ(results[0].URL->absoluteString(), "https://example.org/books?id=7");
    EXPECT_EQ(results[1].resultType, TextCheckingTypePhoneNumber);
    EXPECT_EQ(results[1].phoneNumber, "+1 (555) 123-4567");
    EXPECT_EQ(results[2].URL->absoluteString(), "mailto:kids@example.org");
    EXPECT_EQ(results[3].URL->absoluteString(), "http://www.quillory.test");
    EXPECT_EQ(results[4].resultType, TextCheckingTypeAddress);
    EXPECT_EQ(results[4].components["Street"].stringValue(), "221 Baker Street");
    EXPECT_EQ(results[4].components["City"].stringValue(), "London");
    ASSERT_EQ(results[5].resultType, TextCheckingTypeDate);
    DateComponents parts = Calendar::currentCalendar().components(
        CalendarUnitYear | CalendarUnitMonth | CalendarUnitDay | CalendarUnitHour | CalendarUnitMinute, *results[5].date);
    EXPECT_EQ(parts.year, 2027);
    EXPECT_EQ(parts.month, 3);
    EXPECT_EQ(parts.day, 5);
    EXPECT_EQ(parts.hour, 15);
    EXPECT_EQ(parts.minute, 30);
    EXPECT_EQ(results[8].resultType, TextCheckingTypeTransitInformation);
    EXPECT_EQ(results[8].components["Airline"].stringValue(), "UA");
    EXPECT_EQ(results[8].components["Flight"].stringValue(), "123");
    // UTF-16 ranges: the Chinese text before the link counts two code units and a space.
    EXPECT_EQ(results[0].range().location, 3u);
}

TEST(DataDetector, LooksOnlyForItsTypesAndRefusesOthers) {
    auto links = DataDetector::dataDetectorWithTypes(TextCheckingTypeLink);
    ASSERT_TRUE(links);
    auto results = links->matchesInString("call 555-123-4567 or see http://a.test/x");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].resultType, TextCheckingTypeLink);
    // Within a range only.
    EXPECT_TRUE(links->matchesInString("see http://a.test/x", 0, Range{0, 4}).empty());
    Error error("", 0);
    EXPECT_FALSE(DataDetector::dataDetectorWithTypes(TextCheckingTypeSpelling, &error));
    EXPECT_EQ(error.code(), 2048);
    EXPECT_FALSE(DataDetector::dataDetectorWithTypes(0));
}

// Links as one expression (web or mail address, the web form first at each place) finds them, closing
// punctuation left out, to check the detector against.
std::vector<Range> expressionLinks(const std::string& text, Range range) {
    static const auto expression = RegularExpression::regularExpressionWithPattern(
        R"((?:\b(?:https?|ftp)://|\bwww\.)[^\s<>"'\x{3000}-\x{303F}\x{FF00}-\x{FFEF}]+|)"
        R"(\b[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,}\b)");
    const std::u16string utf16 = toUTF16(text);
    std::vector<Range> out;
    for (const TextCheckingResult& match : expression->matchesInString(text, 0, range)) {
        Range r = match.range();
        while (r.length > 0 && std::u16string_view(u".,;:!?)]}'\"").find(utf16[r.end() - 1]) != std::u16string_view::npos)
            --r.length;
        const std::string link = fromUTF16(std::u16string_view(utf16).substr(r.location, r.length));
        const std::string address = link.find("://") != std::string::npos ? link
                                    : link.find('@') != std::string::npos ? "mailto:" + link
                                                                          : "http://" + link;
        if (URL::fromString(address)) out.push_back(r);
    }
    return out;
}

std::vector<Range> detectedLinks(const std::string& text, Range range) {
    static const auto links = DataDetector::dataDetectorWithTypes(TextCheckingTypeLink);
    std::vector<Range> out;
    for (const TextCheckingResult& result : links->matchesInString(text, 0, range)) out.push_back(result.range());
    return out;
}

TEST(DataDetector, LinksAreThoseOfOneExpressionWithoutRetryingEveryPlaceOfALongName) {
    // Texts made of the pieces links are made of, in every order a small generator gives.
    const std::vector<std::string> pieces = {"a", "Zq", "7", "_", ".", "-", "%", "+", "@", " ", "/", ":", "www.",
                                             "http://", "ftp://", "x.co", "com", "\u00e9", "\u4e2d", "\u0301", "\u00a0",
                                             "@b.cd", "m@n.op", ",", "'", "\u3001"};
    std::uint32_t seed = 12345;
    auto random = [&](std::uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    std::size_t compared = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        const std::uint32_t count = random(14);
        for (std::uint32_t i = 0; i < count; ++i) text += pieces[random(static_cast<std::uint32_t>(pieces.size()))];
        const std::uint64_t length = toUTF16(text).size();
        const std::uint64_t from = length > 0 ? random(static_cast<std::uint32_t>(length)) : 0;
        for (Range range : {Range{0, length}, Range{from, length - from}, Range{0, from}}) {
            const std::vector<Range> expected = expressionLinks(text, range);
            ASSERT_EQ(detectedLinks(text, range), expected) << text << " " << range.description();
            compared += expected.size();
        }
    }
    EXPECT_GT(compared, 1000u);
    // A long run of name characters with no address in it, and addresses after one.
    std::string dotted;
    for (int i = 0; i < 50000; ++i) dotted += "a.";
    EXPECT_TRUE(detectedLinks(dotted, {0, dotted.size()}).empty());
    dotted.resize(2000);
    const std::string tail = dotted + "@q.rs " + dotted + " mail x@y.org and www.z.test";
    EXPECT_EQ(detectedLinks(tail, {0, tail.size()}), expressionLinks(tail, {0, tail.size()}));
    EXPECT_EQ(detectedLinks(tail, {0, tail.size()}).size(), 3u);
}

TEST(DataDetector, DigitsOfOtherScriptsAreNotNumbersItReads) {
    auto detector = DataDetector::dataDetectorWithTypes(TextCheckingTypePhoneNumber | TextCheckingTypeAddress |
                                                        TextCheckingTypeDate | TextCheckingTypeTransitInformation);
    ASSERT_TRUE(detector);
    // Fullwidth and Arabic-Indic digits where the forms expect numbers: nothing found, nothing thrown.
    const std::string text = "电话 １３８００００００００，２０２７年５月６日，flight UA ١٢٣ at ٣:٣٠, 2027-0٤-01";
    EXPECT_TRUE(detector->matchesInString(text).empty());
}

}  // namespace
}  // namespace ql::ns
