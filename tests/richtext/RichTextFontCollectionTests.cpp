#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "richtext/RTLog.h"
#include "richtext/RTTextConversions.h"
#include "richtext/RichTextFontCollection.h"

using namespace ql;

namespace {

TEST(RTTextConversionsTests, AlignmentsMapBothWaysAndUnknownOnesAreReported) {
    const std::vector<std::pair<ui::TextAlignment, ct::TextAlignment>> pairs{
        {ui::TextAlignment::Left, ct::TextAlignment::Left},           {ui::TextAlignment::Center, ct::TextAlignment::Center},
        {ui::TextAlignment::Right, ct::TextAlignment::Right},         {ui::TextAlignment::Justified, ct::TextAlignment::Justified},
        {ui::TextAlignment::Natural, ct::TextAlignment::Natural},
    };
    for (const auto& [platform, typesetting] : pairs) {
        EXPECT_EQ(RTNSTextAlignmentToCTTextAlignment(platform), typesetting);
        EXPECT_EQ(RTNSTextAlignmentFromCTTextAlignment(typesetting), platform);
    }

    std::vector<std::string> errors;
    RTSetLogHook([&](int level, std::string_view message) {
        if (level == RTLogLevelError) errors.emplace_back(message);
    });
    EXPECT_EQ(RTNSTextAlignmentToCTTextAlignment(static_cast<ui::TextAlignment>(7)), ct::TextAlignment::Left);
    RTSetLogHook(nullptr);
    EXPECT_EQ(errors, std::vector<std::string>{"Unknown alignment 7"});
    EXPECT_EQ(static_cast<int>(RTNSTextAlignmentFromCTTextAlignment(static_cast<ct::TextAlignment>(7))), 7);
}

TEST(RTTextConversionsTests, TruncationAndRounding) {
    EXPECT_EQ(RTNSLineBreakModeToCTLineTruncationType(ui::LineBreakMode::TruncatingHead), ct::LineTruncationType::Start);
    EXPECT_EQ(RTNSLineBreakModeToCTLineTruncationType(ui::LineBreakMode::TruncatingMiddle), ct::LineTruncationType::Middle);
    for (ui::LineBreakMode mode : {ui::LineBreakMode::WordWrapping, ui::LineBreakMode::CharWrapping, ui::LineBreakMode::Clipping,
                                   ui::LineBreakMode::TruncatingTail})
        EXPECT_EQ(RTNSLineBreakModeToCTLineTruncationType(mode), ct::LineTruncationType::End);

    EXPECT_DOUBLE_EQ(RTRoundToScale(10.25, 2), 10.5);
    EXPECT_DOUBLE_EQ(RTRoundToScale(-10.25, 2), -10.5);
    EXPECT_DOUBLE_EQ(RTRoundToScale(10.2, 2), 10);
    EXPECT_DOUBLE_EQ(RTCeilToScale(10.1, 2), 10.5);
    EXPECT_DOUBLE_EQ(RTCeilToScale(10.1, 3), 31.0 / 3);

    const ui::Font font(ct::Font::withName("Helvetica-Bold", 17));
    const ct::Font made = RTCTFontCreateWithUIFont(font);
    EXPECT_EQ(made.fontName(), "Helvetica-Bold");
    EXPECT_DOUBLE_EQ(made.pointSize(), 17);
}

TEST(RichTextFontCollectionTests, ListsTheFontsAndFindsThemByFamilyPrefixAndTraits) {
    RichTextFontCollection collection;
    const auto descriptors = collection.fontDescriptors();
    ASSERT_FALSE(descriptors.empty());
    const std::vector<std::string> families = collection.fontFamilyNames();
    EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
    EXPECT_EQ(std::adjacent_find(families.begin(), families.end()), families.end());
    EXPECT_NE(std::find(families.begin(), families.end(), "Helvetica"), families.end());

    RichTextFontDescriptor request;
    request.setFontFamily("helv");
    request.setBoldTrait(true);
    request.setPointSize(20);
    const auto bold = collection.matchingFontDescriptorForFontDescriptor(request);
    ASSERT_TRUE(bold);
    EXPECT_TRUE(bold->fontFamily()->starts_with("Helvetica"));
    EXPECT_TRUE(bold->boldTrait());
    EXPECT_FALSE(bold->italicTrait());
    EXPECT_DOUBLE_EQ(bold->pointSize(), 20);

    // Again at another size: the cached face, as a copy of that size.
    request.setPointSize(30);
    const auto again = collection.matchingFontDescriptorForFontDescriptor(request);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->fontName(), bold->fontName());
    EXPECT_DOUBLE_EQ(again->pointSize(), 30);
    EXPECT_NE(again, bold);

    request.setFontFamily("H\u00E9LV");  // accents and case do not count
    const auto accented = collection.matchingFontDescriptorForFontDescriptor(request);
    ASSERT_TRUE(accented);
    EXPECT_TRUE(accented->fontFamily()->starts_with("Helvetica"));

    request.setFontFamily("No Such Family");
    EXPECT_EQ(collection.matchingFontDescriptorForFontDescriptor(request), nullptr);
    EXPECT_EQ(RichTextFontCollection::availableFontsCollection(), RichTextFontCollection::availableFontsCollection());
}

}  // namespace
