#pragma once
// The keys of a font-descriptor attribute dictionary, with the platform's names: what a text style asks
// of a font (family, PostScript name, size, symbolic traits, feature settings).

#include <string_view>

namespace ql::ct {

inline constexpr std::string_view FontFamilyNameAttribute = "NSFontFamilyAttribute";
inline constexpr std::string_view FontNameAttribute = "NSFontNameAttribute";
inline constexpr std::string_view FontSizeAttribute = "NSFontSizeAttribute";
// A dictionary holding FontSymbolicTrait (a number: the trait bits and the stylistic class).
inline constexpr std::string_view FontTraitsAttribute = "NSCTFontTraitsAttribute";
inline constexpr std::string_view FontSymbolicTrait = "NSCTFontSymbolicTrait";
// An array of dictionaries, each a feature type and one of its selectors.
inline constexpr std::string_view FontFeatureSettingsAttribute = "NSCTFontFeatureSettingsAttribute";
inline constexpr std::string_view FontFeatureTypeIdentifierKey = "CTFeatureTypeIdentifier";
inline constexpr std::string_view FontFeatureSelectorIdentifierKey = "CTFeatureSelectorIdentifier";
// Letter case (type 3) and its small-caps selector (3).
inline constexpr int LetterCaseType = 3;
inline constexpr int SmallCapsSelector = 3;

}  // namespace ql::ct
