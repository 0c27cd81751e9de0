#include "richtext/NSMutableAttributedStringHTML.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/text/AttributeNames.h"
#include "richtext/NSCharacterSetHTML.h"
#include "richtext/RTAttributeNames.h"

namespace ql {

void appendString(ct::AttributedString& string, std::string_view text, std::uint64_t from) {
    ns::Dictionary attributes;
    if (string.length() > from) {
        attributes = string.attributesAtIndex(string.length() - 1);
        attributes.erase(ui::AttachmentAttributeName);
        attributes.erase(ct::RunDelegateAttributeName);
        attributes.erase(RTFieldAttribute);
    }
    string.appendAttributedString(ct::AttributedString(text, std::move(attributes)));
}

namespace {

constexpr std::array<std::string_view, 7> ParagraphAttributeNames{
    ct::FontAttributeName,        ct::ParagraphStyleAttributeName, RTTextBlocksAttribute, RTTextListsAttribute,
    ct::ForegroundColorAttributeName, ui::ForegroundColorAttributeName, ui::FontAttributeName,
};

bool isParagraphAttribute(std::string_view key) {
    return std::find(ParagraphAttributeNames.begin(), ParagraphAttributeNames.end(), key) != ParagraphAttributeNames.end();
}

}  // namespace

ns::Dictionary paragraphAttributes(const ns::Dictionary& attributes, std::size_t roomForMore) {
    // One pass in key order: the copy is built already sorted.
    ns::Dictionary paragraph;
    paragraph.reserve(std::min(attributes.size(), ParagraphAttributeNames.size()) + roomForMore);
    for (const auto& [key, value] : attributes)
        if (isParagraphAttribute(key)) paragraph.appendUnsorted(key, value);
    paragraph.finishAppending();
    return paragraph;
}

void appendEndOfParagraph(ct::AttributedString& string) {
    if (string.empty()) return string.appendAttributedString(ct::AttributedString("\n"));
    const ns::Dictionary& last = string.attributesAtIndex(string.length() - 1);
    // A paragraph mostly ends in text that carries nothing else: the end then shares its attributes.
    if (std::all_of(last.begin(), last.end(), [](const ns::Dictionary::Entry& entry) { return isParagraphAttribute(entry.first); }))
        return string.replaceCharactersInRange({string.length(), 0}, "\n");
    string.appendAttributedString(ct::AttributedString("\n", paragraphAttributes(last)));
}

namespace {

// What a br element writes.
constexpr char16_t LineSeparator = u'\u2028';

// Membership in the ignorable white-space set, from a table for ASCII, which most characters asked about are.
bool isIgnorableWhitespace(char16_t c) {
    static const std::array<bool, 128> ascii = [] {
        std::array<bool, 128> members{};
        for (char16_t each = 0; each < members.size(); ++each) members[each] = ignorableWhitespaceCharacterSet().characterIsMember(each);
        return members;
    }();
    return c < ascii.size() ? ascii[c] : ignorableWhitespaceCharacterSet().characterIsMember(c);
}

}  // namespace

bool endsInsideLine(const ct::AttributedString& string) { return string.length() > 0 && string.u16string().back() != u'\n'; }

bool endsWithIgnorableWhitespace(const ct::AttributedString& string, std::uint64_t from) {
    return string.length() > from && isIgnorableWhitespace(string.u16string().back());
}

bool endLine(ct::AttributedString& string, std::uint64_t from) {
    const std::u16string& units = string.u16string();
    std::uint64_t keep = units.size();
    std::size_t breaks = 0;
    for (; keep > from && units[keep - 1] != u'\n' && isIgnorableWhitespace(units[keep - 1]); --keep) breaks += units[keep - 1] == LineSeparator;
    const bool ended = keep > from && units[keep - 1] == u'\n';
    if (keep < units.size()) string.deleteCharactersInRange({keep, units.size() - keep});
    if (ended && breaks == 0) return false;
    std::string end;
    for (std::size_t kept = 1; kept < breaks; ++kept) end += "\u2028";
    appendString(string, end + "\n", from);
    return breaks > 0;
}

void removeCollapsibleLeadingWhitespace(ct::AttributedString& piece, std::uint64_t from, bool beginsWithLineBreak) {
    const std::u16string& units = piece.u16string();
    // One pass to count, one deletion: a long run of spaces is dropped in linear time.
    std::uint64_t end = from;
    while (end < units.size() && (units[end] == u' ' || (units[end] == u'\n' && !beginsWithLineBreak) || units[end] == u'\t')) {
        const ns::Dictionary& attributes = piece.attributesAtIndex(end);
        const ns::Value* field = attributes.find(RTFieldAttribute);
        if (field && field->isString() && field->asString() == RTListPrefixField) break;
        const ns::Value* rule = attributes.find(RTHorizontalRuleStyleAttribute);
        if (rule && rule->boolValue()) break;
        ++end;
    }
    if (end > from) piece.deleteCharactersInRange({from, end - from});
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
        custom.set(name, value);
        changes.push_back({piece, ns::Value(std::move(custom))});
    });
    for (const Change& change : changes) string.addAttribute(RTCustomAttributesAttribute, change.customAttributes, change.range);
}

}  // namespace ql
