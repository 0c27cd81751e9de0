#pragma once
// The rich text import's result as the builder tests read it: the text, and the font, colour and paragraph style
// at a place of it.

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Value.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/ParagraphStyleObject.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "richtext/NSAttributedStringHTML.h"
#include "richtext/RTHTMLColors.h"

namespace ql::test {

inline ct::AttributedString import(std::string_view html, ns::Dictionary options = {}) {
    const std::optional<ct::AttributedString> result = initWithHTMLData(ns::Data(html), options);
    if (!result) throw std::runtime_error("no text for " + std::string(html));
    return *result;
}

inline std::string text(std::string_view html, ns::Dictionary options = {}) { return import(html, std::move(options)).string(); }

inline std::uint64_t indexOf(const ct::AttributedString& string, std::u16string_view needle) {
    const std::size_t at = string.u16string().find(needle);
    if (at == std::u16string::npos) throw std::runtime_error("missing text");
    return at;
}

inline ct::ParagraphStyle paragraphAt(const ct::AttributedString& string, std::uint64_t index) {
    auto style = string.attributeAtIndex(ct::ParagraphStyleAttributeName, index).asObject<ct::ParagraphStyleObject>();
    return style ? style->style() : ct::ParagraphStyle();
}

inline ct::Font fontAt(const ct::AttributedString& string, std::uint64_t index) {
    auto font = string.attributeAtIndex(ct::FontAttributeName, index).asObject<ui::Font>();
    if (!font) throw std::runtime_error("no font");
    return font->ctFont();
}

inline std::string colorAt(const ct::AttributedString& string, std::uint64_t index) {
    auto color = string.attributeAtIndex(ct::ForegroundColorAttributeName, index).asObject<ui::Color>();
    return color ? RTHexDigitsFromColor(*color).value_or("?") : "none";
}

// The colour each of the words is written in, in the order given.
inline std::vector<std::string> colorsOf(const ct::AttributedString& string, std::initializer_list<std::u16string_view> words) {
    std::vector<std::string> colors;
    for (const std::u16string_view word : words) colors.push_back(colorAt(string, indexOf(string, word)));
    return colors;
}

// The lines the text shows, in order: split at line ends and line separators, without the white space at their
// ends and without the characters attachments stand on (an image's or a frame's, of which a browser's text has
// nothing); empty ones left out (a browser's visible text has blank lines between paragraphs), or with
// `blankLines`, only those at the ends.
inline std::vector<std::string> lines(std::string_view html, bool blankLines = false) {
    std::vector<std::string> shown;
    std::string text = import(html).string();
    for (std::size_t at; (at = text.find("\u2028")) != std::string::npos;) text.replace(at, 3, "\n");
    for (std::size_t at; (at = text.find("\uFFFC")) != std::string::npos;) text.erase(at, 3);
    for (std::size_t from = 0; from <= text.size();) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        line.erase(0, line.find_first_not_of(" \t"));
        line.erase(line.find_last_not_of(" \t") + 1);
        if (!line.empty() || (blankLines && !shown.empty())) shown.push_back(line);
        from = end + 1;
    }
    while (!shown.empty() && shown.back().empty()) shown.pop_back();
    return shown;
}

// The same without the markers the import writes before a list item's text ("1.\t", "\u2022\t", one for each list
// an item begins), which a browser's visible text leaves out.
inline std::vector<std::string> linesWithoutMarkers(std::string_view html) {
    std::vector<std::string> shown = lines(html);
    for (std::string& line : shown) {
        for (std::size_t tab; (tab = line.find('\t')) != std::string::npos && tab > 0 && tab <= 12 &&
                              line.find(' ') > tab;)
            line.erase(0, tab + 1);
    }
    return shown;
}

}  // namespace ql::test
