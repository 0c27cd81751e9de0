#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Calendar.h"
#include "platform/foundation/DataDetector.h"
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
