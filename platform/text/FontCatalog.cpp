#include "platform/text/FontCatalog.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"
#include "platform/text/FontCatalogMatcher.h"
#include "platform/text/FontconfigSupport.h"

namespace ql::ct {

using namespace detail;

namespace {

constexpr int RegularWeight = FC_WEIGHT_REGULAR;
constexpr int BoldWeight = FC_WEIGHT_BOLD;

// The platform's families and the installed family each is drawn with. Italic faces are always slanted
// from the upright installed face, even where an oblique file happens to be installed, so that text looks
// the same on every machine that has the required packages.
struct PlatformFace {
    const char* postScriptName;
    const char* styleName;
    std::uint32_t traits;
};
struct PlatformFamily {
    const char* familyName;
    const char* installedFamily;
    std::uint32_t traits;
    PlatformFace faces[4];
};

constexpr const char* SystemFamily = ".System UI";
constexpr const char* SubstituteFamily = "Helvetica";

constexpr PlatformFamily platformFamilies[] = {
    {SystemFamily,
     "DejaVu Sans",
     0,
     {{".SystemUI-Regular", "Regular", 0},
      {".SystemUI-Semibold", "Semibold", FontBoldTrait},
      {".SystemUI-Italic", "Italic", FontItalicTrait},
      {".SystemUI-SemiboldItalic", "Semibold Italic", FontBoldTrait | FontItalicTrait}}},
    {"Helvetica",
     "DejaVu Sans",
     0,
     {{"Helvetica", "Regular", 0},
      {"Helvetica-Bold", "Bold", FontBoldTrait},
      {"Helvetica-Oblique", "Oblique", FontItalicTrait},
      {"Helvetica-BoldOblique", "Bold Oblique", FontBoldTrait | FontItalicTrait}}},
    {"Helvetica Neue",
     "DejaVu Sans",
     0,
     {{"HelveticaNeue", "Regular", 0},
      {"HelveticaNeue-Bold", "Bold", FontBoldTrait},
      {"HelveticaNeue-Italic", "Italic", FontItalicTrait},
      {"HelveticaNeue-BoldItalic", "Bold Italic", FontBoldTrait | FontItalicTrait}}},
    {"Times New Roman",
     "DejaVu Serif",
     0,
     {{"TimesNewRomanPSMT", "Regular", 0},
      {"TimesNewRomanPS-BoldMT", "Bold", FontBoldTrait},
      {"TimesNewRomanPS-ItalicMT", "Italic", FontItalicTrait},
      {"TimesNewRomanPS-BoldItalicMT", "Bold Italic", FontBoldTrait | FontItalicTrait}}},
    {"Courier",
     "DejaVu Sans Mono",
     FontMonoSpaceTrait,
     {{"Courier", "Regular", 0},
      {"Courier-Bold", "Bold", FontBoldTrait},
      {"Courier-Oblique", "Oblique", FontItalicTrait},
      {"Courier-BoldOblique", "Bold Oblique", FontBoldTrait | FontItalicTrait}}},
};

// Chinese and Japanese ideographs first, then the broad symbol coverage of the sans face (Arabic and
// Hebrew among it).
constexpr const char* fallbackFamilies[] = {"WenQuanYi Micro Hei", "DejaVu Sans"};
constexpr const char* EmojiFamily = "Noto Color Emoji";

constexpr std::uint32_t StyleTraits = FontBoldTrait | FontItalicTrait;

}  // namespace

const FontCatalog& FontCatalog::shared() {
    // Never destroyed: fonts handed out keep pointing at its records until the process ends.
    static const FontCatalog* catalog = new FontCatalog();
    return *catalog;
}

FontCatalog::FontCatalog() : matcher_(std::make_unique<Matcher>()) {
    addInstalledFonts();
    addPlatformFamilies();
    for (const char* family : fallbackFamilies) {
        if (const FontRecord* record = fontInFamily(family, 0)) fallbacks_.push_back(record);
    }
    emoji_ = fontInFamily(EmojiFamily, 0);
    if (emoji_ && emoji_->color) fallbacks_.push_back(emoji_);
    else emoji_ = nullptr;
}

void FontCatalog::addInstalledFonts() {
    // A private configuration, read once: the list comes from it and closestFamily matches with it.
    FcConfig* config = matcher_->configuration();
    if (!config) return;
    std::unique_ptr<FcPattern, PatternDeleter> all(FcPatternCreate());
    std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(
        FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_STYLE, FC_FULLNAME, FC_POSTSCRIPT_NAME, FC_WEIGHT, FC_SLANT,
                         FC_WIDTH, FC_SPACING, FC_FILE, FC_INDEX, FC_OUTLINE, FC_COLOR, nullptr));
    std::unique_ptr<FcFontSet, FontSetDeleter> fonts(FcFontList(config, all.get(), objects.get()));
    if (!fonts) return;

