#pragma once
// RichTextFontDescriptor: the font part of an HTML element's text style (family, PostScript name, point
// size, symbolic traits, stylistic class, a small-caps request) and the font that matches it. Matching
// goes through a process-wide table of override names (per family, bold and italic, and for small
// caps), falls back to a fallback family, slants upright faces where italic was asked for, and keeps the
// fonts it made in a process-wide cache.
//
// The override table starts with the list "RichTextFontOverrides.plist" of the main bundle when there is
// one: an array of dictionaries with "FontFamily", "OverrideFontName" and the booleans "Bold", "Italic"
// and "SmallCaps". The list shipped with the app maps Arial, common in question HTML and not installed
// here, to the Helvetica faces.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "platform/text/Font.h"

namespace ql {

inline constexpr std::string_view RichTextFontDescriptorException = "RichTextFontDescriptorException";

class RichTextFontDescriptor final : public ns::Object, public ns::Coding {
    QL_OBJECT(RichTextFontDescriptor, ns::Object)
public:
    static constexpr std::uint32_t StylisticClassMask = 0xF0000000u;
    static constexpr std::uint32_t VerticalTrait = 1u << 11;
    static constexpr std::uint32_t UIOptimizedTrait = 1u << 12;

    // No family or name, 12 points, no traits.
    RichTextFontDescriptor() = default;
    // The face, size and traits of a font; italic too when its matrix slants it.
    explicit RichTextFontDescriptor(const ct::Font& font);

    // From a font-descriptor attribute dictionary (platform/text/FontDescriptorAttributes.h): traits, size,
    // family and name where present.
    explicit RichTextFontDescriptor(const ns::Dictionary& attributes);
    static std::shared_ptr<RichTextFontDescriptor> fontDescriptorWithFontAttributes(const ns::Dictionary& attributes);
    static std::shared_ptr<RichTextFontDescriptor> fontDescriptorForCTFont(const ct::Font& font);

    // Override names by family, bold and italic; the lookups answer nothing when none is set.
    static void setOverrideFontName(std::string_view fontName, std::string_view family, bool bold, bool italic);
    static std::optional<std::string> overrideFontName(std::string_view family, bool bold, bool italic);
    static void setSmallCapsFontName(std::string_view fontName, std::string_view family, bool bold, bool italic);
    static std::optional<std::string> smallCapsFontName(std::string_view family, bool bold, bool italic);
    // Throws RichTextFontDescriptorException for an empty family or one that no installed font bears.
    static void setFallbackFontFamily(std::string_view family);
    static std::string fallbackFontFamily();

    // Adds, in the background, the shortest PostScript name of every family, bold and italic combination
    // of the installed fonts to the override table, where the table has no name for it yet (names from
    // the list or set by the program win); `completion`, when given, runs once they are in.
    static void asyncPreloadFontLookupTable(std::function<void()> completion = {});
    // The table of shortest names alone ("<family>-<bold>-<italic>-override" → name; of equal lengths,
    // the first by family and then name), handed to `completion` on a background queue.
    static void createDictionaryOfAllAvailableFontOverrideNames(
        std::function<void(const std::map<std::string, std::string>&)> completion);

    const std::optional<std::string>& fontFamily() const { return fontFamily_; }
    void setFontFamily(std::optional<std::string> family) { fontFamily_ = std::move(family); }
    const std::optional<std::string>& fontName() const { return fontName_; }
    void setFontName(std::optional<std::string> name) { fontName_ = std::move(name); }
    double pointSize() const { return pointSize_; }
    // Whole points: halves round away from zero.
    void setPointSize(double size);
    std::uint32_t stylisticTraits() const { return stylisticTraits_; }
    void setStylisticTraits(std::uint32_t traits) { stylisticTraits_ = traits; }
    std::uint32_t stylisticClass() const { return stylisticClass_; }
    // A stylistic class replaces the family.
    void setStylisticClass(std::uint32_t stylisticClass);
    std::uint32_t symbolicTraits() const { return stylisticTraits_ | stylisticClass_; }
    void setSymbolicTraits(std::uint32_t traits);
    bool smallCapsFeature() const { return smallCapsFeature_; }
    void setSmallCapsFeature(bool smallCaps) { smallCapsFeature_ = smallCaps; }

    bool boldTrait() const { return hasTrait(ct::FontBoldTrait); }
    void setBoldTrait(bool on) { setTrait(ct::FontBoldTrait, on); }
    bool italicTrait() const { return hasTrait(ct::FontItalicTrait); }
    void setItalicTrait(bool on) { setTrait(ct::FontItalicTrait, on); }
    bool expandedTrait() const { return hasTrait(ct::FontExpandedTrait); }
    void setExpandedTrait(bool on) { setTrait(ct::FontExpandedTrait, on); }
    bool condensedTrait() const { return hasTrait(ct::FontCondensedTrait); }
    void setCondensedTrait(bool on) { setTrait(ct::FontCondensedTrait, on); }
    bool monospaceTrait() const { return hasTrait(ct::FontMonoSpaceTrait); }
    void setMonospaceTrait(bool on) { setTrait(ct::FontMonoSpaceTrait, on); }
    bool verticalTrait() const { return hasTrait(VerticalTrait); }
    void setVerticalTrait(bool on) { setTrait(VerticalTrait, on); }
    bool UIoptimizedTrait() const { return hasTrait(UIOptimizedTrait); }
    void setUIoptimizedTrait(bool on) { setTrait(UIOptimizedTrait, on); }

    // Nothing resets family and name, makes the size 12 and clears traits and class; a dictionary sets
    // the traits, size, family and name it holds. Feature settings are not read back.
    void setFontAttributes(const std::optional<ns::Dictionary>& attributes);
    // Traits (when any), family and name (when set), the size, and the small-caps feature when asked for.
    ns::Dictionary fontAttributes() const;
    // The same without the family and with the given name.
    ns::Dictionary fontAttributesWithOverrideFontName(std::string_view fontName) const;
    // Whether small capitals come from the font itself: a small-caps override exists for the family and
    // traits, or the matching font has the small-caps feature.
    bool supportsNativeSmallCaps() const;

    // The font for this descriptor, made once per process for each distinct descriptor; nothing when
    // not even the fallback family matches.
    std::optional<ct::Font> newMatchingFont() const;
    // The same font as a boxed view-layer font object (nil when there is none), one object per distinct
    // font that all callers share: fonts are immutable.
    ns::Value matchingFontObject() const;

    // "font-family:'F';font-size:12px;font-style:italic;font-weight:bold;" as far as set.
    std::optional<std::string> cssStyleRepresentation() const;
    std::string description() const override;
    std::size_t hash() const;
    bool isEqual(const ns::Object& other) const override;
    std::shared_ptr<ns::Object> copy() const override;

    // Name, family, bold and italic only.
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;

private:
    // The cached font: its boxed object, and the font itself into `font` when asked.
    ns::Value matchingFont(std::optional<ct::Font>* font) const;

    bool hasTrait(std::uint32_t bit) const { return (stylisticTraits_ & bit) != 0; }
    void setTrait(std::uint32_t bit, bool on) { stylisticTraits_ = on ? stylisticTraits_ | bit : stylisticTraits_ & ~bit; }
    std::optional<ct::Font> findMatchingFont() const;

    std::optional<std::string> fontFamily_;
    std::optional<std::string> fontName_;
    double pointSize_ = 12;
    std::uint32_t stylisticTraits_ = 0;
    std::uint32_t stylisticClass_ = 0;
    bool smallCapsFeature_ = false;
};

}  // namespace ql
