#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "web/label/AttributedLabel.h"
#include "web/label/LabelArchiveForms.h"

namespace ql {

using label_archive::attributeForm;
using label_archive::attributeFromForm;
using label_archive::dictionaryForm;
using label_archive::dictionaryFromForm;

// ---- Links ----

void AttributedLabelLink::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject(label_archive::resultForm(result_), "result");
    coder.encodeObject(dictionaryForm(attributes_), "attributes");
    coder.encodeObject(dictionaryForm(activeAttributes_), "activeAttributes");
    coder.encodeObject(dictionaryForm(inactiveAttributes_), "inactiveAttributes");
    // A derived value is written when none was stored.
    auto value = accessibilityValue();
    coder.encodeObject(value ? ns::Value(*value) : ns::Value(), "accessibilityValue");
}

bool AttributedLabelLink::initWithCoder(ns::KeyedUnarchiver& coder) {
    auto result = label_archive::resultFromForm(coder.decodeObjectForKey("result"));
    if (!result) return false;
    result_ = std::move(*result);
    attributes_ = dictionaryFromForm(coder.decodeObjectForKey("attributes"));
    activeAttributes_ = dictionaryFromForm(coder.decodeObjectForKey("activeAttributes"));
    inactiveAttributes_ = dictionaryFromForm(coder.decodeObjectForKey("inactiveAttributes"));
    ns::Value value = coder.decodeObjectForKey("accessibilityValue");
    setAccessibilityValue(value.isString() ? std::optional<std::string>(value.stringValue()) : std::nullopt);
    return true;
}

// ---- The label ----

namespace {

// The base label's own entries, which the platform's label would write itself.
void encodeBaseLabel(const ui::Label& label, ns::KeyedArchiver& coder) {
    const cg::Rect frame = label.frame();
    coder.encodeObject(ns::Value(ns::Array{ns::Value(frame.origin.x), ns::Value(frame.origin.y),
                                           ns::Value(frame.size.width), ns::Value(frame.size.height)}),
                       "UIFrame");
    coder.encodeObject(attributeForm(ns::Value(label.font())), "UIFont");
    coder.encodeObject(attributeForm(ns::Value(label.textColor())), "UITextColor");
    coder.encodeInteger(label.numberOfLines(), "UINumberOfLines");
    coder.encodeInteger(static_cast<std::int64_t>(label.textAlignment()), "UITextAlignment");
    coder.encodeInteger(static_cast<std::int64_t>(label.lineBreakMode()), "UILineBreakMode");
    if (label.text()) coder.encodeObject(ns::Value(*label.text()), "UIText");
}

std::optional<std::string> decodeBaseLabel(ui::Label& label, ns::KeyedUnarchiver& coder) {
    ns::Value frame = coder.decodeObjectForKey("UIFrame");
    if (frame.count() == 4)
        label.setFrame({frame[std::size_t{0}].doubleValue(), frame[1].doubleValue(), frame[2].doubleValue(),
                        frame[3].doubleValue()});
    if (auto font = attributeFromForm(coder.decodeObjectForKey("UIFont")).asObject<ui::Font>()) label.setFont(font);
    if (auto color = attributeFromForm(coder.decodeObjectForKey("UITextColor")).asObject<ui::Color>())
        label.setTextColor(color);
    if (coder.containsValueForKey("UINumberOfLines")) label.setNumberOfLines(coder.decodeIntegerForKey("UINumberOfLines"));
    label.setTextAlignment(static_cast<ui::TextAlignment>(coder.decodeIntegerForKey("UITextAlignment")));
    label.setLineBreakMode(static_cast<ui::LineBreakMode>(coder.decodeIntegerForKey("UILineBreakMode")));
    ns::Value text = coder.decodeObjectForKey("UIText");
    return text.isString() ? std::optional<std::string>(text.stringValue()) : std::nullopt;
}

}  // namespace

void AttributedLabel::encodeWithCoder(ns::KeyedArchiver& coder) const {
    encodeBaseLabel(*this, coder);
    coder.encodeObject(ns::Value(enabledTextCheckingTypes_), "enabledTextCheckingTypes");
    ns::Array links;
    for (const auto& link : linkModels_) links.push_back(ns::Value(link));
    coder.encodeObject(ns::Value(std::move(links)), "linkModels");
    coder.encodeObject(dictionaryForm(linkAttributes_), "linkAttributes");
    coder.encodeObject(dictionaryForm(activeLinkAttributes_), "activeLinkAttributes");
    coder.encodeObject(dictionaryForm(inactiveLinkAttributes_), "inactiveLinkAttributes");
    coder.encodeDouble(shadowRadius_, "shadowRadius");
    coder.encodeDouble(highlightedShadowRadius_, "highlightedShadowRadius");
    coder.encodeObject(ns::Value(ns::Array{ns::Value(highlightedShadowOffset_.width), ns::Value(highlightedShadowOffset_.height)}),
                       "highlightedShadowOffset");
    coder.encodeObject(attributeForm(ns::Value(highlightedShadowColor_)), "highlightedShadowColor");
    coder.encodeDouble(kern_, "kern");
    coder.encodeDouble(firstLineIndent_, "firstLineIndent");
    coder.encodeDouble(lineSpacing_, "lineSpacing");
    // The line height limits are part of the label's look and come back with it.
    coder.encodeDouble(minimumLineHeight_, "minimumLineHeight");
    coder.encodeDouble(maximumLineHeight_, "maximumLineHeight");
    coder.encodeDouble(lineHeightMultiple_, "lineHeightMultiple");
    coder.encodeObject(ns::Value(cg::toString(textInsets_)), "textInsets");
    coder.encodeInteger(static_cast<std::int64_t>(verticalAlignment_), "verticalAlignment");
    if (truncationTokenString_) coder.encodeObject(ns::Value(*truncationTokenString_), "truncationTokenString");
    coder.encodeObject(ns::Value(cg::toString(linkBackgroundEdgeInset_)), "linkBackgroundEdgeInset");
    coder.encodeObject(label_archive::attributedStringForm(attributedText_), "attributedText");
    if (text()) coder.encodeObject(ns::Value(*text()), "text");
}

