#include "richtext/RTHTMLForeignContent.h"

#include "platform/foundation/Text.h"
#include "richtext/RTHTMLBlanks.h"
#include "richtext/RTHTMLNameTable.h"

namespace ql {

namespace {

enum : std::uint8_t {
    EndsForeignContent = 1,  // an HTML element that cannot go inside SVG or MathML
    Void = 2,                // an HTML element with no end tag
};

constexpr RTHTMLNameTable<7>::Entry HTMLEntries[] = {
    {"b", EndsForeignContent},      {"big", EndsForeignContent},        {"blockquote", EndsForeignContent},
    {"body", EndsForeignContent},   {"br", EndsForeignContent | Void},  {"center", EndsForeignContent},
    {"code", EndsForeignContent},   {"dd", EndsForeignContent},         {"div", EndsForeignContent},
    {"dl", EndsForeignContent},     {"dt", EndsForeignContent},         {"em", EndsForeignContent},
    {"embed", EndsForeignContent | Void}, {"h1", EndsForeignContent},   {"h2", EndsForeignContent},
    {"h3", EndsForeignContent},     {"h4", EndsForeignContent},         {"h5", EndsForeignContent},
    {"h6", EndsForeignContent},     {"head", EndsForeignContent},       {"hr", EndsForeignContent | Void},
    {"i", EndsForeignContent},      {"img", EndsForeignContent | Void}, {"li", EndsForeignContent},
    {"listing", EndsForeignContent}, {"menu", EndsForeignContent},      {"meta", EndsForeignContent | Void},
    {"nobr", EndsForeignContent},   {"ol", EndsForeignContent},         {"p", EndsForeignContent},
    {"pre", EndsForeignContent},    {"ruby", EndsForeignContent},       {"s", EndsForeignContent},
    {"small", EndsForeignContent},  {"span", EndsForeignContent},       {"strong", EndsForeignContent},
    {"strike", EndsForeignContent}, {"sub", EndsForeignContent},        {"sup", EndsForeignContent},
    {"table", EndsForeignContent},  {"tt", EndsForeignContent},         {"u", EndsForeignContent},
    {"ul", EndsForeignContent},     {"var", EndsForeignContent},        {"area", Void},
    {"base", Void},                 {"col", Void},                      {"input", Void},
    {"link", Void},                 {"param", Void},                    {"source", Void},
    {"track", Void},                {"wbr", Void},                      {"basefont", Void},
    {"bgsound", Void},              {"frame", Void},                    {"keygen", Void},
};
constexpr RTHTMLNameTable<7> HTMLTable{HTMLEntries};

bool is(std::string_view name, std::string_view expected) { return ns::equalsIgnoringASCIICase(name, expected); }
bool has(std::string_view name, std::uint8_t flag) { return (HTMLTable.find(name, true) & flag) != 0; }

// Whether a font element's attributes name a colour, a face or a size.
bool fontEndsForeignContent(std::string_view attributes) {
    for (std::size_t at = 0; at < attributes.size();) {
        while (at < attributes.size() && (RTHTMLIsBlank(attributes[at]) || attributes[at] == '/')) ++at;
        const std::size_t start = at;
        while (at < attributes.size() && !RTHTMLIsBlank(attributes[at]) && attributes[at] != '=' && attributes[at] != '>' && attributes[at] != '/') ++at;
        const std::string_view name = attributes.substr(start, at - start);
        if (is(name, "color") || is(name, "face") || is(name, "size")) return true;
        while (at < attributes.size() && RTHTMLIsBlank(attributes[at])) ++at;
        if (at >= attributes.size() || attributes[at] != '=') {
            if (at == start) ++at;  // a ">" or stray "=" of no name
            continue;
        }
        for (++at; at < attributes.size() && RTHTMLIsBlank(attributes[at]);) ++at;
        if (at < attributes.size() && (attributes[at] == '"' || attributes[at] == '\'')) {
            const std::size_t close = attributes.find(attributes[at], at + 1);
            at = close == std::string_view::npos ? attributes.size() : close + 1;
        } else {
            while (at < attributes.size() && !RTHTMLIsBlank(attributes[at]) && attributes[at] != '>') ++at;
        }
    }
    return false;
}

bool isBreakout(std::string_view name, std::string_view attributes) {
    return has(name, EndsForeignContent) || (is(name, "font") && fontEndsForeignContent(attributes));
}

}  // namespace

bool RTHTMLForeignContent::isVoidHTMLElement(std::string_view name) { return has(name, Void); }

bool RTHTMLForeignContent::holdsHTML(const Open& element) const {
    switch (element.kind) {
    case Kind::HTML: return true;
    case Kind::SVG: return is(element.name, "foreignObject") || is(element.name, "desc") || is(element.name, "title");
    case Kind::MathML:
        return is(element.name, "mi") || is(element.name, "mo") || is(element.name, "mn") || is(element.name, "ms") || is(element.name, "mtext");
    }
    return false;
}

std::size_t RTHTMLForeignContent::initialOf(std::string_view name) {
    const char c = static_cast<char>(name.empty() ? 0 : name.front() | 0x20);
    return c >= 'a' && c <= 'z' ? static_cast<std::size_t>(c - 'a') : 26;
}

void RTHTMLForeignContent::push(std::string_view name, Kind kind) {
    if (open_.size() >= MaximumDepth) {
        ++deeper_;
        return;
    }
    open_.push_back({name, kind});
    ++initials_[initialOf(name)];
    htmlElements_ += kind == Kind::HTML;
}

void RTHTMLForeignContent::pop() {
    if (deeper_ > 0) {
        --deeper_;
        ended_.push_back({{}, true});
        return;
    }
    ended_.push_back({open_.back().name, open_.back().kind != Kind::HTML});
    popTo(open_.size() - 1);
}

void RTHTMLForeignContent::popTo(std::size_t depth) {
    for (std::size_t at = depth; at < open_.size(); ++at) {
        --initials_[initialOf(open_[at].name)];
        htmlElements_ -= open_[at].kind == Kind::HTML;
    }
    open_.resize(depth);
}

bool RTHTMLForeignContent::takesHTML(std::string_view name) const {
    const Open& current = open_.back();
    return holdsHTML(current) && !(current.kind == Kind::MathML && (is(name, "mglyph") || is(name, "malignmark")));
}

bool RTHTMLForeignContent::endsForeignContent(std::string_view name, std::string_view attributes) const {
    return inForeignElement() && !takesHTML(name) && isBreakout(name, attributes);
}

bool RTHTMLForeignContent::startTag(std::string_view name, std::string_view attributes, bool selfClosing) {
    ended_.clear();
    const bool svg = is(name, "svg");
    const bool math = !svg && is(name, "math");
    if (inForeignElement() && !takesHTML(name)) {
        if (!isBreakout(name, attributes)) {
            if (!selfClosing) push(name, open_.back().kind);
            return false;
        }
        while (!open_.empty() && !holdsHTML(open_.back())) pop();
    }
    if (svg || math) {
        if (!selfClosing) push(name, svg ? Kind::SVG : Kind::MathML);
        return false;
    }
    // Inside an element that holds HTML, HTML elements are kept track of for their end tags.
    if (!open_.empty() && !has(name, Void)) push(name, Kind::HTML);
    return true;
}

std::size_t RTHTMLForeignContent::depthAfterEndTag(std::string_view name) const {
    if (open_.empty()) return 0;
    if (deeper_ > 0) return depth() - 1;
    if (open_.back().kind != Kind::HTML && (is(name, "p") || is(name, "br"))) {
        std::size_t at = open_.size();
        while (at > 0 && !holdsHTML(open_[at - 1])) --at;
        return at;
    }
    // The innermost element of the name, short of the outside of the HTML an element holds (where HTML's end
    // tags do not reach).
    if (initials_[initialOf(name)] > 0) {
        for (std::size_t at = open_.size(); at-- > 0;) {
            if (is(open_[at].name, name)) return at;
            if (open_[at].kind == Kind::HTML && at > 0 && open_[at - 1].kind != Kind::HTML) return depth();
        }
    } else if (htmlElements_ > 0) {
        return depth();  // where looking through them would have stopped
    }
    // An HTML element's end tag with none open inside: it closes one outside, and what it holds.
    return has(name, EndsForeignContent) ? 0 : depth();
}

void RTHTMLForeignContent::endTag(std::string_view name) {
    ended_.clear();
    for (const std::size_t target = depthAfterEndTag(name); depth() > target;) pop();
}

}  // namespace ql
