// The rich text import's HTML entry on arbitrary bytes: the parser, the element tree, the cascade of the
// default rules and the document's own style elements and style attributes, list markers, attachments,
// links and the assembly of the text. Nothing may crash or hang; every document that is not empty gives a
// text; a second import of the same bytes gives the same text; list markers and rule lines are marked as
// generated content. The first byte chooses the options (text scale, trailing spaces, custom attributes,
// inline styles, the view layer's keys); the rest is the document.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/URL.h"
#include "platform/text/AttributedString.h"
#include "richtext/NSAttributedStringHTML.h"
#include "richtext/RTAttributeNames.h"
#include "richtext/RTHTMLElement.h"
#include "richtext/RTHTMLOptions.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace ql;
using ql::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return 0;
    const unsigned control = bytes[0];
    ns::Dictionary options{
        {std::string(NSBaseURLDocumentOption), ns::URL::fromString("http://example.com/q/")->boxed()},
        {std::string(NSTextSizeMultiplierDocumentOption), ns::Value(static_cast<double>(control & 3) * 0.75)},
        {std::string(RTDocumentPreserveTrailingSpaces), ns::Value((control & 4) != 0)},
        {std::string(RTProcessCustomHTMLAttributes), ns::Value((control & 8) != 0)},
        {std::string(RTIgnoreInlineStyles), ns::Value((control & 16) != 0)},
    };
    RTHTMLElement::setUsesUIKitAttributes((control & 32) != 0);
    if (control & 64) options.set(std::string(RTDefaultLinkColor), ns::Value("#c0ffee"));

    const ns::Data data(bytes + 1, size - 1);
    const std::optional<ct::AttributedString> text = initWithHTMLData(data, options);
    check(text.has_value() == !data.empty());
    if (!text) return 0;
    const std::optional<ct::AttributedString> again = initWithHTMLData(data, options);
    check(again && again->u16string() == text->u16string());

    text->enumerateAttribute(RTFieldAttribute, {0, text->length()}, [&](const ns::Value& field, ns::Range range, bool&) {
        if (field.isNil()) return;
        check(field.stringValue() == RTListPrefixField);
        check(range.length >= 1);
    });
    return 0;
}
