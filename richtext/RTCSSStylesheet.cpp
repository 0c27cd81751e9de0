#include "richtext/RTCSSStylesheet.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>

#include "richtext/NSScannerHTML.h"
#include "richtext/NSStringCSS.h"
#include "richtext/RTDefaultStylesheet.h"
#include "richtext/RTHTMLParserNode.h"

namespace ql {

namespace {

bool isBlank(char c) { return css::isSpace(c) || c == '\v'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Hands `visit` the non-empty parts of a text between white space, in order, until it returns false;
// whether every part was visited. Per-element matching walks class names this way without a list.
template <typename Visit>
bool forEachWord(std::string_view text, Visit&& visit) {
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isBlank(text[at])) ++at;
        const std::size_t start = at;
        while (at < text.size() && !isBlank(text[at])) ++at;
        if (at > start && !visit(text.substr(start, at - start))) return false;
    }
    return true;
}

// The non-empty parts of a text between white space.
std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> parts;
    forEachWord(text, [&parts](std::string_view part) {
        parts.push_back(part);
        return true;
    });
    return parts;
}

std::string joined(const std::vector<std::string_view>& parts, std::string_view separator) {
    std::string text;
    for (std::string_view part : parts) {
        if (!text.empty()) text += separator;
        text += part;
    }
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && RTASCIILowercased(a) == RTASCIILowercased(b);
}

template <std::size_t N>
bool isOneOf(std::string_view text, const std::array<std::string_view, N>& choices) {
    return std::find(choices.begin(), choices.end(), text) != choices.end();
}

// A declaration value as one text: a list of texts (a value with quoted parts) is joined with commas.
std::string textOf(const ns::Value& value) {
    if (const ns::Array* parts = value.asArray()) {
        std::string text;
        for (const ns::Value& part : *parts) {
            if (!text.empty()) text += ", ";
            text += part.stringValue();
        }
        return text;
    }
    return value.stringValue();
}

std::string withoutImportant(std::string_view text) {
    std::string result(text);
    static constexpr std::string_view Important = "!important";
    for (;;) {
        const std::string lower = RTASCIILowercased(result);
        const std::size_t at = lower.find(Important);
        if (at == std::string::npos) break;
        result.erase(at, Important.size());
    }
    return std::string(trimmed(result));
}

void removeImportant(ns::Dictionary& declarations) {
    for (auto& entry : declarations) {
        ns::Value& value = entry.second;
        if (value.isString()) {
            if (RTASCIILowercased(value.asString()).find("!important") != std::string::npos) value = ns::Value(withoutImportant(value.asString()));
        } else if (const ns::Array* parts = value.asArray()) {
            ns::Array cleaned;
            for (const ns::Value& part : *parts) {
                cleaned.push_back(part.isString() ? ns::Value(withoutImportant(part.asString())) : part);
            }
            value = ns::Value(std::move(cleaned));
        }
    }
}

ns::Dictionary declarationsOf(std::string_view text) {
    const ns::Value parsed = dictionaryOfCSSStyles(text);
    const ns::Dictionary* dictionary = parsed.asDictionary();
    return dictionary ? *dictionary : ns::Dictionary();
}

void writeOver(ns::Dictionary& target, const ns::Dictionary& source) {
    for (const auto& [key, value] : source) target.set(key, value);
}

// Returns false when the expansion must stop here ("list-style: inherit").
bool expandListStyle(ns::Dictionary& declarations) {
    const ns::Value* value = declarations.find("list-style");
    if (!value) return true;
    const std::string text = textOf(*value);
    declarations.erase("list-style");
    if (equalsIgnoringCase(trimmed(text), "inherit")) {
        declarations.set("list-style-type", ns::Value("inherit"));
        declarations.set("list-style-position", ns::Value("inherit"));
        return false;
    }
    bool typeTaken = false;
    bool positionTaken = false;
    for (std::string_view part : words(text)) {
        std::size_t at = 0;
        // Image URLs keep their case; only the keywords are lower-cased.
        if (equalsIgnoringCase(part.substr(0, 3), "url") && css::readURL(part, at)) {
            declarations.set("list-style-image", ns::Value(part));
        } else if (!typeTaken) {
            declarations.set("list-style-type", ns::Value(RTASCIILowercased(part)));
            typeTaken = true;
        } else if (!positionTaken) {
            declarations.set("list-style-position", ns::Value(RTASCIILowercased(part)));
            positionTaken = true;
        }
    }
    return true;
}

