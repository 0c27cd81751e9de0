#include "web/label/LabelArchiveForms.h"

#include <cstdio>
#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/text/ParagraphStyleObject.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GeometryValue.h"

namespace ql::label_archive {

namespace {

ns::Value paragraphForm(const ct::ParagraphStyle& style) {
    ns::Dictionary form;
    form["alignment"] = static_cast<std::int64_t>(style.alignment);
    form["lineBreakMode"] = static_cast<std::int64_t>(style.lineBreakMode);
    form["firstLineHeadIndent"] = style.firstLineHeadIndent;
    form["headIndent"] = style.headIndent;
    form["tailIndent"] = style.tailIndent;
    form["defaultTabInterval"] = style.defaultTabInterval;
    ns::Array tabs;
    for (const ct::TextTab& tab : style.tabStops)
        tabs.push_back(ns::Value(ns::Array{ns::Value(static_cast<std::int64_t>(tab.alignment)), ns::Value(tab.location)}));
    form["tabStops"] = ns::Value(std::move(tabs));
    form["lineHeightMultiple"] = style.lineHeightMultiple;
    form["minimumLineHeight"] = style.minimumLineHeight;
    form["maximumLineHeight"] = style.maximumLineHeight;
    form["lineSpacing"] = style.lineSpacing;
    form["paragraphSpacing"] = style.paragraphSpacing;
    form["paragraphSpacingBefore"] = style.paragraphSpacingBefore;
    form["baseWritingDirection"] = static_cast<std::int64_t>(style.baseWritingDirection);
    return ns::Value(std::move(form));
}

ct::ParagraphStyle paragraphFromForm(const ns::Value& form) {
    ct::ParagraphStyle style;
    style.alignment = static_cast<ct::TextAlignment>(form["alignment"].int64Value());
    style.lineBreakMode = static_cast<ct::LineBreakMode>(form["lineBreakMode"].int64Value());
    style.firstLineHeadIndent = form["firstLineHeadIndent"].doubleValue();
    style.headIndent = form["headIndent"].doubleValue();
    style.tailIndent = form["tailIndent"].doubleValue();
    style.defaultTabInterval = form["defaultTabInterval"].doubleValue();
    if (const ns::Array* tabs = form["tabStops"].asArray()) {
        for (const ns::Value& tab : *tabs)
            style.tabStops.push_back({static_cast<ct::TextAlignment>(tab[std::size_t{0}].int64Value()), tab[1].doubleValue()});
    }
    style.lineHeightMultiple = form["lineHeightMultiple"].doubleValue();
    style.minimumLineHeight = form["minimumLineHeight"].doubleValue();
    style.maximumLineHeight = form["maximumLineHeight"].doubleValue();
    style.lineSpacing = form["lineSpacing"].doubleValue();
    style.paragraphSpacing = form["paragraphSpacing"].doubleValue();
    style.paragraphSpacingBefore = form["paragraphSpacingBefore"].doubleValue();
    style.baseWritingDirection = static_cast<ct::WritingDirection>(form["baseWritingDirection"].int64Value());
    return style;
}

std::string rangeText(ns::Range range) { return "{" + std::to_string(range.location) + ", " + std::to_string(range.length) + "}"; }

std::optional<ns::Range> rangeFromText(std::string_view text) {
    unsigned long long location = 0;
    unsigned long long length = 0;
    if (std::sscanf(std::string(text).c_str(), "{%llu, %llu}", &location, &length) != 2) return std::nullopt;
    return ns::Range{location, length};
}

}  // namespace

ns::Value attributeForm(const ns::Value& value) {
    if (auto color = value.asObject<ui::Color>()) {
        // Pattern colours have no components to write.
        const cg::Color& cgColor = color->CGColor();
        if (cgColor.colorSpace().model() == cg::ColorSpaceModel::Pattern) return {};
        ns::Array components;
        for (double component : cgColor.components()) components.push_back(ns::Value(component));
        return ns::Value(ns::Dictionary{{"$color", ns::Value(std::move(components))},
                                        {"space", ns::Value(static_cast<std::int64_t>(cgColor.colorSpace().model()))}});
    }
    if (auto font = value.asObject<ui::Font>())
        return ns::Value(ns::Dictionary{{"$font", ns::Value(font->fontName())}, {"size", ns::Value(font->pointSize())}});
    if (auto paragraph = value.asObject<ct::ParagraphStyleObject>())
        return ns::Value(ns::Dictionary{{"$paragraphStyle", paragraphForm(paragraph->style())}});
    if (auto insets = ui::GeometryValue::UIEdgeInsetsValue(value))
        return ns::Value(ns::Dictionary{{"$insets", ns::Value(cg::toString(*insets))}});
    if (value.isObject()) return {};
    if (const ns::Dictionary* dictionary = value.asDictionary()) {
        ns::Dictionary form;
        for (const auto& [key, entry] : *dictionary) {
            ns::Value converted = attributeForm(entry);
            if (!converted.isNil()) form[key] = std::move(converted);
        }
        return ns::Value(std::move(form));
    }
    if (const ns::Array* array = value.asArray()) {
        ns::Array form;
        for (const ns::Value& entry : *array) {
            ns::Value converted = attributeForm(entry);
            if (!converted.isNil()) form.push_back(std::move(converted));
        }
        return ns::Value(std::move(form));
    }
    return value;
}

ns::Value attributeFromForm(const ns::Value& form) {
    if (const ns::Dictionary* dictionary = form.asDictionary()) {
        if (const ns::Value* color = dictionary->find("$color")) {
            std::vector<double> components;
            for (std::size_t i = 0; i < color->count(); ++i) components.push_back((*color)[i].doubleValue());
            const auto model = static_cast<cg::ColorSpaceModel>((*dictionary)["space"].int64Value());
            const cg::ColorSpace space = model == cg::ColorSpaceModel::Monochrome ? cg::ColorSpace::deviceGray()
                                         : model == cg::ColorSpaceModel::CMYK     ? cg::ColorSpace::deviceCMYK()
                                                                                  : cg::ColorSpace::deviceRGB();
            return ns::Value(ui::Color::colorWithCGColor(cg::Color::withComponents(space, components)));
        }
        if (const ns::Value* font = dictionary->find("$font")) {
            auto made = ui::Font::fontWithName(font->asString(), (*dictionary)["size"].doubleValue());
            return made ? ns::Value(made) : ns::Value();
        }
        if (const ns::Value* paragraph = dictionary->find("$paragraphStyle"))
            return ns::Value(std::make_shared<ct::ParagraphStyleObject>(paragraphFromForm(*paragraph)));
        if (const ns::Value* insets = dictionary->find("$insets"))
            return ui::GeometryValue::valueWithUIEdgeInsets(cg::edgeInsetsFromString(insets->asString()));
        ns::Dictionary value;
        for (const auto& [key, entry] : *dictionary) {
            ns::Value converted = attributeFromForm(entry);
            if (!converted.isNil()) value[key] = std::move(converted);
        }
        return ns::Value(std::move(value));
    }
    if (const ns::Array* array = form.asArray()) {
        ns::Array value;
        for (const ns::Value& entry : *array) value.push_back(attributeFromForm(entry));
        return ns::Value(std::move(value));
    }
    return form;
}

ns::Value dictionaryForm(const std::optional<ns::Dictionary>& attributes) {
    return attributes ? attributeForm(ns::Value(*attributes)) : ns::Value();
}

std::optional<ns::Dictionary> dictionaryFromForm(const ns::Value& form) {
    ns::Value value = attributeFromForm(form);
    if (const ns::Dictionary* dictionary = value.asDictionary()) return *dictionary;
    return std::nullopt;
}

ns::Value attributedStringForm(const std::optional<ct::AttributedString>& text) {
    if (!text) return {};
    ns::Array runs;
    text->enumerateAttributes({0, text->length()}, [&](const ns::Dictionary& attributes, ns::Range range, bool&) {
        runs.push_back(ns::Value(ns::Dictionary{{"range", ns::Value(rangeText(range))},
                                                {"attributes", attributeForm(ns::Value(attributes))}}));
    });
    return ns::Value(ns::Dictionary{{"string", ns::Value(text->string())}, {"runs", ns::Value(std::move(runs))}});
}

std::optional<ct::AttributedString> attributedStringFromForm(const ns::Value& form) {
    if (!form["string"].isString()) return std::nullopt;
    ct::AttributedString text(form["string"].asString());
    if (const ns::Array* runs = form["runs"].asArray()) {
        for (const ns::Value& run : *runs) {
            auto range = rangeFromText(run["range"].asString());
            auto attributes = dictionaryFromForm(run["attributes"]);
            if (range && attributes && range->liesWithin(text.length())) text.setAttributes(*attributes, *range);
        }
    }
    return text;
}

ns::Value resultForm(const ns::TextCheckingResult& result) {
    ns::Dictionary form;
    form["resultType"] = result.resultType;
    ns::Array ranges;
    for (ns::Range range : result.ranges) ranges.push_back(ns::Value(rangeText(range)));
    form["ranges"] = ns::Value(std::move(ranges));
    if (result.URL) form["URL"] = result.URL->absoluteString();
    if (!result.phoneNumber.empty()) form["phoneNumber"] = result.phoneNumber;
    if (result.date) form["date"] = ns::Value(*result.date);
    if (result.timeZone) form["timeZone"] = result.timeZone->name();
    form["duration"] = result.duration;
    form["components"] = ns::Value(result.components);
    return ns::Value(std::move(form));
}

std::optional<ns::TextCheckingResult> resultFromForm(const ns::Value& form) {
    if (!form.isDictionary()) return std::nullopt;
    ns::TextCheckingResult result;
    result.resultType = form["resultType"].uint64Value();
    if (const ns::Array* ranges = form["ranges"].asArray()) {
        for (const ns::Value& text : *ranges) {
            if (auto range = rangeFromText(text.asString())) result.ranges.push_back(*range);
        }
    }
    if (form["URL"].isString()) result.URL = ns::URL::fromString(form["URL"].asString());
    result.phoneNumber = form["phoneNumber"].stringValue();
    result.date = form["date"].asDate();
    if (form["timeZone"].isString()) result.timeZone = ns::TimeZone::named(form["timeZone"].asString());
    result.duration = form["duration"].doubleValue();
    if (const ns::Dictionary* components = form["components"].asDictionary()) result.components = *components;
    return result;
}

}  // namespace ql::label_archive
