#pragma once
// The elements of a, br and hr: a link remembers the colour it takes while touched, a line break is a
// line separator inside its paragraph, a horizontal rule an empty line marked for layout to draw a rule.

#include "richtext/RTHTMLElement.h"

namespace ql {

class RTAnchorHTMLElement final : public RTHTMLElement {
    QL_OBJECT(RTAnchorHTMLElement, RTHTMLElement)
public:
    using RTHTMLElement::RTHTMLElement;

    // Also the "active:color" of the link's rules.
    void applyStyleDictionary(const ns::Dictionary& styles) override;
    bool appendAttributedStringTo(ct::AttributedString& text) override;

    const std::shared_ptr<ui::Color>& highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(std::shared_ptr<ui::Color> color) { highlightedTextColor_ = std::move(color); }

private:
    std::shared_ptr<ui::Color> highlightedTextColor_;
};

class RTBreakHTMLElement final : public RTHTMLElement {
    QL_OBJECT(RTBreakHTMLElement, RTHTMLElement)
public:
    using RTHTMLElement::RTHTMLElement;

    bool appendAttributedStringTo(ct::AttributedString& text) override;
};

class RTHorizontalRuleHTMLElement final : public RTHTMLElement {
    QL_OBJECT(RTHorizontalRuleHTMLElement, RTHTMLElement)
public:
    using RTHTMLElement::RTHTMLElement;

    ns::Dictionary attributesForAttributedStringRepresentation() const override;
    bool appendAttributedStringTo(ct::AttributedString& text) override;
};

}  // namespace ql