void expandFont(ns::Dictionary& declarations) {
    const ns::Value* value = declarations.find("font");
    if (!value) return;
    static constexpr std::array<std::string_view, 9> SizeKeywords = {
        "xx-small", "x-small", "small", "medium", "large", "x-large", "xx-large", "larger", "smaller"};
    static constexpr std::array<std::string_view, 12> Weights = {"bold", "bolder", "lighter", "100", "200", "300",
                                                                 "400",  "500",    "600",     "700", "800", "900"};
    static constexpr std::array<std::string_view, 7> SystemFonts = {"caption",       "icon",       "menu",   "message-box",
                                                                    "small-caption", "status-bar", "inherit"};
    std::string style = "normal", variant = "normal", weight = "normal", size, lineHeight = "normal";
    std::vector<std::string_view> family;
    bool sizeFound = false, weightFound = false, variantFound = false;
    const std::string text = textOf(*value);
    for (std::string_view part : words(text)) {
        if (isOneOf(part, SizeKeywords)) {
            size = part;
            sizeFound = true;
        } else if (const std::size_t slash = part.find('/'); slash != std::string_view::npos) {
            size = part.substr(0, slash);
            lineHeight = part.substr(slash + 1);
            sizeFound = true;
        } else if (part.ends_with('%') || part.ends_with("em") || part.ends_with("px") || part.ends_with("pt")) {
            size = part;
            sizeFound = true;
        } else if (!sizeFound) {
            if (!weightFound && (part == "italic" || part == "oblique")) {
                style = part;
            } else if (!variantFound && part == "small-caps") {
                variant = part;
                variantFound = true;
            } else if (!weightFound && isOneOf(part, Weights)) {
                weight = part;
                weightFound = true;
            }
        } else if (isOneOf(part, SystemFonts)) {
            break;
        } else {
            family.push_back(part);
        }
    }
    const std::string familyText = joined(family, " ");
    declarations.erase("font");
    if (size.empty() || familyText.empty()) return;
    declarations.set("font-style", ns::Value(style));
    declarations.set("font-weight", ns::Value(weight));
    declarations.set("font-variant", ns::Value(variant));
    declarations.set("font-size", ns::Value(size));
    declarations.set("line-height", ns::Value(lineHeight));
    declarations.set("font-family", ns::Value(familyText));
}

// margin and padding: one to four sides in CSS order; a longhand of the same declarations wins.
void expandBox(ns::Dictionary& declarations, const std::string& property) {
    const ns::Value* value = declarations.find(property);
    if (!value) return;
    const std::string text = textOf(*value);
    const std::vector<std::string_view> parts = words(text);
    declarations.erase(property);
    if (parts.empty()) return;
    std::array<std::string_view, 4> sides;  // top, right, bottom, left
    switch (parts.size()) {
    case 2: sides = {parts[0], parts[1], parts[0], parts[1]}; break;
    case 3: sides = {parts[0], parts[1], parts[2], parts[1]}; break;
    case 4: sides = {parts[0], parts[1], parts[2], parts[3]}; break;
    default: sides = {parts[0], parts[0], parts[0], parts[0]}; break;
    }
    static constexpr std::array<std::string_view, 4> Names = {"-top", "-right", "-bottom", "-left"};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string key = property + std::string(Names[i]);
        if (!declarations.contains(key)) declarations.set(key, ns::Value(sides[i]));
    }
}

void expandBackground(ns::Dictionary& declarations) {
    const ns::Value* value = declarations.find("background");
    if (!value) return;
    const std::string whole = textOf(*value);
    declarations.erase("background");
    const std::string_view text = trimmed(whole);
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isBlank(text[at])) ++at;
        if (at >= text.size()) break;
        if (auto color = css::readColor(text, at)) {
            declarations.set("background-color", ns::Value(color->second));
            return;
        }
        while (at < text.size() && !isBlank(text[at])) ++at;
    }
}

unsigned weightOf(const std::vector<std::string>& parts) {
    unsigned weight = 0;
    for (const std::string& part : parts) weight += part.starts_with('#') ? 100 : part.starts_with('.') ? 10 : 1;
    return weight;
}

std::vector<std::string> partsOf(std::string_view selector) {
    std::vector<std::string> parts;
    for (std::string_view part : words(selector)) parts.emplace_back(part);
    return parts;
}

bool hasClass(const RTHTMLParserNode& element, std::string_view name) {
    std::string storage;
    const std::optional<std::string_view> classes = element.attributeText("class", storage);
    return classes && !forEachWord(*classes, [name](std::string_view each) { return each != name; });
}

