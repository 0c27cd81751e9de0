#include "richtext/RTHTMLElement.h"

#include <charconv>
#include <cmath>

#include "richtext/NSScannerHTML.h"
#include "richtext/NSStringUTUtilities.h"

namespace ql {

namespace {

template <typename T>
std::shared_ptr<std::remove_const_t<T>> copied(const std::shared_ptr<T>& object) {
    return object ? std::static_pointer_cast<std::remove_const_t<T>>(object->copy()) : nullptr;
}

}  // namespace

double RTHTMLElement::leadingNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && css::isSpace(text[at])) ++at;
    if (at < text.size() && text[at] == '+') ++at;
    double value = 0;
    const std::from_chars_result read = std::from_chars(text.data() + at, text.data() + text.size(), value, std::chars_format::fixed);
    if (read.ec != std::errc() || !std::isfinite(value)) return 0;
    return value;
}

RTHTMLElement::RTHTMLElement(std::string_view name, ns::Dictionary attributes, const ns::Dictionary&)
    : RTHTMLParserNode(name, std::move(attributes)) {
    setIsElement();
    // The node has stored the attributes already.
    readBoxSize();
}

void RTHTMLElement::setAttributes(const ns::Dictionary& attributes) {
    RTHTMLParserNode::setAttributes(attributes);
    readBoxSize();
}

void RTHTMLElement::readBoxSize() {
    // Read in place: every element and text comes here, and most have no size.
    if (attributes().empty()) {
        size_ = {};
        return;
    }
    const auto number = [this](std::string_view key) {
        const ns::Value* value = attributes().find(key);
        if (!value || value->isNil()) return 0.0;
        return value->isString() ? leadingNumber(value->asString()) : leadingNumber(value->stringValue());
    };
    size_ = {number("width"), number("height")};
}

std::shared_ptr<RTHTMLElement> RTHTMLElement::parentElement() const {
    std::shared_ptr<RTHTMLParserNode> parent = parentNode();
    return parent && parent->isElement() ? std::static_pointer_cast<RTHTMLElement>(std::move(parent)) : nullptr;
}

void RTHTMLElement::inheritAttributesFromElement(const RTHTMLElement& parent) {
    fontDescriptor_ = parent.fontDescriptor_;
    paragraphStyle_ = parent.paragraphStyle_;
    headerLevel_ = parent.headerLevel_;
    fontVariant_ = parent.fontVariant();
    underlineStyle_ = parent.underlineStyle_;
    strikeOut_ = parent.strikeOut_;
    superscriptStyle_ = parent.superscriptStyle_;
    letterSpacing_ = parent.letterSpacing_;
    link_ = parent.link_;
    decorations_ = parent.decorations_;
    textColor_ = parent.textColor_;
    isColorInherited_ = true;
    preserveNewlines_ = parent.preserveNewlines_;
    currentTextSize_ = parent.currentTextSize();
    textScale_ = parent.textScale_;
    textAttributesCache_ = parent.textAttributesCache_;
    backgroundColor_ = parent.backgroundColor_;
    backgroundStrokeWidth_ = parent.backgroundStrokeWidth_;
    backgroundCornerRadius_ = parent.backgroundCornerRadius_;
    containsAppleConvertedSpace_ = parent.containsAppleConvertedSpace_;
    if (textAttachment_) textAttachment_->setHyperLinkURL(parent.link_);
    styleDidChange();
}

void RTHTMLElement::interpretAttributes() {
    if (attributes().empty()) return;
    if (attributeForKey("class") == "Apple-converted-space") containsAppleConvertedSpace_ = true;
    if (!paragraphStyle_) paragraphStyle_ = std::make_shared<RichTextParagraphStyle>();
    if (const std::optional<std::string> direction = attributeForKey("dir")) {
        if (*direction == "rtl") setParagraphValue(&RichTextParagraphStyle::baseWritingDirection, ct::WritingDirection::RightToLeft);
        else if (*direction == "ltr") setParagraphValue(&RichTextParagraphStyle::baseWritingDirection, ct::WritingDirection::LeftToRight);
        else if (*direction == "auto") setParagraphValue(&RichTextParagraphStyle::baseWritingDirection, ct::WritingDirection::Natural);
    }
    if (const std::optional<std::string> align = attributeForKey("align")) {
        if (*align == "justify") setParagraphValue(&RichTextParagraphStyle::alignment, ct::TextAlignment::Justified);
        else if (*align == "left") setParagraphValue(&RichTextParagraphStyle::alignment, ct::TextAlignment::Left);
        else if (*align == "center") setParagraphValue(&RichTextParagraphStyle::alignment, ct::TextAlignment::Center);
        else if (*align == "right") setParagraphValue(&RichTextParagraphStyle::alignment, ct::TextAlignment::Right);
    }
    styleDidChange();
}

RTHTMLElement::Decorations& RTHTMLElement::mutableDecorations() {
    if (!decorations_) decorations_ = std::make_shared<Decorations>();
    else if (decorations_.use_count() > 1) decorations_ = std::make_shared<Decorations>(*decorations_);
    // Made as a changeable object (here or by the copy), and no one else holds it.
    return const_cast<Decorations&>(*decorations_);
}

RichTextFontDescriptor& RTHTMLElement::mutableFontDescriptor() {
    if (!fontDescriptor_) fontDescriptor_ = std::make_shared<RichTextFontDescriptor>();
    else if (fontDescriptor_.use_count() > 1) fontDescriptor_ = copied(fontDescriptor_);
    styleDidChange();
    // Made as a changeable object (here or by the copy), and no one else holds it.
    return const_cast<RichTextFontDescriptor&>(*fontDescriptor_);
}

