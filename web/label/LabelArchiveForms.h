#pragma once
// How the link label's values travel in keyed archives. Attribute values are the view layer's objects,
// which do not archive themselves; here they take property-list forms tagged with the kind they stand
// for ("$color", "$font", "$paragraphStyle", "$insets") and come back as the same objects. Attributed
// text is its string and its runs of attributes; a text-checking result is a dictionary of its fields.
// Edge insets take the platform's text form, "{top, left, bottom, right}".
// Values of a kind not listed here are left out of an archive, never written half.

#include <optional>

#include "platform/foundation/TextCheckingResult.h"
#include "platform/foundation/Value.h"
#include "platform/text/AttributedString.h"

namespace ql::label_archive {

ns::Value attributeForm(const ns::Value& value);
ns::Value attributeFromForm(const ns::Value& form);

ns::Value dictionaryForm(const std::optional<ns::Dictionary>& attributes);
std::optional<ns::Dictionary> dictionaryFromForm(const ns::Value& form);

ns::Value attributedStringForm(const std::optional<ct::AttributedString>& text);
std::optional<ct::AttributedString> attributedStringFromForm(const ns::Value& form);

ns::Value resultForm(const ns::TextCheckingResult& result);
std::optional<ns::TextCheckingResult> resultFromForm(const ns::Value& form);

}  // namespace ql::label_archive
