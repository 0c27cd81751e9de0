#pragma once
// What the font catalog's two users of fontconfig share: owners for its objects and readers of a pattern's
// properties. Internal to the text layer.

#include <fontconfig/fontconfig.h>

#include <optional>
#include <string>
#include <string_view>

namespace ql::ct::detail {

// fontconfig's numeric properties may be integers or doubles depending on its version and the font.
inline std::optional<double> number(FcPattern* pattern, const char* object) {
    FcValue value;
    if (FcPatternGet(pattern, object, 0, &value) != FcResultMatch) return std::nullopt;
    if (value.type == FcTypeInteger) return value.u.i;
    if (value.type == FcTypeDouble) return value.u.d;
    return std::nullopt;
}

inline std::string text(FcPattern* pattern, const char* object, int index = 0) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, index, &value) != FcResultMatch || !value) return {};
    return reinterpret_cast<const char*>(value);
}

// The family name in English when the font lists several languages.
inline std::string englishFamily(FcPattern* pattern) {
    for (int i = 0;; ++i) {
        FcChar8* lang = nullptr;
        if (FcPatternGetString(pattern, FC_FAMILYLANG, i, &lang) != FcResultMatch) break;
        if (std::string_view(reinterpret_cast<const char*>(lang)) == "en") return text(pattern, FC_FAMILY, i);
    }
    return text(pattern, FC_FAMILY);
}

struct ConfigDeleter {
    void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};
struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct ObjectSetDeleter {
    void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
struct FontSetDeleter {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

}  // namespace ql::ct::detail
