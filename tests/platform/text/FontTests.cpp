#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text/Font.h"
#include "platform/text/FontCatalog.h"
#include "platform/text/Typesetter.h"

namespace ql::ct {
namespace {

double lineWidth(std::string_view text, const Font& font) {
    return Typesetter(StyledText(text, {font, {}})).createLine({0, 0}).width();
}

TEST(Font, MetricsOfEveryPlatformFamilyAreSaneAndScaleWithTheSize) {
    const std::vector<std::string> names = {".SystemUI-Regular", "Helvetica", "Helvetica-Bold", "HelveticaNeue-Italic",
                                            "TimesNewRomanPSMT", "TimesNewRomanPS-BoldItalicMT", "Courier",
                                            "Courier-Oblique", "WenQuanYiMicroHei", "DejaVuSans"};
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        auto font = Font::withExistingName(name, 20);
        ASSERT_TRUE(font);
        EXPECT_EQ(font->pointSize(), 20);
        EXPECT_GT(font->ascent(), 0.6 * 20);
        EXPECT_LT(font->ascent(), 1.2 * 20);
        EXPECT_GT(font->descent(), 0.1 * 20);
        EXPECT_LT(font->descent(), 0.4 * 20);
        EXPECT_GE(font->leading(), 0);
        EXPECT_DOUBLE_EQ(font->lineHeight(), font->ascent() + font->descent() + font->leading());
        EXPECT_GT(font->capHeight(), font->xHeight());
        EXPECT_GT(font->xHeight(), 0.3 * 20);
        EXPECT_LT(font->capHeight(), font->ascent());
        EXPECT_LT(font->underlinePosition(), 0);
        EXPECT_GT(font->underlineThickness(), 0);

        Font doubled = font->withSize(40);
        EXPECT_DOUBLE_EQ(doubled.ascent(), 2 * font->ascent());
        EXPECT_DOUBLE_EQ(doubled.lineHeight(), 2 * font->lineHeight());
        EXPECT_DOUBLE_EQ(doubled.capHeight(), 2 * font->capHeight());
    }
}

TEST(Font, PlatformNamesMapToInstalledFamiliesAndKeepTheirOwnNames) {
    Font bold = Font::withName("Helvetica-Bold", 19);
    EXPECT_EQ(bold.fontName(), "Helvetica-Bold");
    EXPECT_EQ(bold.familyName(), "Helvetica");
    EXPECT_EQ(bold.symbolicTraits() & (FontBoldTrait | FontItalicTrait), FontBoldTrait);
    EXPECT_EQ(bold.record().file, Font::withName("DejaVuSans-Bold", 19).record().file);
    // Helvetica and the system font are drawn with the same face, so they measure alike.
    EXPECT_DOUBLE_EQ(lineWidth("Hello, world", Font::withName("Helvetica", 15)),
                     lineWidth("Hello, world", Font::systemFont(15)));

    Font times = Font::withName("Times New Roman", 12);  // a family name picks its regular face
    EXPECT_EQ(times.fontName(), "TimesNewRomanPSMT");
    EXPECT_EQ(times.record().file, Font::withName("DejaVuSerif", 12).record().file);
    EXPECT_NE(lineWidth("Hello", times), lineWidth("Hello", Font::withName("Helvetica", 12)));

    auto courier = Font::withFamily("courier", 12, FontBoldTrait | FontItalicTrait);  // case does not matter
    ASSERT_TRUE(courier);
    EXPECT_EQ(courier->fontName(), "Courier-BoldOblique");
    EXPECT_TRUE(courier->symbolicTraits() & FontMonoSpaceTrait);
    EXPECT_GT(courier->syntheticShear(), 0);
    EXPECT_DOUBLE_EQ(lineWidth("iiii", *courier), lineWidth("WWWW", *courier));

    EXPECT_EQ(Font::systemFont(14, FontBoldTrait).fontName(), ".SystemUI-Semibold");
    EXPECT_EQ(Font::systemFont(14, FontItalicTrait).familyName(), Font::systemFont(14).familyName());
    EXPECT_EQ(Font::withName("HelveticaNeue", 10).familyName(), "Helvetica Neue");
}

TEST(Font, UnknownNamesAndSizes) {
    EXPECT_FALSE(Font::withExistingName("No Such Font", 12));
    EXPECT_FALSE(Font::withFamily("No Such Family", 12));
    // The chinese face has no bold of its own.
    EXPECT_FALSE(Font::withFamily("WenQuanYi Micro Hei", 12, FontBoldTrait));
    Font substitute = Font::withName("No Such Font", 0);
    EXPECT_EQ(substitute.fontName(), "Helvetica");
    EXPECT_EQ(substitute.pointSize(), 12);
    EXPECT_EQ(Font::systemFont(-3).pointSize(), 12);
}

TEST(Font, NamesTheCatalogLacksGoToFontconfigsPick) {
    const FontCatalog& catalog = FontCatalog::shared();
    // As fc-match picks with the fonts setup installs; a Chinese face's name is matched for Chinese text.
    const auto courier = catalog.closestFamily("courier new");
    ASSERT_TRUE(courier);
    EXPECT_EQ(courier->family, "DejaVu Sans Mono");
    EXPECT_TRUE(courier->known);
    EXPECT_EQ(catalog.closestFamily("宋体")->family, "WenQuanYi Micro Hei");
    EXPECT_EQ(catalog.closestFamily("NSimSun")->family, "WenQuanYi Micro Hei");
    // A name fontconfig has no rule for still gets its pick, marked as such; the catalog's own families and
    // names fontconfig is not handed (too long, not UTF-8) get none.
    const auto unknown = catalog.closestFamily("No Such Family");
    ASSERT_TRUE(unknown);
    EXPECT_FALSE(unknown->known);
    EXPECT_FALSE(catalog.closestFamily("Courier"));
    EXPECT_FALSE(catalog.closestFamily(std::string(200, 'x')));
    EXPECT_FALSE(catalog.closestFamily("\xff\xfe"));
    // Many names, more than are remembered, each answered alike.
    for (int i = 0; i < 600; ++i) EXPECT_EQ(catalog.closestFamily("Georgia " + std::to_string(i % 300))->known, false);
    EXPECT_EQ(Font::closestToName("Georgia", 14).familyName(), "DejaVu Serif");
    EXPECT_EQ(Font::closestToName("Courier", 14).fontName(), "Courier");
}

TEST(Font, FallbackFacesFollowTheStyleOfTheFontTheyStandInFor) {
    const FontCatalog& catalog = FontCatalog::shared();
    ASSERT_FALSE(catalog.fallbackFonts().empty());
    const FontRecord& chinese = *catalog.fallbackFonts().front();
    EXPECT_EQ(chinese.familyName, "WenQuanYi Micro Hei");

    Font boldItalic = Font::withName("Helvetica-BoldOblique", 16);
    Font fallback = boldItalic.fallback(chinese);
    EXPECT_EQ(fallback.familyName(), "WenQuanYi Micro Hei");
    EXPECT_EQ(fallback.pointSize(), 16);
    EXPECT_TRUE(fallback.isSyntheticBold());
    EXPECT_DOUBLE_EQ(fallback.syntheticShear(), SyntheticObliqueShear);
    Font plain = Font::withName("Helvetica", 16).fallback(chinese);
    EXPECT_FALSE(plain.isSyntheticBold());
    EXPECT_EQ(plain.syntheticShear(), 0);
    EXPECT_TRUE(plain.hasGlyph(U'中'));
    EXPECT_FALSE(Font::withName("Helvetica", 16).hasGlyph(U'中'));
}

}  // namespace
}  // namespace ql::ct
