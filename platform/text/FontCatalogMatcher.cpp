#include "platform/text/FontCatalogMatcher.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/foundation/Text.h"

namespace ql::ct {

namespace {

using detail::PatternDeleter;

// Romanised names of the Chinese faces documents name most; written in Chinese, a name is told by its
// characters.
constexpr std::array ChineseFaceNames = {
    std::string_view("simsun"),   std::string_view("nsimsun"),    std::string_view("simhei"),  std::string_view("microsoft yahei"),
    std::string_view("microsoft yahei ui"), std::string_view("kaiti"), std::string_view("kaiti_gb2312"), std::string_view("fangsong"),
    std::string_view("fangsong_gb2312"), std::string_view("dengxian"), std::string_view("stsong"), std::string_view("stheiti"),
    std::string_view("stkaiti"),  std::string_view("stfangsong"), std::string_view("stxihei"), std::string_view("youyuan"),
    std::string_view("lisu"),
};

// Whether the name holds a CJK ideograph (U+3400 to U+9FFF, in UTF-8 three bytes led by E3 to E9).
bool hasIdeograph(std::string_view name) {
    for (std::size_t at = 0; at + 2 < name.size(); ++at) {
        const auto lead = static_cast<unsigned char>(name[at]);
        if (lead >= 0xE3 && lead <= 0xE9 && (static_cast<unsigned char>(name[at + 1]) & 0xC0) == 0x80) return true;
    }
    return false;
}

bool isChineseFace(std::string_view name) {
    const std::string lowered = ns::lowercasedASCII(name);
    return hasIdeograph(name) || std::find(ChineseFaceNames.begin(), ChineseFaceNames.end(), lowered) != ChineseFaceNames.end();
}

// A name no font has and no rule of fontconfig's mentions.
constexpr const char* UnknownName = "Quillory No Such Family";

}  // namespace

FontCatalog::Matcher::Matcher() : config_(FcInitLoadConfigAndFonts()) {
    if (!config_) return;
    // The matcher lives as long as the process, but the configuration goes before the process's leak checks
    // at exit: fontconfig keeps some of what matching allocates where no checker can see it.
    static Matcher* const self = this;
    std::atexit([] {
        std::lock_guard guard(self->lock_);
        self->config_.reset();
    });
    std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(UnknownName));
    unknownNameFamilies_ = substitutedFamilies(pattern.get());
}

FontCatalog::Matcher::~Matcher() = default;

std::vector<std::string> FontCatalog::Matcher::substitutedFamilies(FcPattern* pattern) const {
    FcConfigSubstitute(config_.get(), pattern, FcMatchPattern);
    std::vector<std::string> families;
    FcChar8* family = nullptr;
    for (int at = 1; FcPatternGetString(pattern, FC_FAMILY, at, &family) == FcResultMatch; ++at)
        families.emplace_back(reinterpret_cast<const char*>(family));
    return families;
}

std::optional<FontCatalog::FamilyMatch> FontCatalog::Matcher::match(std::string_view family) {
    if (family.empty() || family.size() > MaximumNameLength || !ns::isValidUTF8(family)) return std::nullopt;
    std::string key(family);
    std::lock_guard guard(lock_);
    if (!config_) return std::nullopt;
    if (const auto found = cache_.find(key); found != cache_.end()) return found->second;
    std::optional<FamilyMatch> matched = find(key);
    if (cache_.size() >= CacheLimit) cache_.clear();
    cache_.emplace(std::move(key), matched);
    return matched;
}

std::optional<FontCatalog::FamilyMatch> FontCatalog::Matcher::find(const std::string& family) {
    std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    const bool chinese = isChineseFace(family);
    // For Chinese text fontconfig ranks the fonts that cover it above the families it substitutes.
    if (chinese) FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
    const bool known = chinese || substitutedFamilies(pattern.get()) != unknownNameFamilies_;
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    std::unique_ptr<FcPattern, PatternDeleter> font(FcFontMatch(config_.get(), pattern.get(), &result));
    if (!font) return std::nullopt;
    std::string matched = detail::englishFamily(font.get());
    if (matched.empty()) return std::nullopt;
    return FamilyMatch{std::move(matched), known};
}

std::optional<FontCatalog::FamilyMatch> FontCatalog::closestFamily(std::string_view family) const {
    if (fontInFamily(family, 0)) return std::nullopt;
    std::optional<FamilyMatch> matched = matcher_->match(family);
    // Only a family the catalog can hand out.
    if (!matched || !fontInFamily(matched->family, 0)) return std::nullopt;
    return matched;
}

}  // namespace ql::ct
