#include "platform/text/FontFeatures.h"

#include <hb-ot.h>

#include "platform/text/FontFace.h"

namespace ql::ct {

bool fontHasSmallCapsFeature(const Font& font) {
    hb_face_t* face = hb_font_get_face(font.face().hbFont());
    constexpr hb_tag_t smallCaps = HB_TAG('s', 'm', 'c', 'p');
    hb_tag_t tags[64];
    for (unsigned start = 0;;) {
        unsigned count = 64;
        const unsigned total = hb_ot_layout_table_get_feature_tags(face, HB_OT_TAG_GSUB, start, &count, tags);
        for (unsigned i = 0; i < count; ++i)
            if (tags[i] == smallCaps) return true;
        start += count;
        if (count == 0 || start >= total) return false;
    }
}

}  // namespace ql::ct
