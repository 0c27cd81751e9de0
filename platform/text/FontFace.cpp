#include "platform/text/FontFace.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "platform/foundation/Exception.h"

namespace ql::ct::detail {

namespace {

// FreeType libraries are not thread-safe for making and releasing faces; one library serves the process.
struct FreeType {
    FT_Library library = nullptr;
    std::mutex mutex;
};

FreeType& freeType() {
    static FreeType* instance = [] {
        auto* ft = new FreeType;
        if (FT_Init_FreeType(&ft->library) != 0)
            throw ns::Exception(ns::InternalInconsistencyException, "FreeType could not be initialised");
        return ft;
    }();
    return *instance;
}

cairo_user_data_key_t freeTypeFaceKey;

void releaseFreeTypeFace(void* face) {
    std::lock_guard lock(freeType().mutex);
    FT_Done_Face(static_cast<FT_Face>(face));
}

// The top of a glyph's outline in font units, for faces whose tables give no cap or x height.
double outlineTop(FT_Face face, char32_t character) {
    FT_UInt glyph = FT_Get_Char_Index(face, character);
    if (glyph == 0 || FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) return 0;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return 0;
    FT_BBox box;
    FT_Outline_Get_CBox(&face->glyph->outline, &box);
    return static_cast<double>(box.yMax);
}

[[noreturn]] void unreadable(const std::string& file) {
    throw ns::Exception(ns::InternalInconsistencyException, "cannot read the font file " + file);
}

}  // namespace

std::shared_ptr<const FontFace> FontFace::load(const std::string& file, int index) {
    // Faces are few and small, and fonts made from them may live anywhere: the cache is never emptied.
    static auto* mutex = new std::mutex;
    static auto* cache = new std::map<std::pair<std::string, int>, std::shared_ptr<const FontFace>>;
    std::lock_guard cacheLock(*mutex);
    auto key = std::make_pair(file, index);
    if (auto found = cache->find(key); found != cache->end()) return found->second;

    FT_Face ft = nullptr;
    {
        std::lock_guard lock(freeType().mutex);
        if (FT_New_Face(freeType().library, file.c_str(), index, &ft) != 0) unreadable(file);
    }
    std::shared_ptr<FontFace> face(new FontFace);
    face->color_ = FT_HAS_COLOR(ft);
    // Colour pictures come at fixed sizes, which cairo scales; any other face must scale by itself.
    const bool scales = FT_IS_SCALABLE(ft) || (face->color_ && FT_HAS_FIXED_SIZES(ft));
    // FreeType reports units per em for outlines only; a bitmap face's header still has them.
    auto* head = static_cast<TT_Header*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HEAD));
    face->unitsPerEm_ = ft->units_per_EM != 0 ? ft->units_per_EM : head ? head->Units_Per_EM : 0;
    if (!scales || face->unitsPerEm_ == 0) {
        releaseFreeTypeFace(ft);
        unreadable(file);
    }
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HHEA));
    if (hhea && (hhea->Ascender != 0 || hhea->Descender != 0)) {
        face->ascender_ = hhea->Ascender;
        face->descender_ = -hhea->Descender;
        face->lineGap_ = hhea->Line_Gap;
    } else {
        face->ascender_ = ft->ascender;
        face->descender_ = -ft->descender;
        face->lineGap_ = ft->height - (ft->ascender - ft->descender);
    }
    face->lineGap_ = std::max(0.0, face->lineGap_);
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    bool os2Heights = os2 && os2->version != 0xFFFF && os2->version >= 2;
    face->capHeight_ = os2Heights && os2->sCapHeight > 0 ? os2->sCapHeight : outlineTop(ft, U'H');
    face->xHeight_ = os2Heights && os2->sxHeight > 0 ? os2->sxHeight : outlineTop(ft, U'x');
    face->underlinePosition_ = ft->underline_position;
    face->underlineThickness_ = ft->underline_thickness;

    hb_blob_t* blob = hb_blob_create_from_file_or_fail(file.c_str());
    if (!blob) {
        releaseFreeTypeFace(ft);
        unreadable(file);
    }
    hb_face_t* hbFace = hb_face_create(blob, static_cast<unsigned>(index));
    hb_blob_destroy(blob);
    face->hbFont_ = hb_font_create(hbFace);
    hb_face_destroy(hbFace);
    hb_font_set_scale(face->hbFont_, face->unitsPerEm_, face->unitsPerEm_);
    hb_font_make_immutable(face->hbFont_);

    face->cairoFace_ = cairo_ft_font_face_create_for_ft_face(
        ft, face->color_ ? FT_LOAD_NO_HINTING | FT_LOAD_COLOR : FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
    if (cairo_font_face_set_user_data(face->cairoFace_, &freeTypeFaceKey, ft, releaseFreeTypeFace) !=
        CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(face->cairoFace_);
        face->cairoFace_ = nullptr;
        releaseFreeTypeFace(ft);
        unreadable(file);
    }
    cache->emplace(key, face);
    return face;
}

FontFace::~FontFace() {
    if (hbFont_) hb_font_destroy(hbFont_);
    if (cairoFace_) cairo_font_face_destroy(cairoFace_);
}

bool FontFace::hasGlyph(char32_t character) const {
    hb_codepoint_t glyph = 0;
    return hb_font_get_nominal_glyph(hbFont_, character, &glyph) != 0;
}

}  // namespace ql::ct::detail
