#pragma once
// RTStylesheetHTMLElement: a style element. It outputs nothing; its text is a stylesheet.

#include "richtext/RTCSSStylesheet.h"
#include "richtext/RTHTMLElement.h"

namespace ql {

class RTStylesheetHTMLElement final : public RTHTMLElement {
    QL_OBJECT(RTStylesheetHTMLElement, RTHTMLElement)
public:
    using RTHTMLElement::RTHTMLElement;

    // The rules of the element's text (its raw text nodes and text elements, in order).
    RTCSSStylesheet stylesheet() const;
    bool appendAttributedStringTo(ct::AttributedString&) override { return false; }
};

}  // namespace ql