// A part naming an id ("#main") or a class (".q").
bool matchesAttributePart(const RTHTMLParserNode& element, std::string_view part) {
    if (part.starts_with('#')) {
        std::string storage;
        const std::optional<std::string_view> id = element.attributeText("id", storage);
        return id && *id == part.substr(1);
    }
    return hasClass(element, part.substr(1));
}

// Most parts are tags, compared with the name in place; the rest read the element's attributes.
bool matchesPart(const RTHTMLParserNode& element, std::string_view part) {
    if (part.empty() || (part.front() != '#' && part.front() != '.')) return element.name() == part;
    return matchesAttributePart(element, part);
}

// The element's ancestors, nearest first, found in one walk up the tree so that every descendant
// selector tried on the element reads them in place. They stay alive while the element is matched: the
// tree holds them.
class Ancestors {
public:
    explicit Ancestors(const RTHTMLParserNode& element) {
        for (const RTHTMLParserNode* cursor = element.parent(); cursor; cursor = cursor->parent()) {
            if (count_ < Inline) inline_[count_] = cursor;
            else spilled_.push_back(cursor);
            ++count_;
        }
    }
    std::size_t size() const { return count_; }
    const RTHTMLParserNode& operator[](std::size_t at) const { return at < Inline ? *inline_[at] : *spilled_[at - Inline]; }

private:
    static constexpr std::size_t Inline = 16;
    std::array<const RTHTMLParserNode*, Inline> inline_{};
    std::vector<const RTHTMLParserNode*> spilled_;
    std::size_t count_ = 0;
};

bool matchesDescendantSelector(const RTHTMLParserNode& element, const Ancestors& ancestors, const std::vector<std::string>& parts) {
    if (parts.size() < 2 || !matchesPart(element, parts.back())) return false;
    std::size_t cursor = 0;
    for (std::size_t i = parts.size() - 1; i-- > 0;) {
        while (cursor < ancestors.size() && !matchesPart(ancestors[cursor], parts[i])) ++cursor;
        if (cursor == ancestors.size()) return false;
        ++cursor;
    }
    return true;
}

}  // namespace

RTCSSStylesheet::RTCSSStylesheet(std::string_view styleBlock) { parseStyleBlock(styleBlock); }

const RTCSSStylesheet& RTCSSStylesheet::defaultStyleSheet() {
    static const RTCSSStylesheet& sheet = *new RTCSSStylesheet(RTDefaultStylesheetText);
    return sheet;
}

void RTCSSStylesheet::parseStyleBlock(std::string_view css) {
    // Comments are cut out of the pending text, so the text on both sides of one still counts.
    std::string pending;
    std::string selectorGroup;
    int level = 0;
    for (std::size_t at = 0; at < css.size(); ++at) {
        const char c = css[at];
        if (c == '/' && at + 1 < css.size() && css[at + 1] == '*') {
            const std::size_t end = css.find("*/", at + 2);
            if (end == std::string_view::npos) return;
            at = end + 1;
            continue;
        }
        // The HTML comment markers around a style element's text (as word processors write it) belong to no rule.
        if (level == 0 && (css.substr(at, 4) == "<!--" || css.substr(at, 3) == "-->")) {
            at += c == '<' ? 3 : 2;
            continue;
        }
        if (c == '{') {
            if (level == 0) {
                selectorGroup = joined(words(pending), " ");
                pending.clear();
            } else {
                pending += c;
            }
            ++level;
        } else if (c == '}') {
            --level;
            if (level < 0) return;
            if (level == 0) {
                addStyleRule(pending, selectorGroup);
                pending.clear();
            } else {
                pending += c;
            }
        } else {
            pending += c;
        }
    }
}

void RTCSSStylesheet::addStyleRule(std::string_view declarationText, std::string_view selectorGroup) {
    ns::Dictionary parsed = declarationsOf(declarationText);
    removeImportant(parsed);
    uncompressShorthands(parsed);
    std::size_t start = 0;
    while (start <= selectorGroup.size()) {
        std::size_t comma = selectorGroup.find(',', start);
        if (comma == std::string_view::npos) comma = selectorGroup.size();
        std::string selector(trimmed(selectorGroup.substr(start, comma - start)));
        start = comma + 1;
        ns::Dictionary declarations = parsed;
        if (const std::size_t colon = selector.find(':'); colon != std::string::npos) {
            const std::string pseudoClass = selector.substr(colon + 1);
            selector.resize(colon);
            ns::Dictionary keyed;
            for (const auto& [key, value] : declarations) keyed.set(pseudoClass + ":" + key, value);
            declarations = std::move(keyed);
        }
        if (const Rule* existing = ruleFor(selector)) {
            ns::Dictionary merged = existing->declarations;
            writeOver(merged, declarations);
            declarations = std::move(merged);
        }
        addStyles(std::move(declarations), selector);
    }
}

