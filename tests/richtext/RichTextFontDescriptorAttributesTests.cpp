#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/foundation/DispatchQueue.h"
#include "platform/text/FontCatalog.h"
#include "platform/text/FontDescriptorAttributes.h"
#include "richtext/RichTextFontDescriptor.h"

using namespace ql;

namespace {

TEST(RichTextFontDescriptorAttributesTests, AttributesRoundTripWithoutTheFeatureSettings) {
    RichTextFontDescriptor descriptor;
    descriptor.setFontFamily("Helvetica");
    descriptor.setBoldTrait(true);
    descriptor.setPointSize(14);
    descriptor.setSmallCapsFeature(true);
    const ns::Dictionary attributes = descriptor.fontAttributes();
    EXPECT_EQ(attributes[ct::FontFamilyNameAttribute].stringValue(), "Helvetica");
    EXPECT_TRUE(attributes[ct::FontNameAttribute].isNil());
    EXPECT_DOUBLE_EQ(attributes[ct::FontSizeAttribute].doubleValue(), 14);
    ASSERT_TRUE(attributes[ct::FontTraitsAttribute].asDictionary());
    EXPECT_EQ((*attributes[ct::FontTraitsAttribute].asDictionary())[ct::FontSymbolicTrait].uint64Value(), 2u);
    const ns::Array* features = attributes[ct::FontFeatureSettingsAttribute].asArray();
    ASSERT_TRUE(features && features->size() == 1);
    EXPECT_EQ((*(*features)[0].asDictionary())[ct::FontFeatureTypeIdentifierKey].int64Value(), 3);
    EXPECT_EQ((*(*features)[0].asDictionary())[ct::FontFeatureSelectorIdentifierKey].int64Value(), 3);

    const auto back = RichTextFontDescriptor::fontDescriptorWithFontAttributes(attributes);
    EXPECT_TRUE(back->isEqual(descriptor));
    EXPECT_FALSE(back->smallCapsFeature());

    const ns::Dictionary overridden = descriptor.fontAttributesWithOverrideFontName("Courier-Bold");
    EXPECT_TRUE(overridden[ct::FontFamilyNameAttribute].isNil());
    EXPECT_EQ(overridden[ct::FontNameAttribute].stringValue(), "Courier-Bold");

    // No traits, no traits entry; nothing at all resets the descriptor.
    RichTextFontDescriptor plain;
    EXPECT_TRUE(plain.fontAttributes()[ct::FontTraitsAttribute].isNil());
    back->setFontAttributes(std::nullopt);
    EXPECT_TRUE(back->isEqual(plain));
    EXPECT_DOUBLE_EQ(RichTextFontDescriptor(ns::Dictionary{}).pointSize(), 12);
    EXPECT_EQ(RichTextFontDescriptor::fontDescriptorForCTFont(ct::Font::withName("Courier-Oblique", 11))->fontName(), "Courier-Oblique");
}

TEST(RichTextFontDescriptorAttributesTests, SmallCapsComeFromAnOverrideOrTheFontsOwnFeature) {
    RichTextFontDescriptor descriptor;
    descriptor.setFontFamily("Helvetica");
    // None of the installed faces substitutes small capitals (checked on their GSUB tables with Python).
    EXPECT_FALSE(descriptor.supportsNativeSmallCaps());
    RichTextFontDescriptor::setSmallCapsFontName("Courier", "Small Caps Test Family", false, true);
    descriptor.setFontFamily("Small Caps Test Family");
    EXPECT_FALSE(descriptor.supportsNativeSmallCaps());
    descriptor.setItalicTrait(true);
    EXPECT_TRUE(descriptor.supportsNativeSmallCaps());
}

TEST(RichTextFontDescriptorAttributesTests, TheShippedOverrideListMapsArialToHelvetica) {
    EXPECT_EQ(RichTextFontDescriptor::overrideFontName("Arial", true, false), "Helvetica-Bold");
    EXPECT_EQ(RichTextFontDescriptor::overrideFontName("Arial", false, true), "Helvetica-Oblique");
    RichTextFontDescriptor arial;
    arial.setFontFamily("Arial");
    arial.setBoldTrait(true);
    arial.setPointSize(13);
    ASSERT_TRUE(arial.newMatchingFont());
    EXPECT_EQ(arial.newMatchingFont()->fontName(), "Helvetica-Bold");
}

TEST(RichTextFontDescriptorAttributesTests, PreloadAddsTheShortestNamesWithoutReplacingKnownOnes) {
    std::map<std::string, std::string> expected;
    for (const ct::FontRecord& record : ct::FontCatalog::shared().records()) {
        const std::string key = record.familyName + "-" + ((record.traits & ct::FontBoldTrait) ? "1" : "0") + "-" +
                                ((record.traits & ct::FontItalicTrait) ? "1" : "0") + "-override";
        auto [entry, added] = expected.try_emplace(key, record.postScriptName);
        if (!added && (record.postScriptName.size() < entry->second.size() ||
                       (record.postScriptName.size() == entry->second.size() && record.postScriptName < entry->second)))
            entry->second = record.postScriptName;
    }
    ns::DispatchSemaphore done(0);
    std::map<std::string, std::string> table;
    RichTextFontDescriptor::createDictionaryOfAllAvailableFontOverrideNames([&](const std::map<std::string, std::string>& names) {
        table = names;
        done.signal();
    });
    ASSERT_TRUE(done.wait(30));
    EXPECT_EQ(table, expected);
    EXPECT_EQ(table["Helvetica-1-0-override"], "Helvetica-Bold");

    RichTextFontDescriptor::setOverrideFontName("Courier-Bold", "Courier", false, false);
    RichTextFontDescriptor::asyncPreloadFontLookupTable([&] { done.signal(); });
    ASSERT_TRUE(done.wait(30));
    EXPECT_EQ(RichTextFontDescriptor::overrideFontName("Helvetica", true, true), "Helvetica-BoldOblique");
    EXPECT_EQ(RichTextFontDescriptor::overrideFontName("Courier", false, false), "Courier-Bold");
    EXPECT_EQ(RichTextFontDescriptor::overrideFontName("Arial", true, false), "Helvetica-Bold");
}

}  // namespace
