#include "richtext/RTCSSDeclarations.h"

#include <unordered_map>

#include "richtext/NSStringCSS.h"
#include "richtext/RTHTMLColors.h"

namespace ql {

namespace {

constexpr std::array<std::string_view, static_cast<std::size_t>(RTCSSProperty::Count)> PropertyNames = {
    "direction",      "before:content",      "font-size",           "color",        "background-color", "float",
    "font-style",     "font-weight",         "text-decoration",     "text-align",   "vertical-align",   "letter-spacing",
    "text-shadow",    "line-height",         "minimum-line-height", "maximum-line-height",                "font-variant",
    "width",          "height",              "white-space",         "display",      "border-color",     "border-width",
    "border-radius",  "-coretext-fontname",
};

using Edge = RTCSSDeclarations::Edge;

Edge physicalEdge(std::string_view key) {
    if (key.ends_with("-left")) return Edge::Left;
    if (key.ends_with("-bottom")) return Edge::Bottom;
    if (key.ends_with("-right")) return Edge::Right;
    if (key.ends_with("-top")) return Edge::Top;
    return Edge::None;
}

Edge logicalEdge(std::string_view key) {
    if (key.ends_with("-start")) return Edge::Start;
    if (key.ends_with("-after")) return Edge::Bottom;
    if (key.ends_with("-end")) return Edge::End;
    if (key.ends_with("-before")) return Edge::Top;
    return Edge::None;
}

}  // namespace

RTCSSDeclarations::RTCSSDeclarations(ns::Value styles) : styles_(std::move(styles)) {
    static const auto& properties = *new std::unordered_map<std::string_view, RTCSSProperty>([] {
        std::unordered_map<std::string_view, RTCSSProperty> map;
        for (std::size_t i = 0; i < PropertyNames.size(); ++i) map.emplace(PropertyNames[i], static_cast<RTCSSProperty>(i));
        return map;
    }());
    const ns::Dictionary* dictionary = styles_.asDictionary();
    if (!dictionary) return;
    bool hasBox[BoxPrefixes.size()] = {};
    for (const auto& [key, value] : *dictionary) {
        if (auto found = properties.find(key); found != properties.end()) {
            if (value.isString()) texts_[index(found->second)] = value.asString();
        } else if (key == "font-family") {
            fontFamily_ = &value;
        } else {
            for (std::size_t box = 0; box < BoxPrefixes.size(); ++box) hasBox[box] = hasBox[box] || key.starts_with(BoxPrefixes[box]);
        }
    }
    for (std::size_t at = 0; at < PropertyCount; ++at) {
        if (texts_[at]) lowerTexts_[at] = RTASCIILowercased(*texts_[at]);
    }
    const auto parsedColor = [&](RTCSSProperty property, std::optional<std::shared_ptr<ui::Color>>& color) {
        if (const auto value = text(property)) color = RTColorFromHTMLColorString(*value);
    };
    parsedColor(RTCSSProperty::Color, color_);
    parsedColor(RTCSSProperty::BackgroundColor, backgroundColor_);
    parsedColor(RTCSSProperty::BorderColor, borderColor_);
    if (const auto before = text(RTCSSProperty::BeforeContent)) beforeContent_ = stringByDecodingCSSContentAttribute(*before);
    for (std::size_t box = 0; box < BoxPrefixes.size(); ++box) {
        if (hasBox[box]) boxes_[box] = boxDeclarations(*dictionary, BoxPrefixes[box]);
    }
    changesFont_ = fontFamily_ || texts_[index(RTCSSProperty::FontSize)] || texts_[index(RTCSSProperty::FontStyle)] ||
                   texts_[index(RTCSSProperty::FontWeight)] || texts_[index(RTCSSProperty::CoreTextFontName)];
    // Looked for anywhere in the texts: a false alarm only costs the sharing.
    const auto readsParent = [](std::string_view text) { return RTASCIILowercased(text).find("inherit") != std::string::npos; };
    fontReadsParent_ = lowerText(RTCSSProperty::FontSize) == "inherit";
    if (fontFamily_) {
        if (const ns::Array* list = fontFamily_->asArray()) {
            for (const ns::Value& entry : *list) fontReadsParent_ = fontReadsParent_ || readsParent(entry.stringValue());
        } else {
            fontReadsParent_ = fontReadsParent_ || readsParent(fontFamily_->stringValue());
        }
    }
}

std::shared_ptr<const RichTextFontDescriptor> RTCSSDeclarations::fontMadeFrom(const std::shared_ptr<const RichTextFontDescriptor>& source,
                                                                            double textSize, double textScale) const {
    const std::lock_guard lock(madeFontLock_);
    if (!madeFont_ || madeFont_->source != source || madeFont_->textSize != textSize || madeFont_->textScale != textScale) return nullptr;
    return madeFont_->made;
}

void RTCSSDeclarations::rememberFontMadeFrom(std::shared_ptr<const RichTextFontDescriptor> source, double textSize, double textScale,
                                             std::shared_ptr<const RichTextFontDescriptor> made) const {
    const std::lock_guard lock(madeFontLock_);
    madeFont_ = MadeFont{std::move(source), std::move(made), textSize, textScale};
}

RTCSSDeclarations::BoxDeclarations RTCSSDeclarations::boxDeclarations(const ns::Dictionary& styles, std::string_view prefix) {
    BoxDeclarations box;
    for (const auto& [key, value] : styles) {
        if (!key.starts_with(prefix) || !value.isString()) continue;
        if (key.find('-') == std::string::npos) box.shorthands.emplace_back(value.asString());
        else box.sides.push_back({key, RTCSSLength(value.asString()), physicalEdge(key), logicalEdge(key)});
    }
    return box;
}

}  // namespace ql