namespace {

std::uint64_t nextGeneration() {
    static std::atomic<std::uint64_t> generations{0};
    return ++generations;
}

}  // namespace

void RTCSSStylesheet::addStyles(ns::Dictionary declarations, const std::string& selector) {
    generation_ = nextGeneration();
    if (auto found = index_.find(selector); found != index_.end()) {
        rules_[found->second].declarations = std::move(declarations);
        return;
    }
    std::vector<std::string> parts = partsOf(selector);
    const unsigned weight = weightOf(parts);
    const std::size_t position = rules_.size();
    if (parts.size() >= 2) {
        complexRulesByLastPart_[parts.back()].push_back(position);
        lastParts_.add(parts.back());
    }
    rules_.push_back(Rule{std::move(declarations), weight, std::move(parts)});
    index_.emplace(selector, position);
    orderedSelectors_.push_back(selector);
}

void RTCSSStylesheet::mergeStylesheet(const RTCSSStylesheet& other) {
    generation_ = nextGeneration();
    for (std::size_t i = 0; i < other.orderedSelectors_.size(); ++i) {
        const std::string& selector = other.orderedSelectors_[i];
        const ns::Dictionary& declarations = other.rules_[i].declarations;
        if (auto found = index_.find(selector); found != index_.end()) {
            writeOver(rules_[found->second].declarations, declarations);
        } else {
            addStyles(declarations, selector);
        }
    }
}

const RTCSSStylesheet::Rule* RTCSSStylesheet::ruleFor(std::string_view selector) const {
    const auto found = index_.find(std::string(selector));
    return found == index_.end() ? nullptr : &rules_[found->second];
}

const ns::Dictionary* RTCSSStylesheet::stylesForSelector(std::string_view selector) const {
    const Rule* rule = ruleFor(selector);
    return rule ? &rule->declarations : nullptr;
}

unsigned RTCSSStylesheet::weightForSelector(std::string_view selector) const {
    return weightOf(partsOf(selector));
}

template <typename Visit>
void RTCSSStylesheet::forEachMatchingComplexRule(const RTHTMLParserNode& element, std::optional<std::string_view> classes,
                                                 std::optional<std::string_view> id, Visit&& visit) const {
    if (complexRulesByLastPart_.empty()) return;
    // The lists of the selectors that end on the element's tag, classes or id. Most elements find one
    // list or none, whose positions are in order already; only several lists are merged.
    const std::vector<std::size_t>* first = nullptr;
    std::vector<std::size_t> merged;
    const auto add = [&](std::string_view lastPart) {
        // Most tags, classes and ids end no selector: the filter says so without hashing the text.
        if (!lastParts_.mayContain(lastPart)) return;
        const auto found = complexRulesByLastPart_.find(lastPart);
        if (found == complexRulesByLastPart_.end()) return;
        if (!first) {
            first = &found->second;
            return;
        }
        if (merged.empty()) merged = *first;
        merged.insert(merged.end(), found->second.begin(), found->second.end());
    };
    add(element.name());
    std::string prefixed;
    if (classes) {
        forEachWord(*classes, [&](std::string_view name) {
            prefixed.assign(1, '.').append(name);
            add(prefixed);
            return true;
        });
    }
    if (id) {
        prefixed.assign(1, '#').append(*id);
        add(prefixed);
    }
    if (!first) return;
    if (!merged.empty()) {
        std::sort(merged.begin(), merged.end());
        merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
    }
    const Ancestors ancestors(element);
    for (std::size_t position : merged.empty() ? *first : merged) {
        if (matchesDescendantSelector(element, ancestors, rules_[position].parts)) visit(position);
    }
}

std::vector<std::size_t> RTCSSStylesheet::matchingComplexRules(const RTHTMLParserNode& element) const {
    std::vector<std::size_t> matching;
    std::string classStorage, idStorage;
    forEachMatchingComplexRule(element, element.attributeText("class", classStorage), element.attributeText("id", idStorage),
                               [&matching](std::size_t position) { matching.push_back(position); });
    return matching;
}

