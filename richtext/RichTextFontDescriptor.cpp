#include "richtext/RichTextFontDescriptor.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <mutex>
#include <algorithm>
#include <unordered_map>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/text/FontCatalog.h"
#include "platform/ui/Font.h"
#include "richtext/RichTextFontCollection.h"

namespace ql {

namespace {

constexpr std::string_view FontNameKey = "FontName";
constexpr std::string_view FontFamilyKey = "FontFamily";
constexpr std::string_view BoldTraitKey = "BoldTrait";
constexpr std::string_view ItalicTraitKey = "ItalicTrait";

// The slant given to an upright face standing in for an italic one.
constexpr double ObliqueShear = 0.25;
// Documents can ask for any number of sizes; past this many fonts the cache starts over.
constexpr std::size_t FontCacheLimit = 512;

std::string overrideKey(std::string_view family, bool bold, bool italic, std::string_view kind) {
    return std::string(family) + "-" + (bold ? "1" : "0") + "-" + (italic ? "1" : "0") + "-" + std::string(kind);
}

struct ClassState {
    ClassState() { loadOverrideList(); }

    // The app's list of override names, when it ships one.
    void loadOverrideList() {
        const std::optional<std::string> path = ns::Bundle::main().pathForResource("RichTextFontOverrides", "plist");
        if (!path) return;
        const std::optional<ns::Data> data = ns::dataWithContentsOfFile(*path, ns::PropertyListSerialization::kMaxFileLength);
        if (!data) return;
        const ns::Value list = ns::PropertyListSerialization::propertyListWithData(*data, 0, nullptr, nullptr);
        const ns::Array* entries = list.asArray();
        if (!entries) return;
        for (const ns::Value& entry : *entries) {
            const ns::Dictionary* fields = entry.asDictionary();
            if (!fields) continue;
            const ns::Value& family = (*fields)["FontFamily"];
            const ns::Value& name = (*fields)["OverrideFontName"];
            if (!family.isString() || !name.isString()) continue;
            const bool bold = (*fields)["Bold"].boolValue();
            const bool italic = (*fields)["Italic"].boolValue();
            const bool smallCaps = (*fields)["SmallCaps"].boolValue();
            overrides[overrideKey(family.asString(), bold, italic, smallCaps ? "smallcaps" : "override")] = std::string(name.asString());
        }
    }

    std::mutex lock;
    std::unordered_map<std::string, std::string> overrides;
    std::string fallbackFamily = "Times New Roman";
};

ClassState& classState() {
    static ClassState& state = *new ClassState;
    return state;
}

void storeOverride(std::string key, std::string_view fontName) {
    ClassState& state = classState();
    std::lock_guard guard(state.lock);
    state.overrides[std::move(key)] = std::string(fontName);
}

std::optional<std::string> lookUpOverride(const std::string& key) {
    ClassState& state = classState();
    std::lock_guard guard(state.lock);
    const auto found = state.overrides.find(key);
    if (found == state.overrides.end()) return std::nullopt;
    return found->second;
}

// Everything that decides which font a descriptor gets, so that two descriptors share a cached font
// only when they ask for the same thing.
struct FontKey {
    std::optional<std::string> family;
    std::optional<std::string> name;
    double size;
    std::uint32_t traits;
    std::uint32_t stylisticClass;
    bool smallCaps;
    std::string fallbackFamily;

