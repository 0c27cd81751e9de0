#pragma once
// What a font's layout tables offer beyond its glyphs.

#include "platform/text/Font.h"

namespace ql::ct {

// Whether the face substitutes small capitals for lower-case letters (the letter-case feature's
// small-caps selector).
bool fontHasSmallCapsFeature(const Font& font);

}  // namespace ql::ct
