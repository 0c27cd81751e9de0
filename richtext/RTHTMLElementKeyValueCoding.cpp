// An element's values by their key-value coding names, and the inherited value lookup over them.

#include <functional>
#include <unordered_map>

#include "platform/ui/GeometryValue.h"
#include "richtext/RTHTMLElement.h"

namespace ql {

namespace {

using Getter = std::function<ns::Value(const RTHTMLElement&)>;

template <typename T>
ns::Value boxed(const std::optional<T>& value) {
    return value ? ns::Value(*value) : ns::Value();
}

// The style objects are handed out as copies: the element's own are shared with others and never changed
// in place, so a holder of the value must not get them.
ns::Value copiedObject(const std::shared_ptr<const ns::Object>& object) { return object ? ns::Value(object->copy()) : ns::Value(); }

const std::unordered_map<std::string_view, Getter>& getters() {
    static const auto& table = *new std::unordered_map<std::string_view, Getter>{
        {"fontDescriptor", [](const RTHTMLElement& e) { return copiedObject(e.fontDescriptor()); }},
        {"paragraphStyle", [](const RTHTMLElement& e) { return copiedObject(e.paragraphStyle()); }},
        {"textAttachment", [](const RTHTMLElement& e) { return ns::Value(e.textAttachment()); }},
        {"textAttachmentAlignment", [](const RTHTMLElement& e) { return ns::Value(e.textAttachmentAlignment()); }},
        {"link", [](const RTHTMLElement& e) { return e.link() ? e.link()->boxed() : ns::Value(); }},
        {"anchorName", [](const RTHTMLElement& e) { return boxed(e.anchorName()); }},
        {"textColor", [](const RTHTMLElement& e) { return ns::Value(e.textColor()); }},
        {"backgroundColor", [](const RTHTMLElement& e) { return ns::Value(e.backgroundColor()); }},
        {"backgroundStrokeColor", [](const RTHTMLElement& e) { return ns::Value(e.backgroundStrokeColor()); }},
        {"backgroundStrokeWidth", [](const RTHTMLElement& e) { return ns::Value(e.backgroundStrokeWidth()); }},
        {"backgroundCornerRadius", [](const RTHTMLElement& e) { return ns::Value(e.backgroundCornerRadius()); }},
        {"underlineStyle", [](const RTHTMLElement& e) { return ns::Value(e.underlineStyle()); }},
        {"beforeContent", [](const RTHTMLElement& e) { return boxed(e.beforeContent()); }},
        {"linkGUID", [](const RTHTMLElement& e) { return boxed(e.linkGUID()); }},
        {"strikeOut", [](const RTHTMLElement& e) { return ns::Value(e.strikeOut()); }},
        {"superscriptStyle", [](const RTHTMLElement& e) { return ns::Value(e.superscriptStyle()); }},
        {"headerLevel", [](const RTHTMLElement& e) { return ns::Value(e.headerLevel()); }},
        {"shadows", [](const RTHTMLElement& e) { return ns::Value(e.shadows()); }},
        {"displayStyle", [](const RTHTMLElement& e) { return ns::Value(static_cast<std::uint64_t>(e.displayStyle())); }},
        {"floatStyle", [](const RTHTMLElement& e) { return ns::Value(static_cast<std::uint64_t>(e.floatStyle())); }},
        {"isColorInherited", [](const RTHTMLElement& e) { return ns::Value(e.isColorInherited()); }},
        {"preserveNewlines", [](const RTHTMLElement& e) { return ns::Value(e.preserveNewlines()); }},
        {"containsAppleConvertedSpace", [](const RTHTMLElement& e) { return ns::Value(e.containsAppleConvertedSpace()); }},
        {"fontVariant", [](const RTHTMLElement& e) { return ns::Value(static_cast<std::uint64_t>(e.fontVariant())); }},
        {"textScale", [](const RTHTMLElement& e) { return ns::Value(e.textScale()); }},
        {"size", [](const RTHTMLElement& e) { return ui::GeometryValue::valueWithCGSize(e.size()); }},
        {"styles", [](const RTHTMLElement& e) { return ns::Value(e.styles()); }},
        {"didOutput", [](const RTHTMLElement& e) { return ns::Value(e.didOutput()); }},
        {"margins", [](const RTHTMLElement& e) { return ui::GeometryValue::valueWithUIEdgeInsets(e.margins()); }},
        {"padding", [](const RTHTMLElement& e) { return ui::GeometryValue::valueWithUIEdgeInsets(e.padding()); }},
        {"listIndent", [](const RTHTMLElement& e) { return ns::Value(e.listIndent()); }},
        {"shouldProcessCustomHTMLAttributes", [](const RTHTMLElement& e) { return ns::Value(e.shouldProcessCustomHTMLAttributes()); }},
        {"currentTextSize", [](const RTHTMLElement& e) { return ns::Value(e.currentTextSize()); }},
        {"letterSpacing", [](const RTHTMLElement& e) { return ns::Value(e.letterSpacing()); }},
        {"name", [](const RTHTMLElement& e) { return ns::Value(e.name()); }},
        {"attributes", [](const RTHTMLElement& e) { return ns::Value(e.attributes()); }},
    };
    return table;
}

bool mustComeFromParent(const ns::Value& value) {
    return value.isNil() || (value.isNumber() && value.int64Value() == 0) || (value.isString() && value.asString() == "inherit");
}

}  // namespace

ns::Value RTHTMLElement::valueForKey(std::string_view key) const {
    const auto& table = getters();
    if (const auto found = table.find(key); found != table.end()) return found->second(*this);
    return RTHTMLParserNode::valueForKey(key);
}

ns::Value RTHTMLElement::valueForKeyPath(std::string_view keyPath) const {
    std::size_t dot = keyPath.find('.');
    ns::Value value = valueForKey(keyPath.substr(0, dot));
    while (dot != std::string_view::npos && !value.isNil()) {
        keyPath.remove_prefix(dot + 1);
        dot = keyPath.find('.');
        const std::string_view key = keyPath.substr(0, dot);
        value = value.isObject() ? value.asObject()->valueForKey(key) : ns::Value(value[key]);
    }
    return value;
}

ns::Value RTHTMLElement::valueForKeyPathWithInheritance(std::string_view keyPath) const {
    // Up the ancestors in a loop: documents nest as deep as they like.
    for (const RTHTMLElement* element = this;; element = element->parentElementPointer()) {
        ns::Value value = element->valueForKeyPath(keyPath);
        if (!element->parentElementPointer() || !mustComeFromParent(value)) return value;
    }
}

}  // namespace ql
