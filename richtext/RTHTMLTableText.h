#pragma once
// What a table cannot hold, as the input repair hands it to the reader: text (other than white space) and
// elements directly in a table, a row group or a row, outside its cells and captions, go before the table in a
// browser, in the order they come ("<table><tr><td>A</td></tr>B</table>" shows "B", then "A"); the reader
// (libxml2) would keep them in the table, in place. The repair moves them: from such text or start tag on, what
// it writes goes to where the table begins, until the next part of a table (a row, a cell, a caption, another
// table or the table's end), white space alone once nothing moved is open (it stays in the table, as in a browser)
// or the end of the document. There the elements moved and still open end, as a
// browser ends them: formatting elements stay in effect (opened again after the table, as in a browser), and
// the others' end tags are written. An end tag of an element from outside the table that comes while content
// is moved is left out: a browser ignores it there (the table bounds its reach). Scripts, style sheets,
// elements of the head and forms stay where they are, as in a browser.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "richtext/RTHTMLEdits.h"
#include "richtext/RTHTMLOpenElements.h"

namespace ql {

class RTHTMLTableText {
public:
    RTHTMLTableText(RTHTMLEdits& edits, RTHTMLOpenElements& elements) : edits_(edits), elements_(elements) {}

    // Whether what the repair writes goes before a table now.
    bool moving() const { return moving_; }

    // Text with something to show begins at `at`, outside SVG and MathML.
    void text(std::size_t at) {
        if (!moving_ && elements_.inTableBody()) begin(at);
    }
    // White space alone begins at `at` while moving: a browser keeps it in the table where nothing moved is open
    // (a tag or comment ended the text before it, which went before the table): the move ends there, to begin
    // again with what follows.
    void blankText(std::size_t at) {
        if (open_.empty() && elements_.inTableBody() && !elements_.formattingOpenSince(start_)) end(at);
    }
    // A start tag at `from`, before the repair writes anything for it: its number (RTHTMLOpenElements), name as
    // written and traits. `opensElement` when an element begins there that ends later (not a void element
    // or one written self-closing); `html` when it is an HTML element, `inForeignElement` when it comes inside
    // an SVG or MathML element.
    void startTag(std::uint8_t tag, std::string_view name, RTHTMLOpenElements::StartTagTraits traits, std::size_t from,
                  bool opensElement, bool html, bool inForeignElement);
    // An end tag at `from`, while moving: false when the repair leaves it out.
    bool endTag(std::uint8_t tag, std::string_view name, RTHTMLOpenElements::StartTagTraits traits, std::size_t from);
    // While moving: an element the repair ends otherwise than by its end tag (an SVG element an HTML one ends).
    void elementEnded(std::string_view name) {
        if (!open_.empty() && open_.back() == name) open_.pop_back();
    }
    // The document ends at `at`.
    void finish(std::size_t at) {
        if (moving_) end(at);
    }

private:
    void begin(std::size_t at);
    void end(std::size_t at);

    RTHTMLEdits& edits_;
    RTHTMLOpenElements& elements_;
    bool moving_ = false;
    RTHTMLOpenElements::MoveStart start_{};
    // The elements moved that are neither formatting elements nor void, open still, as written.
    std::vector<std::string_view> open_;
    std::string written_;  // scratch for their end tags
};

}  // namespace ql
