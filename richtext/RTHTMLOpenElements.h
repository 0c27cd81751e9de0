#pragma once
// The elements a browser holds open at each tag of a document, as far as the repairs of misnested formatting
// need them, and those repairs, written into the reader's input as the tags go by.
//
// The reader (libxml2) closes formatting elements (a, b, big, code, em, font, i, nobr, s, small, strike,
// strong, tt, u) where a browser keeps them in effect: at the end tag of an element they enclose (in
// "<b>a <i>b</b> c</i>" the "c" is italic), at the end of the block they were opened in ("<div>x <b>y</div>
// <p>z": the "z" is bold) and at a p that starts inside them ("<b><p>t</p></b>"). A browser remembers them as
// active and opens them again where text follows. So does this repair: the reader is handed formatting
// elements that never enclose a block. At every block's start and end tag the formatting elements open in
// it are ended; before the next text with something to show (or inline element) they are opened again, as
// copies with the same attributes. An end tag of a formatting element ends the elements opened after it too,
// and those are opened again after it. Tables are left nested as they are written (the reader keeps them
// inside formatting, as a browser does); their cells and captions start afresh, as in a browser. An end tag
// "</p>" with no p open becomes an empty paragraph ("<div>a</p>b</div>" shows two lines).
//
// The rendering is a browser's; the tree is not quite: copies stand where a browser has one element around a
// block, so a selector such as "b p" no longer matches, and a link around blocks becomes one link per block.
// At most 16 formatting elements are remembered at once (more nest unrepaired), and the copies opened again
// come to at most the size of the document, so no input makes the repaired one much larger. As in a browser,
// at most three identical ones (same name, attributes written alike) are remembered after the last cell:
// a fourth makes the repair forget the first, so a stray "<u>" in each of many paragraphs underlines the
// ones after it three times over, not once per stray tag.
//
// The reader also closes a heading where a p starts right inside it; a browser keeps the p in the heading.
// The repair puts an element of its own (RTHTMLKeepOpenTag) between them, which the reader does not close
// for a p, and ends it where the p ends; the parser never reports it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "richtext/RTHTMLEdits.h"

namespace ql {

// The element the repair keeps a heading open with; never reported (a document's own of the name neither).
inline constexpr std::string_view RTHTMLKeepOpenTag = "ql-keep-open";

// What becomes of the contents of an HTML element a browser reads as no markup, to its end tag (RTHTMLRawText.h).
enum class RTHTMLRawContents : std::uint8_t {
    Markup,              // none: the contents are markup
    Script,              // script: the reader too reads them as no markup, to its first "</script"
    Kept,                // style: the same, to its first "</style"
    Hidden,              // iframe, noembed, noframes: a browser shows nothing of them
    Text,                // xmp: shown as written
    TextWithReferences,  // textarea, title: shown as written but for character references
    TextToTheEnd,        // plaintext: the rest of the document is its text, shown as written
};

class RTHTMLOpenElements {
public:
    // `source` is the document the positions refer to, and outlives the repair.
    RTHTMLOpenElements(std::string_view source, RTHTMLEdits& edits);

    // The tags the repair tells apart have numbers of their own; every other name is 0. ASCII case is ignored.
    static std::uint8_t tagNamed(std::string_view name);
    static bool isFormattingTag(std::uint8_t tag);
    static bool isBlockTag(std::uint8_t tag);
    // What else the input repair makes of a start tag, all at once: it asks of every one.
    struct StartTagTraits {
        RTHTMLRawContents contents : 3 = RTHTMLRawContents::Markup;
        bool opensForeignContent : 1 = false;    // svg, math (RTHTMLForeignContent.h)
        bool dropsLeadingNewline : 1 = false;    // pre, listing, textarea: a line feed right after the tag is no text
        bool endsParagraphInReader : 1 = false;  // title: the reader ends an open p there (a browser does not)
        bool belongsInHead : 1 = false;  // title, style, script, meta, link, base, noframes, noscript, template, head
        bool isHtml : 1 = false;
        bool isBody : 1 = false;
    };
    static StartTagTraits startTagTraits(std::uint8_t tag);

