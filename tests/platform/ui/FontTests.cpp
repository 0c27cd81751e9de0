#include <gtest/gtest.h>

#include "platform/foundation/Class.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Font.h"

namespace ql::ui {
namespace {

TEST(UIFont, SystemAndNamedFonts) {
    auto system = Font::systemFontOfSize(14);
    EXPECT_EQ(system->pointSize(), 14);
    EXPECT_EQ(system->fontName(), ".SystemUI-Regular");
    auto bold = Font::boldSystemFontOfSize(14);
    auto italic = Font::italicSystemFontOfSize(14);
    EXPECT_EQ(bold->familyName(), system->familyName());
    EXPECT_TRUE(bold->ctFont().symbolicTraits() & ct::FontBoldTrait);
    EXPECT_TRUE(italic->ctFont().symbolicTraits() & ct::FontItalicTrait);

    auto helvetica = Font::fontWithName("Helvetica-Bold", 19);
    ASSERT_TRUE(helvetica);
    EXPECT_EQ(helvetica->fontName(), "Helvetica-Bold");
    EXPECT_EQ(helvetica->familyName(), "Helvetica");
    EXPECT_FALSE(Font::fontWithName("Wingdingbats", 19));

    EXPECT_GT(system->ascender(), 0);
    EXPECT_LT(system->descender(), 0);
    EXPECT_DOUBLE_EQ(system->lineHeight(), system->ascender() - system->descender() + system->leading());
    EXPECT_LT(system->xHeight(), system->capHeight());
    auto larger = system->fontWithSize(28);
    EXPECT_EQ(larger->fontName(), system->fontName());
    EXPECT_DOUBLE_EQ(larger->lineHeight(), 2 * system->lineHeight());
}

TEST(UIFont, IsAnObjectOfThePlatformClass) {
    auto font = Font::fontWithName("Courier", 12);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->className(), "UIFont");
    const ns::Class* cls = ns::Class::named("UIFont");
    ASSERT_NE(cls, nullptr);
    EXPECT_TRUE(font->isKindOfClass(*cls));
    EXPECT_FALSE(cls->canCreateInstances());

    EXPECT_TRUE(font->isEqual(*Font::fontWithName("Courier", 12)));
    EXPECT_FALSE(font->isEqual(*Font::fontWithName("Courier", 13)));
    EXPECT_FALSE(font->isEqual(*Font::fontWithName("Courier-Bold", 12)));
    EXPECT_EQ(font->copy(), font);
    EXPECT_EQ(ns::Value(font).asObject<Font>(), font);
    const std::string description = font->description();
    EXPECT_EQ(description.substr(0, 8), "<UIFont:");
    EXPECT_NE(description.find("font-family: \"Courier\"; font-weight: normal; font-style: normal; font-size: 12.00pt"),
              std::string::npos);
    EXPECT_NE(Font::boldSystemFontOfSize(9)->description().find("font-weight: bold"), std::string::npos);
}

}  // namespace
}  // namespace ql::ui
