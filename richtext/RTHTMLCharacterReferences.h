#pragma once
// Character references as HTML reads them, handed to the reader (libxml2) in a form it reads the same way. The
// reader drops references to U+0000, surrogates and values past U+10FFFF (HTML reads U+FFFD), takes &#128; to
// &#159; as control characters (HTML reads them as windows-1252 bytes: €, –, ™, Ÿ …) and knows names only
// with their ";", only those of HTML 4 and only in small letters; it also looks each name up in a list, one by
// one. So a named reference is handed over as its one or two characters (an ASCII one as a numeric reference,
// which cannot read as markup there). Names are all of HTML's (RTHTMLNamedReferenceTable.h); the legacy ones,
// which HTML also reads without a ";" (the Latin-1 ones, amp, lt, gt, quot and some capitals), are read as the
// longest of them that begins the name, as HTML does, except inside an attribute value where the next
// character is a letter, a digit or "=" (so "?a=1&copy=2" in a link stays as written).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ql {

struct RTCharacterReferenceRewrite {
    std::size_t length = 0;  // of the bytes replaced, from the "&"
    std::string replacement;
};

// `text` begins with "&". Nothing when the reader reads the bytes there as HTML does and as fast (numeric
// references to ordinary characters, unknown names, an "&" that begins none); else which bytes to hand the
// reader instead.
std::optional<RTCharacterReferenceRewrite> rewriteCharacterReference(std::string_view text, bool inAttributeValue);

}  // namespace ql
