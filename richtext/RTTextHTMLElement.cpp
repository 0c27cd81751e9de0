#include "richtext/RTTextHTMLElement.h"

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

std::optional<ct::AttributedString> RTTextHTMLElement::attributedString() {
    if (displayStyle() == RTHTMLElementDisplayStyle::None || didOutput()) return std::nullopt;
    const RTHTMLElement* parent = sharesParentStyle_ ? parentElementPointer() : nullptr;
    std::shared_ptr<const ns::Dictionary> attributes =
        parent && !parent->textAttachment()
            ? parent->attributesForTextContent()
            : std::make_shared<const ns::Dictionary>(attributesForAttributedStringRepresentation());
    if (preserveNewlines() || !hasCollapsibleWhitespace(text_)) return ct::AttributedString(text_, std::move(attributes));
    return ct::AttributedString(collapsedWhitespace(text_), std::move(attributes));
}

}  // namespace ql
