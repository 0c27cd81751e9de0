#include <gtest/gtest.h>

#include "platform/foundation/Exception.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/ui/Font.h"
#include "richtext/RichTextFontDescriptor.h"

using namespace ql;

namespace {

std::shared_ptr<RichTextFontDescriptor> descriptor(std::optional<std::string> family, double size, bool bold = false, bool italic = false) {
    auto made = std::make_shared<RichTextFontDescriptor>();
    made->setFontFamily(std::move(family));
    made->setPointSize(size);
    made->setBoldTrait(bold);
    made->setItalicTrait(italic);
    return made;
}

TEST(RichTextFontDescriptorTests, ValuesTraitsAndCSS) {
    RichTextFontDescriptor font;
    EXPECT_EQ(font.pointSize(), 12);
    font.setPointSize(13.5);
    EXPECT_EQ(font.pointSize(), 14);
    font.setPointSize(12.4);
    EXPECT_EQ(font.pointSize(), 12);
    font.setBoldTrait(true);
    font.setMonospaceTrait(true);
    EXPECT_EQ(font.stylisticTraits(), ct::FontBoldTrait | ct::FontMonoSpaceTrait);
    font.setMonospaceTrait(false);
    font.setSymbolicTraits(0x30000002u);
    EXPECT_EQ(font.stylisticTraits(), 2u);
    EXPECT_EQ(font.stylisticClass(), 0x30000000u);
    EXPECT_EQ(font.symbolicTraits(), 0x30000002u);
    font.setFontFamily("Helvetica");
    font.setStylisticClass(0);
    EXPECT_FALSE(font.fontFamily());

    const auto helvetica = descriptor("Helvetica", 12.4, true);
    EXPECT_EQ(helvetica->cssStyleRepresentation().value_or(""), "font-family:'Helvetica';font-size:12px;font-weight:bold;");
    EXPECT_EQ(helvetica->description(), "<RichTextFontDescriptor family='Helvetica' size:12 attributes= bold>");

    const auto named = descriptor("Helvetica", 12.4, true);
    EXPECT_TRUE(helvetica->isEqual(*named));
    EXPECT_EQ(helvetica->hash(), named->hash());
    named->setFontName("Helvetica-Bold");
    EXPECT_FALSE(helvetica->isEqual(*named));

    helvetica->setSmallCapsFeature(true);
    auto copied = std::static_pointer_cast<RichTextFontDescriptor>(helvetica->copy());
    EXPECT_TRUE(copied->isEqual(*helvetica));
    EXPECT_TRUE(copied->smallCapsFeature());

    named->setItalicTrait(true);
    named->setCondensedTrait(true);
    const auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(named), nullptr);
    ASSERT_TRUE(data);
    auto restored = ns::KeyedUnarchiver::unarchiveObjectWithData(*data, nullptr).asObject<RichTextFontDescriptor>();
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->fontName().value_or(""), "Helvetica-Bold");
    EXPECT_EQ(restored->fontFamily().value_or(""), "Helvetica");
    EXPECT_TRUE(restored->boldTrait());
    EXPECT_TRUE(restored->italicTrait());
    EXPECT_FALSE(restored->condensedTrait());
    EXPECT_EQ(restored->pointSize(), 0);
}

