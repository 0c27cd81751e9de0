// How an element takes its style from CSS declarations.

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

#include "richtext/NSStringCSS.h"
#include "richtext/NSStringHTML.h"
#include "richtext/RTCSSDeclarations.h"
#include "richtext/RTHTMLElement.h"
#include "richtext/RTLog.h"

namespace ql {

namespace {

std::optional<double> namedFontSize(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, double>, 8> Sizes = {{{"xx-small", 9},
                                                                                  {"x-small", 10},
                                                                                  {"small", 13},
                                                                                  {"medium", 16},
                                                                                  {"large", 18},
                                                                                  {"x-large", 24},
                                                                                  {"xx-large", 32},
                                                                                  {"-webkit-xxx-large", 48}}};
    for (const auto& [keyword, points] : Sizes) {
        if (name == keyword) return points;
    }
    return std::nullopt;
}

// The step CSS takes between "smaller" and "larger" sizes, as the single-precision value it was kept in.
constexpr double SizeStep = static_cast<double>(1.2f);
constexpr std::uint32_t ScriptsStylisticClass = 0xA0000000u;

// The generic family an entry names, if any; applied to the descriptor.
bool applyGenericFamily(std::string_view entry, RichTextFontDescriptor& font) {
    std::string squeezed;
    for (char c : RTASCIILowercased(entry)) {
        if (!std::isspace(static_cast<unsigned char>(c))) squeezed += c;
    }
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = squeezed.find(',', start);
        pieces.push_back(std::string_view(squeezed).substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    const auto has = [&](std::string_view generic) { return std::find(pieces.begin(), pieces.end(), generic) != pieces.end(); };
    if (has("geneva")) font.setFontFamily("Helvetica");
    else if (has("cursive")) font.setStylisticClass(ScriptsStylisticClass);
    else if (has("sans-serif")) font.setFontFamily("Helvetica");
    else if (has("serif")) font.setFontFamily("Times New Roman");
    else if (has("fantasy")) font.setFontFamily("Papyrus");
    else if (has("monospace")) {
        font.setMonospaceTrait(true);
        font.setFontFamily("Courier");
    } else if (has("times")) font.setFontFamily("Times New Roman");
    else return false;
    return true;
}

}  // namespace

bool RTHTMLElement::parseEdgeInsets(const RTCSSDeclarations::BoxDeclarations& box, std::string_view prefix,
                                    ct::WritingDirection direction, cg::EdgeInsets& insets) const {
    if (box.empty()) return false;
    const bool logical = prefix.starts_with("-webkit");
    const bool rightToLeft = direction == ct::WritingDirection::RightToLeft;
    using Edge = RTCSSDeclarations::Edge;
    const double size = fontDescriptor_ ? fontDescriptor_->pointSize() : 0;
    cg::EdgeInsets result = insets;
    bool used = false;
    // The shorthand goes first so that a side written next to it wins wherever it stands.
    for (const RTCSSEdgeLengths& shorthand : box.shorthands) {
        result = shorthand.insets(size, textScale());
        used = true;
    }
    for (const RTCSSDeclarations::Side& side : box.sides) {
        Edge edge = logical ? side.logical : side.physical;
        if (edge == Edge::Start) edge = rightToLeft ? Edge::Right : Edge::Left;
        else if (edge == Edge::End) edge = rightToLeft ? Edge::Left : Edge::Right;
        if (edge == Edge::None) continue;
        const double length = side.length.pixels(size, textScale());
        switch (edge) {
        case Edge::Left: result.left = length; break;
        case Edge::Bottom: result.bottom = length; break;
        case Edge::Right: result.right = length; break;
        default: result.top = length; break;
        }
        used = true;
    }
    if (used) insets = result;
    return used;
}

void RTHTMLElement::applyStyleDictionary(const ns::Dictionary& styles) {
    if (styles.empty()) return;
    if (!fontDescriptor_) fontDescriptor_ = std::make_shared<RichTextFontDescriptor>();
    if (!paragraphStyle_) paragraphStyle_ = std::make_shared<RichTextParagraphStyle>();
    // The style objects are read in place and copied only by a declaration that changes them.
    const auto pointSize = [this] { return fontDescriptor_->pointSize(); };
    const auto paragraph = [this]() -> const RichTextParagraphStyle& { return *paragraphStyle_; };
    using P = RichTextParagraphStyle;
    const auto length = [&](std::string_view text) { return pixelSizeOfCSSMeasure(text, pointSize(), textScale_); };

    // Declarations that came through applyStyles are held already, and read once for all their elements.
    if (!declarations_ || declarations_->styles().asDictionary() != &styles)
        declarations_ = std::make_shared<const RTCSSDeclarations>(ns::Value(styles));
    const RTCSSDeclarations& declarations = *declarations_;

    if (const auto direction = declarations.text(RTCSSProperty::Direction)) {
        if (*direction == "rtl") setParagraphValue(&P::baseWritingDirection, ct::WritingDirection::RightToLeft);
        else if (*direction == "ltr") setParagraphValue(&P::baseWritingDirection, ct::WritingDirection::LeftToRight);
        else if (*direction == "auto") setParagraphValue(&P::baseWritingDirection, ct::WritingDirection::Natural);
    }
    beforeContent_ = declarations.beforeContent();

    applyFontDeclarations(declarations);
    if (const auto& color = declarations.color(RTCSSProperty::Color)) {
        setTextColor(*color);
        // Declared, the colour is the element's own even where an ancestor declared this very object.
        if (*color) isColorInherited_ = false;
    }
    if (const auto& color = declarations.color(RTCSSProperty::BackgroundColor)) backgroundColor_ = *color;
    if (const auto floating = declarations.text(RTCSSProperty::Float)) {
        if (*floating == "left") floatStyle_ = RTHTMLElementFloatStyle::Left;
        else if (*floating == "right") floatStyle_ = RTHTMLElementFloatStyle::Right;
        else if (*floating == "none") floatStyle_ = RTHTMLElementFloatStyle::None;
    }
    if (const auto decoration = declarations.lowerText(RTCSSProperty::TextDecoration)) {
        if (*decoration == "underline") underlineStyle_ = 1;
        else if (*decoration == "line-through") strikeOut_ = true;
        else if (*decoration == "none") {
            underlineStyle_ = 0;
            strikeOut_ = false;
        } else if (*decoration == "overline") {
            RTLogMessage(RTLogLevelInfo, "Note: 'overline' text decoration not supported");
        } else if (*decoration == "blink") {
            RTLogMessage(RTLogLevelInfo, "Note: 'blink' text decoration not supported");
        }
    }
    if (const auto align = declarations.lowerText(RTCSSProperty::TextAlign)) {
        if (*align == "left") setParagraphValue(&P::alignment, ct::TextAlignment::Left);
        else if (*align == "right") setParagraphValue(&P::alignment, ct::TextAlignment::Right);
        else if (*align == "center") setParagraphValue(&P::alignment, ct::TextAlignment::Center);
        else if (*align == "justify") setParagraphValue(&P::alignment, ct::TextAlignment::Justified);
    }
    if (const auto vertical = declarations.lowerText(RTCSSProperty::VerticalAlign)) {
        if (*vertical == "sub") superscriptStyle_ = -1;
        else if (*vertical == "super") superscriptStyle_ = 1;
        else if (*vertical == "baseline") superscriptStyle_ = 0;
        else if (*vertical == "text-top") textAttachmentAlignment_ = 1;
        else if (*vertical == "middle") textAttachmentAlignment_ = 2;
        else if (*vertical == "text-bottom") textAttachmentAlignment_ = 3;
    }
    if (const auto spacing = declarations.lowerText(RTCSSProperty::LetterSpacing)) {
        if (*spacing == "normal") letterSpacing_ = 0;
        else if (*spacing != "inherit") letterSpacing_ = length(*spacing);
    }
    if (textAttachment_) textAttachment_->setVerticalAlignment(textAttachmentAlignment_);
    if (const auto shadow = declarations.text(RTCSSProperty::TextShadow)) mutableDecorations().shadows = arrayOfCSSShadows(*shadow, pointSize(), textColor_);
    if (const auto lineHeight = declarations.lowerText(RTCSSProperty::LineHeight)) {
        if (*lineHeight == "normal") {
            setParagraphValue(&P::lineHeightMultiple, 0.0);
            setParagraphValue(&P::minimumLineHeight, 0.0);
            setParagraphValue(&P::maximumLineHeight, 0.0);
        } else if (*lineHeight != "inherit") {
            if (isNumeric(*lineHeight)) {
                setParagraphValue(&P::lineHeightMultiple, leadingNumber(*lineHeight));
            } else {
                const double height = length(*lineHeight);
                setParagraphValue(&P::minimumLineHeight, height);
                setParagraphValue(&P::maximumLineHeight, height);
            }
        }
    }
    for (const auto& [key, bound] : {std::pair{RTCSSProperty::MinimumLineHeight, &P::minimumLineHeight},
                                     std::pair{RTCSSProperty::MaximumLineHeight, &P::maximumLineHeight}}) {
        const auto value = declarations.lowerText(key);
        if (!value || *value == "normal" || *value == "inherit") continue;
        setParagraphValue(bound, isNumeric(*value) ? leadingNumber(*value) : length(*value));
    }
    if (const auto variant = declarations.lowerText(RTCSSProperty::FontVariant)) {
        fontVariant_ = *variant == "small-caps" ? RTHTMLElementFontVariant::SmallCaps
                       : *variant == "inherit"  ? RTHTMLElementFontVariant::Inherit
                                                : RTHTMLElementFontVariant::Normal;
    }
    if (const auto width = declarations.text(RTCSSProperty::Width); width && *width != "auto") size_.width = length(*width);
    if (const auto height = declarations.text(RTCSSProperty::Height); height && *height != "auto") size_.height = length(*height);
    // Inherited unless the rules say otherwise: bold text inside a pre keeps its line ends.
    if (const auto whiteSpace = declarations.lowerText(RTCSSProperty::WhiteSpace); whiteSpace && *whiteSpace != "inherit")
        preserveNewlines_ = whiteSpace->starts_with("pre");
    if (const auto display = declarations.text(RTCSSProperty::Display)) {
        if (*display == "none") displayStyle_ = RTHTMLElementDisplayStyle::None;
        else if (*display == "block") displayStyle_ = RTHTMLElementDisplayStyle::Block;
        else if (*display == "inline") displayStyle_ = RTHTMLElementDisplayStyle::Inline;
        else if (*display == "list-item") displayStyle_ = RTHTMLElementDisplayStyle::ListItem;
        else if (*display == "table") displayStyle_ = RTHTMLElementDisplayStyle::Table;
    }
    if (const auto& color = declarations.color(RTCSSProperty::BorderColor)) mutableDecorations().backgroundStrokeColor = *color;
    const auto border = [&](RTCSSProperty property) {
        const auto value = declarations.lowerText(property);
        return value ? leadingNumber(*value) : 0.0;
    };
    backgroundStrokeWidth_ = border(RTCSSProperty::BorderWidth);
    backgroundCornerRadius_ = border(RTCSSProperty::BorderRadius);

    const ct::WritingDirection direction = paragraph().baseWritingDirection;
    // Both prefixes are read whatever the first one finds.
    const auto box = [&](RTCSSDeclarations::Box which, cg::EdgeInsets& insets) {
        const RTCSSDeclarations::BoxDeclarations& keys = declarations.box(which);
        return !keys.empty() && parseEdgeInsets(keys, RTCSSDeclarations::prefix(which), direction, insets);
    };
    using Box = RTCSSDeclarations::Box;
    const bool hasWebKitMargins = box(Box::WebKitMargin, margins_);
    const bool hasMargins = box(Box::Margin, margins_) || hasWebKitMargins;
    const bool hasWebKitPadding = box(Box::WebKitPadding, padding_);
    const bool hasPadding = box(Box::Padding, padding_) || hasWebKitPadding;
    bool needsTextBlock = false;
    if (hasPadding) {
        if (name() == "ul" || name() == "ol") {
            listIndent_ = padding_.left;
            padding_.left = 0;
        }
        needsTextBlock = padding_.top > 0 || padding_.left > 0 || padding_.bottom > 0 || padding_.right > 0;
    }
    needsTextBlock = needsTextBlock || backgroundColor_ || backgroundStrokeColor() || backgroundCornerRadius_ > 0 ||
                     backgroundStrokeWidth_ > 0;

    if (displayStyle_ == RTHTMLElementDisplayStyle::ListItem) {
        setParagraphValue(&P::paragraphSpacing, margins_.bottom);
    } else if (displayStyle_ == RTHTMLElementDisplayStyle::Block) {
        if (hasMargins) {
            setParagraphValue(&P::paragraphSpacing, margins_.bottom);
            setParagraphValue(&P::headIndent, paragraph().headIndent + margins_.left);
            setParagraphValue(&P::firstLineHeadIndent, paragraph().headIndent);
            setParagraphValue(&P::tailIndent, paragraph().tailIndent - margins_.right);
        }
        if (needsTextBlock) {
            // The block paints the background, so the runs (and the children) carry none.
            auto block = std::make_shared<RTTextBlock>();
            block->setPadding(padding_);
            block->setBackgroundColor(backgroundColor_);
            backgroundColor_ = nullptr;
            RichTextParagraphStyle& own = mutableParagraphStyle();
            own.textBlocks.mutableList().push_back(std::move(block));
        }
    }
    styleDidChange();
}

void RTHTMLElement::applyFontDeclarations(const RTCSSDeclarations& declarations) {
    if (!declarations.changesFont()) return;
    // An element that holds its descriptor alone changes it in place; one that shares it with its parent
    // would copy it, unless an element of the same cascade already made the same font from it.
    std::shared_ptr<const RichTextFontDescriptor> source;
    if (fontDescriptor_.use_count() > 1 && !declarations.fontReadsParent()) {
        if (auto made = declarations.fontMadeFrom(fontDescriptor_, currentTextSize(), textScale_)) {
            fontDescriptor_ = std::move(made);
            styleDidChange();
            return;
        }
        source = fontDescriptor_;
    }
    const auto font = [this]() -> RichTextFontDescriptor& { return mutableFontDescriptor(); };
    const auto pointSize = [this] { return fontDescriptor_->pointSize(); };
    const auto setPointSize = [&](double size) {
        if (std::round(size) != pointSize()) font().setPointSize(size);
    };
    const auto clearFontName = [&] {
        if (fontDescriptor_->fontName()) font().setFontName(std::nullopt);
    };
    if (const auto fontSize = declarations.text(RTCSSProperty::FontSize)) {
        if (const std::optional<double> named = namedFontSize(*fontSize)) {
            setPointSize(*named * textScale_);
        } else if (*fontSize == "smaller") {
            setPointSize(pointSize() / SizeStep);
        } else if (*fontSize == "larger") {
            setPointSize(pointSize() * SizeStep);
        } else if (*fontSize == "inherit") {
            const RTHTMLElement* parent = parentElementPointer();
            if (parent && parent->fontDescriptor_) setPointSize(parent->fontDescriptor_->pointSize());
        } else if (isCSSLengthValue(*fontSize)) {
            setPointSize(pixelSizeOfCSSMeasure(*fontSize, currentTextSize(), textScale_));
        }
    }
    applyFontFamily(declarations.fontFamily());
    if (const auto style = declarations.lowerText(RTCSSProperty::FontStyle)) {
        clearFontName();
        const bool italic = *style == "italic" || *style == "oblique";
        if ((italic || *style == "normal") && fontDescriptor_->italicTrait() != italic) font().setItalicTrait(italic);
    }
    // "inherit" keeps the weight the element inherited.
    if (const auto weight = declarations.lowerText(RTCSSProperty::FontWeight); weight && *weight != "inherit") {
        clearFontName();
        bool bold = false;
        if (*weight == "bold" || *weight == "bolder") {
            bold = true;
        } else if (*weight != "normal" && *weight != "lighter") {
            std::int64_t number = 0;
            std::from_chars(weight->data(), weight->data() + weight->size(), number);
            bold = number > 600;
        }
        if (fontDescriptor_->boldTrait() != bold) font().setBoldTrait(bold);
    }
    if (const auto fontName = declarations.text(RTCSSProperty::CoreTextFontName)) font().setFontName(std::string(*fontName));
    if (source) declarations.rememberFontMadeFrom(std::move(source), currentTextSize(), textScale_, fontDescriptor_);
}

void RTHTMLElement::applyFontFamily(const ns::Value* value) {
    if (!value) return;
    std::vector<std::string> entries;
    if (value->isString()) {
        entries.emplace_back(value->asString());
    } else if (const ns::Array* list = value->asArray()) {
        for (const ns::Value& entry : *list) entries.push_back(entry.stringValue());
    }
    RichTextFontDescriptor& font = mutableFontDescriptor();
    for (const std::string& entry : entries) {
        font.setFontFamily(entry);
        const std::optional<ct::Font> found = font.newMatchingFont();
        if (!found) continue;
        if (found->familyName() == entry) return;
        if (applyGenericFamily(entry, font)) return;
        if (RTASCIILowercased(entry) == "inherit") {
            const RTHTMLElement* parent = parentElementPointer();
            font.setFontFamily(parent && parent->fontDescriptor_ ? parent->fontDescriptor_->fontFamily() : std::nullopt);
            return;
        }
    }
    if (!entries.empty()) font.setFontFamily(entries.front());
}

}  // namespace ql