bool AttributedLabel::initWithCoder(ns::KeyedUnarchiver& coder) {
    const std::optional<std::string> baseText = decodeBaseLabel(*this, coder);
    auto has = [&](std::string_view key) { return coder.containsValueForKey(key); };
    auto single = [&](std::string_view key) { return static_cast<double>(static_cast<float>(coder.decodeDoubleForKey(key))); };
    if (has("enabledTextCheckingTypes"))
        setEnabledTextCheckingTypes(coder.decodeObjectForKey("enabledTextCheckingTypes").uint64Value());
    if (has("linkAttributes")) linkAttributes_ = dictionaryFromForm(coder.decodeObjectForKey("linkAttributes")).value_or(ns::Dictionary());
    if (has("activeLinkAttributes"))
        activeLinkAttributes_ = dictionaryFromForm(coder.decodeObjectForKey("activeLinkAttributes")).value_or(ns::Dictionary());
    if (has("inactiveLinkAttributes"))
        inactiveLinkAttributes_ = dictionaryFromForm(coder.decodeObjectForKey("inactiveLinkAttributes")).value_or(ns::Dictionary());
    if (has("links")) {
        std::vector<ns::TextCheckingResult> results;
        ns::Value links = coder.decodeObjectForKey("links");
        for (std::size_t i = 0; i < links.count(); ++i) {
            if (auto result = label_archive::resultFromForm(links[i])) results.push_back(std::move(*result));
        }
        addLinksWithTextCheckingResults(results, std::nullopt);
    }
    if (has("linkModels")) {
        std::vector<std::shared_ptr<AttributedLabelLink>> models;
        ns::Value links = coder.decodeObjectForKey("linkModels");
        for (std::size_t i = 0; i < links.count(); ++i) {
            if (auto link = links[i].asObject<AttributedLabelLink>()) models.push_back(std::move(link));
        }
        setLinkModels(std::move(models));
    }
    if (has("shadowRadius")) shadowRadius_ = single("shadowRadius");
    if (has("highlightedShadowRadius")) highlightedShadowRadius_ = single("highlightedShadowRadius");
    if (has("highlightedShadowOffset")) {
        ns::Value offset = coder.decodeObjectForKey("highlightedShadowOffset");
        highlightedShadowOffset_ = {offset[std::size_t{0}].doubleValue(), offset[1].doubleValue()};
    }
    if (has("highlightedShadowColor"))
        highlightedShadowColor_ = attributeFromForm(coder.decodeObjectForKey("highlightedShadowColor")).asObject<ui::Color>();
    if (has("kern")) kern_ = single("kern");
    if (has("firstLineIndent")) firstLineIndent_ = single("firstLineIndent");
    if (has("lineSpacing")) lineSpacing_ = single("lineSpacing");
    if (has("minimumLineHeight")) minimumLineHeight_ = single("minimumLineHeight");
    if (has("maximumLineHeight")) maximumLineHeight_ = single("maximumLineHeight");
    if (has("lineHeightMultiple")) lineHeightMultiple_ = single("lineHeightMultiple");
    if (has("textInsets")) textInsets_ = cg::edgeInsetsFromString(coder.decodeObjectForKey("textInsets").asString());
    if (has("verticalAlignment"))
        verticalAlignment_ = static_cast<LabelVerticalAlignment>(coder.decodeIntegerForKey("verticalAlignment"));
    if (has("truncationTokenString")) {
        ns::Value token = coder.decodeObjectForKey("truncationTokenString");
        truncationTokenString_ = token.isString() ? std::optional<std::string>(token.stringValue()) : std::nullopt;
    }
    if (has("linkBackgroundEdgeInset"))
        linkBackgroundEdgeInset_ =
            cg::edgeInsetsFromString(coder.decodeObjectForKey("linkBackgroundEdgeInset").asString());
    if (auto text = label_archive::attributedStringFromForm(coder.decodeObjectForKey("attributedText"))) {
        setAttributedText(std::move(*text));
    } else if (baseText) {
        setText(baseText);
    }
    return true;
}

}  // namespace ql
