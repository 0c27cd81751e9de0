#include "platform/text/AttributeValues.h"

#include "platform/foundation/Object.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/ParagraphStyleObject.h"

namespace ql::ct {

namespace {

constexpr double DefaultFontSize = 12;

}  // namespace

std::optional<Font> fontFromValue(const ns::Value& value) {
    auto object = value.asObject();
    if (auto* font = dynamic_cast<const FontValue*>(object.get())) return font->ctFont();
    return std::nullopt;
}

std::optional<cg::Color> colorFromValue(const ns::Value& value) {
    auto object = value.asObject();
    if (auto* color = dynamic_cast<const ColorValue*>(object.get())) return color->CGColor();
    return std::nullopt;
}

TextStyle textStyleFromAttributes(const ns::Dictionary& attributes) {
    TextStyle style{Font::withName("Helvetica", DefaultFontSize), std::nullopt};
    if (const ns::Value* font = attributes.find(FontAttributeName)) {
        if (auto f = fontFromValue(*font)) style.font = *f;
    }
    for (std::string_view key : {ForegroundColorAttributeName, ui::ForegroundColorAttributeName}) {
        const ns::Value* color = attributes.find(key);
        if (!color) continue;
        if (auto c = colorFromValue(*color)) {
            style.foregroundColor = *c;
            break;
        }
    }
    if (const ns::Value* kern = attributes.find(KernAttributeName)) style.kern = kern->isNumber() ? kern->doubleValue() : 0;
    if (const ns::Value* underline = attributes.find(UnderlineStyleAttributeName))
        style.underlined = underline->isNumber() && underline->int64Value() != 0;
    if (const ns::Value* value = attributes.find(ParagraphStyleAttributeName)) {
        if (auto paragraph = value->asObject<ParagraphStyleObject>()) style.baseWritingDirection = paragraph->style().baseWritingDirection;
    }
    return style;
}

ParagraphStyle paragraphStyleFromAttributes(const ns::Dictionary& attributes) {
    if (const ns::Value* value = attributes.find(ParagraphStyleAttributeName)) {
        if (auto paragraph = value->asObject<ParagraphStyleObject>()) return paragraph->style();
    }
    return {};
}

StyledText styledTextFromAttributedString(const AttributedString& string) {
    std::vector<StyleRun> runs;
    string.enumerateAttributes({0, string.length()}, [&](const ns::Dictionary& attributes, ns::Range range, bool&) {
        runs.push_back({range, textStyleFromAttributes(attributes)});
    });
    if (runs.empty()) runs.push_back({{0, 0}, textStyleFromAttributes({})});
    return StyledText(string.u16string(), std::move(runs));
}

}  // namespace ql::ct