void RTHTMLElement::shareParagraphStyle(const std::shared_ptr<const RichTextParagraphStyle>& style) {
    // Never changed in place while shared: mutableParagraphStyle copies it first.
    paragraphStyle_ = style;
    styleDidChange();
}

RichTextParagraphStyle& RTHTMLElement::mutableParagraphStyle() {
    if (!paragraphStyle_) paragraphStyle_ = std::make_shared<RichTextParagraphStyle>();
    else if (paragraphStyle_.use_count() > 1) paragraphStyle_ = copied(paragraphStyle_);
    styleDidChange();
    // Made as a changeable object (here or by the copy), and no one else holds it.
    return const_cast<RichTextParagraphStyle&>(*paragraphStyle_);
}

std::shared_ptr<RTCSSListStyle> RTHTMLElement::listStyle() const {
    auto style = std::make_shared<RTCSSListStyle>(styles());
    if (const std::optional<std::string> start = attributeForKey("start")) {
        std::int64_t number = 0;
        std::size_t at = 0;
        while (at < start->size() && css::isSpace((*start)[at])) ++at;
        std::from_chars(start->data() + at, start->data() + start->size(), number);
        style->setStartingItemNumber(number);
    }
    return style;
}

const ns::Dictionary& RTHTMLElement::styles() const {
    static const ns::Dictionary& none = *new ns::Dictionary;
    const ns::Dictionary* own = declarations_ ? declarations_->styles().asDictionary() : nullptr;
    return own ? *own : none;
}

void RTHTMLElement::setStyles(ns::Dictionary styles) {
    declarations_ = std::make_shared<const RTCSSDeclarations>(ns::Value(std::move(styles)));
}

void RTHTMLElement::applyStyles(const ns::Value& styles) {
    const ns::Dictionary* declarations = styles.asDictionary();
    if (!declarations || declarations->empty()) return;
    applyStyles(std::make_shared<const RTCSSDeclarations>(styles));
}

void RTHTMLElement::applyStyles(std::shared_ptr<const RTCSSDeclarations> declarations) {
    const ns::Dictionary* styles = declarations ? declarations->styles().asDictionary() : nullptr;
    if (!styles || styles->empty()) return;
    declarations_ = std::move(declarations);
    applyStyleDictionary(*styles);
}

bool RTHTMLElement::isNotChildOfList() const {
    const RTHTMLElement* parent = parentElementPointer();
    if (!parent) return true;
    if (parent->displayStyle_ == RTHTMLElementDisplayStyle::ListItem) return false;
    if (parent->displayStyle_ == RTHTMLElementDisplayStyle::Block && (parent->name() == "ol" || parent->name() == "ul")) return false;
    return true;
}

void RTHTMLElement::setFontDescriptor(const std::shared_ptr<const RichTextFontDescriptor>& descriptor) {
    fontDescriptor_ = copied(descriptor);
    styleDidChange();
}

void RTHTMLElement::setParagraphStyle(const std::shared_ptr<const RichTextParagraphStyle>& style) {
    paragraphStyle_ = copied(style);
    styleDidChange();
}

void RTHTMLElement::setTextAttachment(std::shared_ptr<RTTextAttachment> attachment) {
    if (attachment) attachment->setVerticalAlignment(textAttachmentAlignment_);
    textAttachment_ = std::move(attachment);
    if (textAttachment_) {
        textAttachment_->setHyperLinkGUID(linkGUID());
        // An attachment that sized itself (from the same width and height, fitted to the largest size
        // the import allows) keeps its size; the element's box only fills in for one that has none.
        const cg::Size own = textAttachment_->displaySize();
        if (own.width <= 0 && own.height <= 0) textAttachment_->setDisplaySize(size_);
    }
    styleDidChange();
}

void RTHTMLElement::setLink(std::optional<ns::URL> link) {
    mutableDecorations().linkGUID = stringWithUUID();
    link_ = std::move(link);
    if (textAttachment_) textAttachment_->setHyperLinkGUID(linkGUID());
    styleDidChange();
}

void RTHTMLElement::setTextColor(std::shared_ptr<ui::Color> color) {
    if (color != textColor_) isColorInherited_ = false;
    textColor_ = std::move(color);
    styleDidChange();
}

// Both walk up the tree in a loop: documents nest as deep as they like.
RTHTMLElementFontVariant RTHTMLElement::inheritedFontVariant() const {
    for (const RTHTMLElement* ancestor = parentElementPointer(); ancestor; ancestor = ancestor->parentElementPointer()) {
        if (ancestor->fontVariant_ != RTHTMLElementFontVariant::Inherit) return ancestor->fontVariant_;
    }
    return RTHTMLElementFontVariant::Normal;
}

double RTHTMLElement::inheritedTextSize() const {
    for (const RTHTMLElement* ancestor = parentElementPointer(); ancestor; ancestor = ancestor->parentElementPointer()) {
        if (ancestor->currentTextSize_ != 0) return ancestor->currentTextSize_;
    }
    return 0;
}

const std::set<std::string>& RTHTMLElement::CSSClassNamesToIgnoreForCustomAttributes() const {
    static const auto& none = *new std::set<std::string>;
    return classNamesToIgnore_ ? *classNamesToIgnore_ : none;
}

void RTHTMLElement::setCSSClassNamesToIgnoreForCustomAttributes(std::set<std::string> names) {
    classNamesToIgnore_ = names.empty() ? nullptr : std::make_shared<const std::set<std::string>>(std::move(names));
}

const std::set<std::string, std::less<>>& RTHTMLElement::attributesToIgnoreForCustomAttributesAttribute() {
    static const auto& names = *new std::set<std::string, std::less<>>{"style", "dir",  "align", "src",    "href", "color",
                                                                       "face",  "size", "name",  "height", "width"};
    return names;
}

}  // namespace ql