TEST(RichTextFontDescriptorTests, MatchesFamiliesTraitsOverridesAndFallback) {
    const auto bold = descriptor("DejaVu Serif", 14, true)->newMatchingFont();
    ASSERT_TRUE(bold);
    EXPECT_EQ(bold->familyName(), "DejaVu Serif");
    EXPECT_TRUE(bold->symbolicTraits() & ct::FontBoldTrait);
    EXPECT_FALSE(bold->symbolicTraits() & ct::FontItalicTrait);
    EXPECT_EQ(bold->pointSize(), 14);

    // Equal descriptors share one view-layer font object, which holds the same font.
    const ns::Value boxed = descriptor("DejaVu Serif", 14, true)->matchingFontObject();
    ASSERT_TRUE(boxed.asObject<ui::Font>());
    EXPECT_EQ(boxed.asObject<ui::Font>()->ctFont().fontName(), bold->fontName());
    EXPECT_EQ(descriptor("DejaVu Serif", 14, true)->matchingFontObject().asObject<ui::Font>(), boxed.asObject<ui::Font>());
    EXPECT_NE(descriptor("DejaVu Serif", 15, true)->matchingFontObject().asObject<ui::Font>(), boxed.asObject<ui::Font>());

    const auto italic = descriptor("DejaVu Serif", 14, false, true)->newMatchingFont();
    ASSERT_TRUE(italic);
    EXPECT_TRUE(italic->symbolicTraits() & ct::FontItalicTrait);
    EXPECT_TRUE(italic->matrix() == cg::AffineTransform::identity());

    // A family without the bold face gives its own face; without an italic one, a slanted copy.
    const auto math = descriptor("DejaVu Math TeX Gyre", 10, true, true)->newMatchingFont();
    ASSERT_TRUE(math);
    EXPECT_EQ(math->familyName(), "DejaVu Math TeX Gyre");
    EXPECT_DOUBLE_EQ(math->matrix().c, 0.25);

    // An unknown family goes to the fallback family.
    const auto unknown = descriptor("No Such Family", 11, true)->newMatchingFont();
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->familyName(), RichTextFontDescriptor::fallbackFontFamily());
    EXPECT_EQ(RichTextFontDescriptor::fallbackFontFamily(), "Times New Roman");

    RichTextFontDescriptor::setOverrideFontName("DejaVuSans-Bold", "Quill Test", true, false);
    RichTextFontDescriptor::setSmallCapsFontName("DejaVuSerif", "Quill Test", true, false);
    EXPECT_EQ(RichTextFontDescriptor::overrideFontName("Quill Test", true, false).value_or(""), "DejaVuSans-Bold");
    EXPECT_FALSE(RichTextFontDescriptor::overrideFontName("Quill Test", false, false));
    const auto overridden = descriptor("Quill Test", 12, true);
    EXPECT_EQ(overridden->newMatchingFont()->fontName(), "DejaVuSans-Bold");
    // Small caps take their own override, and the cache tells the two requests apart.
    overridden->setSmallCapsFeature(true);
    EXPECT_EQ(overridden->newMatchingFont()->fontName(), "DejaVuSerif");

    // Each family keeps its own face once both are cached.
    const auto a = descriptor("DejaVu Sans", 12);
    const auto b = descriptor("DejaVu Serif", 12);
    EXPECT_EQ(a->newMatchingFont()->familyName(), "DejaVu Sans");
    EXPECT_EQ(b->newMatchingFont()->familyName(), "DejaVu Serif");
}

TEST(RichTextFontDescriptorTests, FallbackFamilyMustBeInstalled) {
    try {
        RichTextFontDescriptor::setFallbackFontFamily("");
        ADD_FAILURE() << "an empty family was taken";
    } catch (const ns::Exception& exception) {
        EXPECT_EQ(exception.name(), RichTextFontDescriptorException);
        EXPECT_EQ(exception.reason(), "Fallback Font Family cannot be nil");
    }
    try {
        RichTextFontDescriptor::setFallbackFontFamily("No Such Family");
        ADD_FAILURE() << "an unknown family was taken";
    } catch (const ns::Exception& exception) {
        EXPECT_EQ(exception.reason(), "Fallback Font Family 'No Such Family' not registered on the system");
    }
    EXPECT_EQ(RichTextFontDescriptor::fallbackFontFamily(), "Times New Roman");
    RichTextFontDescriptor::setFallbackFontFamily("DejaVu Sans");
    EXPECT_EQ(descriptor("No Such Family", 12)->newMatchingFont()->familyName(), "DejaVu Sans");
    RichTextFontDescriptor::setFallbackFontFamily("Times New Roman");
    EXPECT_EQ(descriptor("No Such Family", 12)->newMatchingFont()->familyName(), "Times New Roman");

    const auto font = ct::Font::withName("DejaVuSerif-Bold", 16.6);
    const RichTextFontDescriptor fromFont(font);
    EXPECT_EQ(fromFont.fontName().value_or(""), "DejaVuSerif-Bold");
    EXPECT_EQ(fromFont.fontFamily().value_or(""), "DejaVu Serif");
    EXPECT_TRUE(fromFont.boldTrait());
    EXPECT_EQ(fromFont.pointSize(), 17);
}

}  // namespace
