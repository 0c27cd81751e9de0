#include "richtext/NSMutableAttributedStringHTML.h"

#include <array>
#include <vector>

#include "platform/text/AttributeNames.h"
#include "richtext/RTAttributeNames.h"

namespace ql {

void appendString(ct::AttributedString& string, std::string_view text) {
    ns::Dictionary attributes;
    if (!string.empty()) {
        attributes = string.attributesAtIndex(string.length() - 1);
        attributes.erase(ui::AttachmentAttributeName);
        attributes.erase(ct::RunDelegateAttributeName);
        attributes.erase(RTFieldAttribute);
    }
    string.appendAttributedString(ct::AttributedString(text, std::move(attributes)));
}

void appendEndOfParagraph(ct::AttributedString& string) {
    ns::Dictionary attributes;
    if (!string.empty()) {
        const ns::Dictionary& last = string.attributesAtIndex(string.length() - 1);
        constexpr std::array<std::string_view, 7> kept{
            ct::FontAttributeName,        ct::ParagraphStyleAttributeName, RTTextBlocksAttribute, RTTextListsAttribute,
            ct::ForegroundColorAttributeName, ui::ForegroundColorAttributeName, ui::FontAttributeName,
        };
        for (std::string_view key : kept)
            if (const ns::Value* value = last.find(key)) attributes.set(std::string(key), *value);
    }
    string.appendAttributedString(ct::AttributedString("\n", std::move(attributes)));
}

void addHTMLAttribute(ct::AttributedString& string, std::string_view name, const ns::Value& value, ns::Range range,
                      bool replaceExisting) {
    struct Change {
        ns::Range range;
        ns::Value customAttributes;
    };
    std::vector<Change> changes;
    string.enumerateAttribute(RTCustomAttributesAttribute, range, [&](const ns::Value& current, ns::Range piece, bool&) {
        ns::Dictionary custom = current.asDictionary() ? *current.asDictionary() : ns::Dictionary();
        if (!replaceExisting && custom.contains(name)) return;
        custom.set(std::string(name), value);
        changes.push_back({piece, ns::Value(std::move(custom))});
    });
    for (const Change& change : changes) string.addAttribute(RTCustomAttributesAttribute, change.customAttributes, change.range);
}

}  // namespace ql