    std::vector<FontRecord> installed;
    for (int i = 0; i < fonts->nfont; ++i) {
        FcPattern* font = fonts->fonts[i];
        FcBool outline = FcFalse;
        FcBool color = FcFalse;
        FcPatternGetBool(font, FC_OUTLINE, 0, &outline);
        FcPatternGetBool(font, FC_COLOR, 0, &color);
        if (!outline && !color) continue;
        FontRecord record;
        record.color = color;
        record.file = text(font, FC_FILE);
        record.postScriptName = text(font, FC_POSTSCRIPT_NAME);
        record.familyName = englishFamily(font);
        if (record.file.empty() || record.postScriptName.empty() || record.familyName.empty()) continue;
        record.styleName = text(font, FC_STYLE);
        record.fullName = text(font, FC_FULLNAME);
        if (record.fullName.empty()) record.fullName = record.familyName + " " + record.styleName;
        record.faceIndex = static_cast<int>(number(font, FC_INDEX).value_or(0));
        record.weight = static_cast<int>(std::lround(number(font, FC_WEIGHT).value_or(RegularWeight)));
        if (record.weight >= FC_WEIGHT_DEMIBOLD) record.traits |= FontBoldTrait;
        if (number(font, FC_SLANT).value_or(FC_SLANT_ROMAN) > FC_SLANT_ROMAN) record.traits |= FontItalicTrait;
        double width = number(font, FC_WIDTH).value_or(FC_WIDTH_NORMAL);
        if (width < FC_WIDTH_NORMAL) record.traits |= FontCondensedTrait;
        if (width > FC_WIDTH_NORMAL) record.traits |= FontExpandedTrait;
        if (number(font, FC_SPACING).value_or(FC_PROPORTIONAL) >= FC_MONO) record.traits |= FontMonoSpaceTrait;
        installed.push_back(std::move(record));
    }
    // fontconfig lists in no particular order; sorting makes every lookup below deterministic.
    auto key = [](const FontRecord& r) {
        return std::tie(r.familyName, r.weight, r.traits, r.postScriptName, r.file, r.faceIndex);
    };
    std::sort(installed.begin(), installed.end(), [&](const FontRecord& a, const FontRecord& b) { return key(a) < key(b); });
    for (auto& record : installed) {
        bool duplicate = std::any_of(records_.begin(), records_.end(), [&](const FontRecord& r) {
            return r.postScriptName == record.postScriptName;
        });
        if (!duplicate) records_.push_back(std::move(record));
    }
}

void FontCatalog::addPlatformFamilies() {
    std::vector<FontRecord> platform;
    for (const PlatformFamily& family : platformFamilies) {
        for (const PlatformFace& face : family.faces) {
            bool bold = face.traits & FontBoldTrait;
            const FontRecord* upright = fontInFamily(family.installedFamily, bold ? std::uint32_t{FontBoldTrait} : 0u);
            const FontRecord* regular = fontInFamily(family.installedFamily, 0);
            const FontRecord* source = upright ? upright : regular;
            if (!source) {
                // Without the family, any installed upright face will do rather than no text at all.
                auto any = std::find_if(records_.begin(), records_.end(),
                                        [](const FontRecord& r) { return !(r.traits & StyleTraits) && !r.color; });
                if (any == records_.end()) continue;
                source = &*any;
            }
            FontRecord record;
            record.postScriptName = face.postScriptName;
            record.familyName = family.familyName;
            record.styleName = face.styleName;
            record.fullName = std::string_view(face.styleName) == "Regular"
                                  ? record.familyName
                                  : record.familyName + " " + face.styleName;
            record.traits = face.traits | family.traits;
            record.weight = bold ? BoldWeight : RegularWeight;
            record.file = source->file;
            record.faceIndex = source->faceIndex;
            record.syntheticBold = bold && !(source->traits & FontBoldTrait);
            if (face.traits & FontItalicTrait) record.syntheticShear = SyntheticObliqueShear;
            platform.push_back(std::move(record));
        }
    }
    // The platform's names come first, so that an installed font that happens to share one cannot
    // change what the app gets.
    records_.insert(records_.begin(), std::make_move_iterator(platform.begin()),
                    std::make_move_iterator(platform.end()));
}

const FontRecord* FontCatalog::fontNamed(std::string_view name) const {
    for (const FontRecord& r : records_) {
        if (ns::equalsIgnoringASCIICase(r.postScriptName, name)) return &r;
    }
    for (const FontRecord& r : records_) {
        if (ns::equalsIgnoringASCIICase(r.fullName, name)) return &r;
    }
    return fontInFamily(name, 0);
}

const FontRecord* FontCatalog::fontInFamily(std::string_view family, std::uint32_t traits) const {
    const FontRecord* best = nullptr;
    double bestScore = 0;
    for (const FontRecord& r : records_) {
        if (!ns::equalsIgnoringASCIICase(r.familyName, family) || (r.traits & StyleTraits) != (traits & StyleTraits)) continue;
        // Prefer the normal width, then the weight nearest to regular or bold.
        std::uint32_t widthTraits = FontCondensedTrait | FontExpandedTrait;
        double score = ((r.traits & widthTraits) != (traits & widthTraits) ? 1000.0 : 0.0) +
                       std::abs(r.weight - ((traits & FontBoldTrait) ? BoldWeight : RegularWeight));
        if (!best || score < bestScore) {
            best = &r;
            bestScore = score;
        }
    }
    return best;
}

const FontRecord& FontCatalog::systemFont(std::uint32_t traits) const {
    if (const FontRecord* r = fontInFamily(SystemFamily, traits)) return *r;
    throw ns::Exception(ns::InternalInconsistencyException, "no font is installed: the text layer needs fonts-dejavu-core");
}

const FontRecord& FontCatalog::substituteFont() const {
    if (const FontRecord* r = fontInFamily(SubstituteFamily, 0)) return *r;
    return systemFont(0);
}

}  // namespace ql::ct