    // A start tag at [from, to), its name's number `tag`; `text` is the tag as the reader gets it (when it was
    // rewritten, a text of the caller's, read during the call). True when the repair took the tag out, to
    // write it later: a formatting element that `beforeBlock` (nothing but white space before a block's
    // start tag) would leave empty but for that white space, which the reader would keep as a line of its own.
    bool startTag(std::uint8_t tag, std::size_t from, std::size_t to, std::string_view text, bool selfClosing,
                  bool beforeBlock = false);
    void endTag(std::uint8_t tag, std::size_t from, std::size_t to);
    // Text with something to show begins at `at`.
    void text(std::size_t at);
    // Whether text would open formatting elements again; until it does, the caller need not look for it.
    bool reopensBeforeText() const { return reopenFrom_ < active_.size(); }
    bool paragraphOpen() const;

    static constexpr std::size_t MaximumFormattingElements = 16;

private:
    struct Active {
        std::uint8_t tag = 0;  // 0 for the marker a cell or caption leaves
        bool open = false;     // in the reader's input at this point
        std::int32_t rewritten = -1;  // the start tag's place in `rewrittenTags_` when it was rewritten
        std::size_t from = 0, length = 0;  // else where it is in the source
        // Forgotten for a fourth identical element while open in the reader's input: ended with its block,
        // or by an end tag that finds no other of its name, and never opened again.
        bool forgotten = false;
    };
    std::string_view startTagText(const Active& entry) const {
        return entry.rewritten >= 0 ? std::string_view(rewrittenTags_[static_cast<std::size_t>(entry.rewritten)])
                                    : source_.substr(entry.from, entry.length);
    }

    // Whether two entries have the same name and the same attributes, written alike.
    bool identical(const Active& a, const Active& b) const;
    // Makes room for `entry`: forgets the earliest of three identical ones after the last marker.
    void forgetBeyondThreeIdentical(const Active& entry);
    void endFormatting(std::uint8_t tag, std::size_t from, std::size_t to, bool synthesized);
    // Entries forgotten while open leave once the reader's input has ended them.
    void dropClosedForgotten();
    // Ends the formatting elements open since the last marker, before `at`; they stay active.
    void closeOpenFormatting(std::size_t at);
    void reopen(std::size_t at);
    void clearToLastMarker();

    // Blocks, cells and the like, for their scopes.
    void push(std::uint8_t tag, bool keptOpen = false);
    void popThrough(std::size_t depth);
    void closeIfOpen(std::int32_t depth);
    // The depth of the innermost open element with one of the tags (a set of bits by tag), -1 when none.
    std::int32_t deepest(std::uint64_t tags) const;
    // The same when none of the boundary elements is open inside it, else -1.
    std::int32_t inScope(std::uint64_t tags, std::uint64_t boundaries) const;
    void startBlock(std::uint8_t tag);
    void endBlock(std::uint8_t tag, std::size_t from);

    std::string_view source_;
    RTHTMLEdits& edits_;
    std::vector<Active> active_;
    std::size_t forgotten_ = 0;  // entries marked forgotten
    // Where the entries after the last marker begin.
    std::size_t segment_ = 0;
    // Entries from here on are closed in the reader's input (to be opened again); those before, after the last
    // marker, are open.
    std::size_t reopenFrom_ = 0;
    std::size_t reopenBudget_;
    std::string written_;  // scratch for the tags written at one place
    std::vector<std::string> rewrittenTags_;
    struct OpenBlock {
        std::uint8_t tag;
        std::int32_t outer;  // the depth of the next element of the tag further out, -1 when none
        bool keptOpen = false;  // a p inside RTHTMLKeepOpenTag, which ends with it
    };
    // Where the tag being handled begins: elements it ends are ended there.
    std::size_t at_ = 0;
    std::vector<OpenBlock> stack_;
    std::array<std::int32_t, 64> innermost_;  // by tag, the depth of the innermost one open, -1 when none
};

}  // namespace ql
