#include "richtext/NSMutableAttributedStringHTML.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/text/AttributeNames.h"
#include "richtext/NSCharacterSetHTML.h"
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

ns::Dictionary paragraphAttributes(const ns::Dictionary& attributes) {
    constexpr std::array<std::string_view, 7> kept{
        ct::FontAttributeName,        ct::ParagraphStyleAttributeName, RTTextBlocksAttribute, RTTextListsAttribute,
        ct::ForegroundColorAttributeName, ui::ForegroundColorAttributeName, ui::FontAttributeName,
    };
    // One pass in key order: the copy is built already sorted.
    ns::Dictionary paragraph;
    paragraph.reserve(kept.size());
    for (const auto& [key, value] : attributes)
        if (std::find(kept.begin(), kept.end(), key) != kept.end()) paragraph.appendUnsorted(key, value);
    paragraph.finishAppending();
    return paragraph;
}

void appendEndOfParagraph(ct::AttributedString& string) {
    ns::Dictionary attributes;
    if (!string.empty()) attributes = paragraphAttributes(string.attributesAtIndex(string.length() - 1));
    string.appendAttributedString(ct::AttributedString("\n", std::move(attributes)));
}

bool endsWithIgnorableWhitespace(const ct::AttributedString& string) {
    return !string.empty() && ignorableWhitespaceCharacterSet().characterIsMember(string.u16string().back());
}

void removeTrailingIgnorableWhitespace(ct::AttributedString& string) {
    const std::u16string& units = string.u16string();
    const ns::CharacterSet& ignorable = ignorableWhitespaceCharacterSet();
    std::uint64_t keep = units.size();
    while (keep > 0 && ignorable.characterIsMember(units[keep - 1])) --keep;
    if (keep < units.size()) string.deleteCharactersInRange({keep, units.size() - keep});
}

void removeCollapsibleLeadingWhitespace(ct::AttributedString& piece) {
    const std::u16string& units = piece.u16string();
    // One pass to count, one deletion: a long run of spaces is dropped in linear time.
    std::uint64_t drop = 0;
    while (drop < units.size() && (units[drop] == u' ' || units[drop] == u'\n' || units[drop] == u'\t')) {
        const ns::Dictionary& attributes = piece.attributesAtIndex(drop);
        const ns::Value* field = attributes.find(RTFieldAttribute);
        if (field && field->isString() && field->asString() == RTListPrefixField) break;
        const ns::Value* rule = attributes.find(RTHorizontalRuleStyleAttribute);
        if (rule && rule->boolValue()) break;
        ++drop;
    }
    if (drop > 0) piece.deleteCharactersInRange({0, drop});
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