std::vector<std::string> RTCSSStylesheet::matchingComplexCascadingSelectorsForElement(const RTHTMLParserNode& element) const {
    std::vector<std::string> matching;
    for (std::size_t position : matchingComplexRules(element)) matching.push_back(orderedSelectors_[position]);
    return matching;
}

std::string RTCSSStylesheet::cascadeKeyForElement(const RTHTMLParserNode& element, bool ignoreInlineStyle) const {
    std::string key;
    cascadeKeyForElement(element, ignoreInlineStyle, key);
    return key;
}

void RTCSSStylesheet::cascadeKeyForElement(const RTHTMLParserNode& element, bool ignoreInlineStyle, std::string& key) const {
    // Bytes, not text: each part is marked present or absent and carries its length, and the rule
    // positions close the key at a fixed width, so no two different cascades can write the same key.
    key.clear();
    const auto add = [&key](std::string_view part) {
        const std::size_t length = part.size();
        key += '+';
        key.append(reinterpret_cast<const char*>(&length), sizeof length);
        key += part;
    };
    add(element.name());
    std::optional<std::string_view> classes, id;
    std::string classStorage, idStorage, styleStorage;
    // Most elements have no attributes at all: their parts are absent without a look.
    if (element.attributes().empty()) {
        key.append(ignoreInlineStyle ? 2 : 3, '-');
    } else {
        classes = element.attributeText("class", classStorage);
        id = element.attributeText("id", idStorage);
        const auto addOptional = [&](const std::optional<std::string_view>& part) {
            if (part) add(*part);
            else key += '-';
        };
        addOptional(classes);
        addOptional(id);
        if (!ignoreInlineStyle) addOptional(element.attributeText("style", styleStorage));
    }
    forEachMatchingComplexRule(element, classes, id, [&key](std::size_t position) {
        key.append(reinterpret_cast<const char*>(&position), sizeof position);
    });
}

ns::Value RTCSSStylesheet::mergedStyleDictionaryForElement(const RTHTMLParserNode& element, std::set<std::string>* matchedSelectors,
                                                           bool ignoreInlineStyle) const {
    ns::Dictionary merged;
    bool collected = false;
    std::set<std::string> recorded;
    const auto apply = [&](std::string_view selector, std::string_view recordAs) {
        const Rule* rule = ruleFor(selector);
        if (!rule) return;
        writeOver(merged, rule->declarations);
        collected = true;
        if (!recordAs.empty()) recorded.emplace(recordAs);
    };
    apply(element.name(), {});

    std::vector<std::size_t> descendants = matchingComplexRules(element);
    // Positions follow definition order, so a stable sort keeps it among equal weights.
    std::stable_sort(descendants.begin(), descendants.end(),
                     [&](std::size_t a, std::size_t b) { return rules_[a].weight < rules_[b].weight; });
    for (std::size_t position : descendants) apply(orderedSelectors_[position], orderedSelectors_[position]);

    if (const std::optional<std::string> classes = element.attributeForKey("class")) {
        for (std::string_view name : words(*classes)) {
            apply("." + std::string(name), name);
            const std::string tagged = element.name() + "." + std::string(name);
            apply(tagged, tagged);
        }
    }
    if (const std::optional<std::string> id = element.attributeForKey("id")) {
        const std::string selector = "#" + *id;
        apply(selector, selector);
    }
    if (!ignoreInlineStyle) {
        if (const std::optional<std::string> style = element.attributeForKey("style"); style && !style->empty()) {
            ns::Dictionary inlineStyle = declarationsOf(*style);
            uncompressShorthands(inlineStyle);
            if (!inlineStyle.empty()) {
                writeOver(merged, inlineStyle);
                collected = true;
            }
        }
    }
    if (matchedSelectors && !recorded.empty()) matchedSelectors->insert(recorded.begin(), recorded.end());
    if (!collected) return ns::Value();
    return ns::Value(std::move(merged));
}

void RTCSSStylesheet::uncompressShorthands(ns::Dictionary& declarations) {
    if (!expandListStyle(declarations)) return;
    expandFont(declarations);
    expandBox(declarations, "margin");
    expandBox(declarations, "padding");
    expandBackground(declarations);
}

std::string RTCSSStylesheet::description() const {
    ns::Dictionary styles;
    for (std::size_t i = 0; i < rules_.size(); ++i) styles.set(orderedSelectors_[i], ns::Value(rules_[i].declarations));
    return ns::Value(std::move(styles)).description();
}

}  // namespace ql
