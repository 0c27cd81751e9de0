#include "richtext/RTTextHTMLElement.h"

#include <algorithm>

namespace ql {

namespace {

bool isCollapsible(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Whether collapsing changes the text: some white space other than a single space.
bool hasCollapsibleWhitespace(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!isCollapsible(text[at])) continue;
        if (text[at] != ' ' || (at + 1 < text.size() && isCollapsible(text[at + 1]))) return true;
    }
    return false;
}

std::string collapsedWhitespace(std::string_view text) {
    std::string collapsed;
    collapsed.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (!isCollapsible(text[at])) {
            collapsed += text[at++];
            continue;
        }
        collapsed += ' ';
        while (at < text.size() && isCollapsible(text[at])) ++at;
    }
    return collapsed;
}

}  // namespace

RTTextHTMLElement::RTTextHTMLElement(std::string text) : RTHTMLElement(ElementName, ns::Dictionary()), text_(std::move(text)) {}

void RTTextHTMLElement::inheritStyleOfParent(const RTHTMLElement& parent) {
    inheritAttributesFromElement(parent);
    sharesParentStyle_ = true;
}

bool RTTextHTMLElement::appendAttributedStringTo(ct::AttributedString& text) {
    if (!writesText()) return false;
    appendTo(text, sharesParentStyle_ ? parentElementPointer() : nullptr, false);
    return true;
}

void RTTextHTMLElement::appendTo(ct::AttributedString& text, const RTHTMLElement* parent, bool dropLeadingWhitespace) const {
    std::shared_ptr<const ns::Dictionary> attributes =
        parent && !parent->textAttachment() ? parent->attributesForTextContent()
                                            : std::make_shared<const ns::Dictionary>(attributesForAttributedStringRepresentation());
    std::string collapsed;
    std::string_view characters = text_;
    if (!preserveNewlines() && hasCollapsibleWhitespace(text_)) characters = collapsed = collapsedWhitespace(text_);
    // The white space that joining drops is ASCII: its bytes are its UTF-16 units.
    if (dropLeadingWhitespace) characters.remove_prefix(std::min(characters.find_first_not_of(" \n\t"), characters.size()));
    text.appendText(characters, std::move(attributes));
}

}  // namespace ql
