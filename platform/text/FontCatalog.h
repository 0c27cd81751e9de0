#pragma once
// ct::FontCatalog: the fonts the text layer can hand out, found once per process. Installed faces come
// from fontconfig's list (outline faces, and colour faces such as Noto Color Emoji's pictures); the
// platform's own families (Helvetica, Helvetica Neue, Times New Roman, Courier and the system font) are
// entries of their own, with the platform's names, drawn with the installed DejaVu faces. Lookups by name
// read only this table, so their result never depends on fontconfig's substitution rules of the host; only
// a name the table lacks is handed to fontconfig's matching (closestFamily).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ql::ct {

// Symbolic trait bits, with the platform's values.
enum FontSymbolicTraits : std::uint32_t {
    FontItalicTrait = 1u << 0,
    FontBoldTrait = 1u << 1,
    FontExpandedTrait = 1u << 5,
    FontCondensedTrait = 1u << 6,
    FontMonoSpaceTrait = 1u << 10,
};

// The slant given to faces made oblique from an upright one: about 12 degrees, the lean of the
// platform's own oblique faces.
inline constexpr double SyntheticObliqueShear = 0.21255656;

// One face of the catalog: the names it reports and where its glyphs come from.
struct FontRecord {
    std::string postScriptName;
    std::string familyName;
    std::string fullName;
    std::string styleName;
    std::uint32_t traits = 0;
    // fontconfig's weight scale (80 regular, 200 bold), used to pick the closest face of a family.
    int weight = 80;

    std::string file;
    int faceIndex = 0;
    // Faces the platform has but no installed file provides are drawn from an upright face: slanted by
    // this shear (x grows by shear × height) and, for bold, with emboldened outlines.
    double syntheticShear = 0;
    bool syntheticBold = false;
    // Glyphs are colour pictures (emoji), drawn as they are: never slanted, emboldened or tinted.
    bool color = false;
};

class FontCatalog {
public:
    // The catalog of this process, built on first use (thread-safe).
    static const FontCatalog& shared();

    // A face by PostScript name, full name or family name (the family's regular face), ignoring ASCII
    // case; nullptr when no face bears the name.
    const FontRecord* fontNamed(std::string_view name) const;
    // The face of a family with exactly the bold and italic traits asked for (other traits as close to
    // the family's regular face as there is); nullptr when the family has no such face.
    const FontRecord* fontInFamily(std::string_view family, std::uint32_t traits) const;

    // The installed family fontconfig's matching picks for a family name the catalog does not have
    // ("Courier New" gives DejaVu Sans Mono, "Georgia" DejaVu Serif); a Chinese face's name ("宋体",
    // "SimSun", "Microsoft YaHei") is matched for Chinese text, so it gives an installed Chinese family.
    // `known` tells whether fontconfig matched the name by rules of its own for it (its aliases and
    // classes of families, or a Chinese face), rather than as it matches any name it does not know.
    // Nothing when the catalog has the family itself, or fontconfig picks no family of the catalog.
    struct FamilyMatch {
        std::string family;
        bool known = false;
    };
    std::optional<FamilyMatch> closestFamily(std::string_view family) const;

    // The system font's faces and the face of the fallback used when a name is unknown.
    const FontRecord& systemFont(std::uint32_t traits) const;
    const FontRecord& substituteFont() const;
    // Faces tried, in order, for characters the asked-for face has no glyph for.
    const std::vector<const FontRecord*>& fallbackFonts() const { return fallbacks_; }
    // The face tried first for characters shown as emoji (Noto Color Emoji), the last of the fallbacks
    // for others; nullptr when it is not installed.
    const FontRecord* emojiFont() const { return emoji_; }

    const std::vector<FontRecord>& records() const { return records_; }

    FontCatalog(const FontCatalog&) = delete;
    FontCatalog& operator=(const FontCatalog&) = delete;

private:
    FontCatalog();
    void addInstalledFonts();
    void addPlatformFamilies();

    class Matcher;
    std::unique_ptr<Matcher> matcher_;  // fontconfig's configuration, kept for closestFamily
    std::vector<FontRecord> records_;
    std::vector<const FontRecord*> fallbacks_;
    const FontRecord* emoji_ = nullptr;
};

}  // namespace ql::ct
