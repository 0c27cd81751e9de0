#include "richtext/RichTextParagraphStyle.h"

#include <functional>

#include "platform/foundation/Value.h"

namespace ql {

namespace {

// Numbers as the platform prints a double: up to 16 significant digits, no trailing zeros.
std::string number(double value) { return ns::Value(value).description(); }

// Element by element, each by its own equality.
template <typename T>
bool equalElements(const std::vector<std::shared_ptr<T>>& a, const std::vector<std::shared_ptr<T>>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        if (!a[i] || !b[i] || !a[i]->isEqual(*b[i])) return false;
    }
    return true;
}

}  // namespace

std::shared_ptr<RichTextParagraphStyle> RichTextParagraphStyle::defaultParagraphStyle() {
    return std::make_shared<RichTextParagraphStyle>();
}

std::shared_ptr<RichTextParagraphStyle> RichTextParagraphStyle::paragraphStyleWithCTParagraphStyle(const ct::ParagraphStyle& style) {
    auto made = std::make_shared<RichTextParagraphStyle>();
    made->alignment = style.alignment;
    made->firstLineHeadIndent = style.firstLineHeadIndent;
    made->headIndent = style.headIndent;
    made->tailIndent = style.tailIndent;
    made->paragraphSpacing = style.paragraphSpacing;
    made->paragraphSpacingBefore = style.paragraphSpacingBefore;
    made->defaultTabInterval = style.defaultTabInterval;
    if (!style.tabStops.empty()) made->tabStops = style.tabStops;
    made->baseWritingDirection = style.baseWritingDirection;
    made->minimumLineHeight = style.minimumLineHeight;
    made->maximumLineHeight = style.maximumLineHeight;
    made->lineHeightMultiple = style.lineHeightMultiple;
    return made;
}

std::shared_ptr<RichTextParagraphStyle> RichTextParagraphStyle::paragraphStyleWithNSParagraphStyle(const ct::ParagraphStyleObject* style) {
    return paragraphStyleWithCTParagraphStyle(style ? style->style() : ct::ParagraphStyle());
}

ct::ParagraphStyle RichTextParagraphStyle::createCTParagraphStyle() const {
    ct::ParagraphStyle style;
    style.alignment = alignment;
    style.firstLineHeadIndent = firstLineHeadIndent;
    style.defaultTabInterval = defaultTabInterval;
    if (tabStops) style.tabStops = *tabStops;
    style.paragraphSpacing = paragraphSpacing;
    style.paragraphSpacingBefore = paragraphSpacingBefore;
    style.headIndent = headIndent;
    style.tailIndent = tailIndent;
    style.baseWritingDirection = baseWritingDirection;
    style.lineHeightMultiple = lineHeightMultiple;
    style.minimumLineHeight = minimumLineHeight;
    style.maximumLineHeight = maximumLineHeight;
    return style;
}

std::shared_ptr<ct::ParagraphStyleObject> RichTextParagraphStyle::NSParagraphStyle() const {
    return std::make_shared<ct::ParagraphStyleObject>(createCTParagraphStyle());
}

void RichTextParagraphStyle::addTabStopAtPosition(double position, std::uint8_t tabAlignment) {
    if (tabAlignment > static_cast<std::uint8_t>(ct::TextAlignment::Natural)) return;
    if (!tabStops) tabStops.emplace();
    tabStops->push_back(ct::TextTab{static_cast<ct::TextAlignment>(tabAlignment), position});
}

std::optional<std::string> RichTextParagraphStyle::cssStyleRepresentation() const {
    std::string css;
    switch (alignment) {
    case ct::TextAlignment::Left: css += "text-align:left;"; break;
    case ct::TextAlignment::Right: css += "text-align:right;"; break;
    case ct::TextAlignment::Center: css += "text-align:center;"; break;
    case ct::TextAlignment::Justified: css += "text-align:justify;"; break;
    case ct::TextAlignment::Natural: break;
    }
    if (lineHeightMultiple != 0 && lineHeightMultiple != 1) css += "line-height:" + number(lineHeightMultiple) + "em;";
    if (baseWritingDirection == ct::WritingDirection::LeftToRight) css += "direction:ltr;";
    if (baseWritingDirection == ct::WritingDirection::RightToLeft) css += "direction:rtl;";
    if (paragraphSpacing != 0) css += "margin-bottom:" + number(paragraphSpacing) + "px;";
    if (paragraphSpacingBefore != 0) css += "margin-top:" + number(paragraphSpacingBefore) + "px;";
    if (headIndent != 0) css += "margin-left:" + number(headIndent) + "px;";
    if (tailIndent != 0) css += "margin-right:" + number(-tailIndent) + "px;";
    if (css.empty()) return std::nullopt;
    return css;
}

bool RichTextParagraphStyle::isEqual(const ns::Object& other) const {
    if (this == &other) return true;
    auto* style = dynamic_cast<const RichTextParagraphStyle*>(&other);
    if (!style) return false;
    if (firstLineHeadIndent != style->firstLineHeadIndent || headIndent != style->headIndent ||
        tailIndent != style->tailIndent || defaultTabInterval != style->defaultTabInterval ||
        paragraphSpacing != style->paragraphSpacing || paragraphSpacingBefore != style->paragraphSpacingBefore ||
        lineHeightMultiple != style->lineHeightMultiple || minimumLineHeight != style->minimumLineHeight ||
        maximumLineHeight != style->maximumLineHeight || alignment != style->alignment ||
        baseWritingDirection != style->baseWritingDirection) {
        return false;
    }
    static const TextLists& noLists = *new TextLists;
    static const TextBlocks& noBlocks = *new TextBlocks;
    if (textLists && !equalElements(*textLists, style->textLists ? *style->textLists : noLists)) return false;
    if (textBlocks && !equalElements(*textBlocks, style->textBlocks ? *style->textBlocks : noBlocks)) return false;
    if (tabStops && *tabStops != style->tabStops.value_or(TabStops())) return false;
    return true;
}

std::size_t RichTextParagraphStyle::hash() const {
    std::size_t hash = 7;
    const auto mix = [&hash](double value) { hash = hash * 31 + std::hash<double>()(value == 0 ? 0 : value); };
    for (double value : {firstLineHeadIndent, headIndent, tailIndent, defaultTabInterval, paragraphSpacing,
                         paragraphSpacingBefore, lineHeightMultiple, minimumLineHeight, maximumLineHeight}) {
        mix(value);
    }
    hash = hash * 31 + static_cast<std::size_t>(alignment);
    hash = hash * 31 + static_cast<std::size_t>(static_cast<int>(baseWritingDirection) + 1);
    return hash;
}

std::shared_ptr<ns::Object> RichTextParagraphStyle::copy() const {
    auto copied = std::make_shared<RichTextParagraphStyle>();
    copied->firstLineHeadIndent = firstLineHeadIndent;
    copied->headIndent = headIndent;
    copied->tailIndent = tailIndent;
    copied->defaultTabInterval = defaultTabInterval;
    copied->paragraphSpacingBefore = paragraphSpacingBefore;
    copied->paragraphSpacing = paragraphSpacing;
    copied->lineHeightMultiple = lineHeightMultiple;
    copied->minimumLineHeight = minimumLineHeight;
    copied->maximumLineHeight = maximumLineHeight;
    copied->alignment = alignment;
    copied->baseWritingDirection = baseWritingDirection;
    copied->tabStops = tabStops;
    copied->textLists = textLists;
    copied->textBlocks = textBlocks;
    return copied;
}

}  // namespace ql