    bool operator==(const FontKey&) const = default;
};

struct FontKeyHash {
    std::size_t operator()(const FontKey& key) const {
        std::size_t hash = std::hash<double>()(key.size);
        for (std::size_t part : {std::hash<std::string>()(key.family.value_or("")), std::hash<std::string>()(key.name.value_or("")),
                                 std::size_t(key.traits), std::size_t(key.stylisticClass), std::size_t(key.smallCaps),
                                 std::hash<std::string>()(key.fallbackFamily)}) {
            hash = hash * 31 + part;
        }
        return hash;
    }
};

// A font with its view-layer object, boxed once: every text in that font shares the one value.
struct CachedFont {
    ct::Font font;
    ns::Value boxed;
};

struct FontCache {
    std::mutex lock;
    std::unordered_map<FontKey, CachedFont, FontKeyHash> fonts;
};

FontCache& fontCache() {
    static FontCache& cache = *new FontCache;
    return cache;
}

std::size_t stringHash(const std::optional<std::string>& text) { return text ? std::hash<std::string>()(*text) : 0; }

}  // namespace

RichTextFontDescriptor::RichTextFontDescriptor(const ct::Font& font)
    : fontFamily_(font.familyName().empty() ? std::nullopt : std::optional<std::string>(font.familyName())),
      fontName_(font.fontName()) {
    setSymbolicTraits(font.symbolicTraits());
    setPointSize(font.pointSize());
    if (!(font.matrix() == cg::AffineTransform::identity())) setItalicTrait(true);
}

void RichTextFontDescriptor::setOverrideFontName(std::string_view fontName, std::string_view family, bool bold, bool italic) {
    storeOverride(overrideKey(family, bold, italic, "override"), fontName);
}

std::optional<std::string> RichTextFontDescriptor::overrideFontName(std::string_view family, bool bold, bool italic) {
    return lookUpOverride(overrideKey(family, bold, italic, "override"));
}

void RichTextFontDescriptor::setSmallCapsFontName(std::string_view fontName, std::string_view family, bool bold, bool italic) {
    storeOverride(overrideKey(family, bold, italic, "smallcaps"), fontName);
}

std::optional<std::string> RichTextFontDescriptor::smallCapsFontName(std::string_view family, bool bold, bool italic) {
    return lookUpOverride(overrideKey(family, bold, italic, "smallcaps"));
}

void RichTextFontDescriptor::setFallbackFontFamily(std::string_view family) {
    if (family.empty()) throw ns::Exception(RichTextFontDescriptorException, "Fallback Font Family cannot be nil");
    const std::optional<ct::Font> font = ct::Font::withExistingName(family, 12);
    if (!font || font->familyName() != family) {
        throw ns::Exception(RichTextFontDescriptorException,
                            "Fallback Font Family '" + std::string(family) + "' not registered on the system");
    }
    ClassState& state = classState();
    std::lock_guard guard(state.lock);
    state.fallbackFamily = std::string(family);
}

std::string RichTextFontDescriptor::fallbackFontFamily() {
    ClassState& state = classState();
    std::lock_guard guard(state.lock);
    return state.fallbackFamily;
}

void RichTextFontDescriptor::createDictionaryOfAllAvailableFontOverrideNames(
    std::function<void(const std::map<std::string, std::string>&)> completion) {
    ns::DispatchQueue::global(ns::DispatchQueue::Priority::Background)->async([completion = std::move(completion)] {
        RichTextFontCollection::Descriptors descriptors = RichTextFontCollection::availableFontsCollection()->fontDescriptors();
        std::stable_sort(descriptors.begin(), descriptors.end(), [](const auto& a, const auto& b) {
            const std::string familyA = a->fontFamily().value_or(""), familyB = b->fontFamily().value_or("");
            if (familyA != familyB) return familyA < familyB;
            return a->fontName().value_or("") < b->fontName().value_or("");
        });
        std::map<std::string, std::string> shortest;
        for (const auto& descriptor : descriptors) {
            if (!descriptor->fontFamily() || !descriptor->fontName()) continue;
            const std::string key = overrideKey(*descriptor->fontFamily(), descriptor->boldTrait(), descriptor->italicTrait(), "override");
            const auto [entry, added] = shortest.try_emplace(key, *descriptor->fontName());
            if (!added && descriptor->fontName()->size() < entry->second.size()) entry->second = *descriptor->fontName();
        }
        completion(shortest);
    });
}

void RichTextFontDescriptor::asyncPreloadFontLookupTable(std::function<void()> completion) {
    createDictionaryOfAllAvailableFontOverrideNames([completion = std::move(completion)](const std::map<std::string, std::string>& names) {
        {
            ClassState& state = classState();
            std::lock_guard guard(state.lock);
            for (const auto& [key, name] : names) state.overrides.try_emplace(key, name);
        }
        if (completion) completion();
    });
}

void RichTextFontDescriptor::setPointSize(double size) { pointSize_ = std::round(size); }

void RichTextFontDescriptor::setStylisticClass(std::uint32_t stylisticClass) {
    stylisticClass_ = stylisticClass;
    fontFamily_.reset();
}

void RichTextFontDescriptor::setSymbolicTraits(std::uint32_t traits) {
    stylisticTraits_ = traits & ~StylisticClassMask;
    stylisticClass_ = traits & StylisticClassMask;
}

std::optional<ct::Font> RichTextFontDescriptor::newMatchingFont() const {
    std::optional<ct::Font> font;
    matchingFont(&font);
    return font;
}

ns::Value RichTextFontDescriptor::matchingFontObject() const { return matchingFont(nullptr); }

ns::Value RichTextFontDescriptor::matchingFont(std::optional<ct::Font>* font) const {
    FontKey key{fontFamily_, fontName_, pointSize_, stylisticTraits_, stylisticClass_, smallCapsFeature_, fallbackFontFamily()};
    FontCache& cache = fontCache();
    {
        std::lock_guard guard(cache.lock);
        if (auto found = cache.fonts.find(key); found != cache.fonts.end()) {
            if (font) *font = found->second.font;
            return found->second.boxed;
        }
    }
    std::optional<ct::Font> found = findMatchingFont();
    if (!found) return ns::Value();
    ns::Value boxed(std::make_shared<ui::Font>(*found));
    if (font) *font = *found;
    std::lock_guard guard(cache.lock);
    if (cache.fonts.size() >= FontCacheLimit) cache.fonts.clear();
    cache.fonts.emplace(std::move(key), CachedFont{std::move(*found), boxed});
    return boxed;
}

std::optional<ct::Font> RichTextFontDescriptor::findMatchingFont() const {
    const bool bold = boldTrait();
    const bool italic = italicTrait();
    std::optional<std::string> overrideName;
    if (fontFamily_ && !fontName_) {
        overrideName = smallCapsFeature_ ? smallCapsFontName(*fontFamily_, bold, italic) : overrideFontName(*fontFamily_, bold, italic);
    }
    std::optional<ct::Font> font;
    if (overrideName || fontName_) {
        // A name is taken as given; an unknown one gets the substitute font, as names do everywhere.
        font = ct::Font::withName(overrideName ? *overrideName : *fontName_, pointSize_);
    } else {
        const std::uint32_t faceTraits = stylisticTraits_ & (ct::FontBoldTrait | ct::FontItalicTrait);
        // The family with the traits, else the family's own face.
        const auto inFamily = [&](std::string_view family) {
            std::optional<ct::Font> found = ct::Font::withFamily(family, pointSize_, faceTraits);
            return found ? found : ct::Font::withExistingName(family, pointSize_);
        };
        if (fontFamily_) font = inFamily(*fontFamily_);
        // A family not installed that fontconfig knows ("Courier New", "宋体"): the installed one it picks.
        if (!font && fontFamily_) {
            const auto closest = ct::FontCatalog::shared().closestFamily(*fontFamily_);
            if (closest && closest->known) font = inFamily(closest->family);
        }
        if (!font) font = inFamily(fallbackFontFamily());
    }
    if (!font) return std::nullopt;
    const bool oblique = (font->symbolicTraits() & ct::FontItalicTrait) != 0 || font->syntheticShear() >= 0.01;
    if (italic && !oblique) {
        font = ct::Font::withName(font->fontName(), pointSize_, cg::AffineTransform(1, 0, ObliqueShear, 1, 0, 0));
    }
    return font;
}

std::optional<std::string> RichTextFontDescriptor::cssStyleRepresentation() const {
    std::string css;
    if (fontFamily_) css += "font-family:'" + *fontFamily_ + "';";
    char size[48];
    std::snprintf(size, sizeof size, "font-size:%.0fpx;", pointSize_);
    css += size;
    if (italicTrait()) css += "font-style:italic;";
    if (boldTrait()) css += "font-weight:bold;";
    return css;
}

std::string RichTextFontDescriptor::description() const {
    std::string text = "<RichTextFontDescriptor";
    if (fontName_) text += " name='" + *fontName_ + "'";
    if (fontFamily_) text += " family='" + *fontFamily_ + "'";
    char size[48];
    std::snprintf(size, sizeof size, " size:%.0f", pointSize_);
    text += size;
    const std::pair<bool, const char*> traits[] = {
        {boldTrait(), " bold"},         {italicTrait(), " italic"},    {monospaceTrait(), " monospace"},
        {condensedTrait(), " condensed"}, {expandedTrait(), " expanded"}, {verticalTrait(), " vertical"},
        {UIoptimizedTrait(), " UI optimized"}};
    std::string words;
    for (const auto& [set, word] : traits) {
        if (!set) continue;
        if (!words.empty()) words += ", ";
        words += word;
    }
    if (!words.empty()) text += " attributes=" + words;
    return text + ">";
}

std::size_t RichTextFontDescriptor::hash() const {
    std::size_t hash = pointSize_ > 0 ? static_cast<std::size_t>(pointSize_) : 0;
    hash = hash * 31 + symbolicTraits();
    hash = hash * 31 + stringHash(fontName_);
    hash = hash * 31 + stringHash(fontFamily_);
    return hash + 6464647;
}

bool RichTextFontDescriptor::isEqual(const ns::Object& other) const {
    if (this == &other) return true;
    auto* descriptor = dynamic_cast<const RichTextFontDescriptor*>(&other);
    return descriptor && pointSize_ == descriptor->pointSize_ && stylisticClass_ == descriptor->stylisticClass_ &&
           stylisticTraits_ == descriptor->stylisticTraits_ && fontName_ == descriptor->fontName_ &&
           fontFamily_ == descriptor->fontFamily_;
}

std::shared_ptr<ns::Object> RichTextFontDescriptor::copy() const {
    auto copied = std::make_shared<RichTextFontDescriptor>();
    copied->fontFamily_ = fontFamily_;
    copied->fontName_ = fontName_;
    copied->pointSize_ = pointSize_;
    copied->stylisticTraits_ = stylisticTraits_;
    copied->stylisticClass_ = stylisticClass_;
    copied->smallCapsFeature_ = smallCapsFeature_;
    return copied;
}

void RichTextFontDescriptor::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject(fontName_ ? ns::Value(*fontName_) : ns::Value(), FontNameKey);
    coder.encodeObject(fontFamily_ ? ns::Value(*fontFamily_) : ns::Value(), FontFamilyKey);
    coder.encodeBool(boldTrait(), BoldTraitKey);
    coder.encodeBool(italicTrait(), ItalicTraitKey);
}

bool RichTextFontDescriptor::initWithCoder(ns::KeyedUnarchiver& coder) {
    const ns::Value name = coder.decodeObjectForKey(FontNameKey);
    const ns::Value family = coder.decodeObjectForKey(FontFamilyKey);
    fontName_ = name.isString() ? std::optional<std::string>(name.asString()) : std::nullopt;
    fontFamily_ = family.isString() ? std::optional<std::string>(family.asString()) : std::nullopt;
    pointSize_ = 0;
    setBoldTrait(coder.decodeBoolForKey(BoldTraitKey));
    setItalicTrait(coder.decodeBoolForKey(ItalicTraitKey));
    return true;
}

}  // namespace ql
