#pragma once
// Script conversion by transform identifiers ("Any-Latin; Latin-ASCII", "Han-Latin"), and plain ASCII
// forms of any text ("北京" → "bei jing", "Ærøskøbing" → "AEroskobing").

#include <optional>
#include <string>
#include <string_view>

namespace ql::ns {

// The text converted by a chain of transforms separated by ";", or run backwards. Nothing when the
// identifier names no transform.
std::optional<std::string> stringByApplyingTransform(std::string_view text, std::string_view transform,
                                                     bool reverse = false);

// Any script in Latin letters with tones and accents stripped; what has no ASCII form is dropped.
std::string transliteratedToASCII(std::string_view text);

}  // namespace ql::ns
