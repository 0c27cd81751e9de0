#pragma once
// RTTextHTMLElement: a run of character data between tags; its text is the characters with the style
// of the element.
//
// White space, as CSS has it for "white-space: normal": unless the element preserves new lines (white
// space beginning with "pre"), each run of spaces, tabs, line feeds, carriage returns and form feeds
// becomes one space. Other spaces (no-break, ideographic…) are written on purpose and stay. Where two
// texts meet, the element that joins them drops the second one's leading space (RTHTMLElement).

#include "richtext/RTHTMLElement.h"

namespace ql {

class RTTextHTMLElement final : public RTHTMLElement {
    QL_OBJECT(RTTextHTMLElement, RTHTMLElement)
public:
    static constexpr std::string_view ElementName = "#TEXT#";

    explicit RTTextHTMLElement(std::string text = {});

    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }

    bool appendAttributedStringTo(ct::AttributedString& text) override;
    // Appends the element's text to `text`, in the parent's shared text attributes when a
    // parent without an attachment is given (else in its own). With `dropLeadingWhitespace` the spaces,
    // line feeds and tabs it begins with go, as where it joins text that ends in white space.
    void appendTo(ct::AttributedString& text, const RTHTMLElement* parent, bool dropLeadingWhitespace) const;

    // For a text that takes its parent's style as it is and keeps it, as the import's texts do: the
    // inheritance shares the parent's font descriptor and paragraph style objects instead of copying
    // them, and the text's attributes are the parent's shared text attributes
    // (RTHTMLElement::attributesForTextContent, which follow the parent's later changes). The text's own
    // style may not change afterwards.
    void inheritStyleOfParent(const RTHTMLElement& parent);
    bool sharesParentStyle() const { return sharesParentStyle_; }

private:
    // In this order, both fall on one cache line of the node.
    bool sharesParentStyle_ = false;
    std::string text_;
};

}  // namespace ql
