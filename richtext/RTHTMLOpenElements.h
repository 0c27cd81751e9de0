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
// it are ended; before the next text with something to show (or element in line a browser opens them again
// before: not a textarea or title, whose text is their own) they are opened again, as copies with the same
// attributes. An end tag of a formatting element ends the elements opened after it too, and those are opened
// again after it. Tables are left nested as they are written (the reader keeps them
// inside formatting, as a browser does), but for a table that ends a paragraph, where the formatting in the
// paragraph ends with it; cells and captions start afresh, as in a browser, as do applet, marquee and object
// elements. An end tag "</p>" with no p open becomes an empty paragraph ("<div>a</p>b</div>" shows two lines).
//
// The rendering is a browser's; the tree is not quite: copies stand where a browser has one element around a
// block, so a selector such as "b p" no longer matches, and a link around blocks becomes one link per block.
// At most 16 formatting elements are remembered at once (more nest unrepaired), and the copies opened again
// come to at most the size of the document, so no input makes the repaired one much larger. As in a browser,
// at most three identical ones (same name, attributes written alike) are remembered after the last cell:
// a fourth makes the repair forget the first, so a stray "<u>" in each of many paragraphs underlines the
// ones after it three times over, not once per stray tag.
//
// Where an end tag ends held elements, the reader is given the end tags of those inside the one it ends (it
// ignores an end tag while a div is open inside its element); an end tag a browser ignores (none of its name in
// scope, or an element in line's that a block was opened inside) the reader is not given. The repair knows the
// elements in line a browser has open inside each held element, and where a browser has each formatting element
// open, so that a heading ends another only where that one is a browser's current element.
//
// Where the repair's held elements end, the reader is made to end them too, and nothing else: an open p
// ends before a block's start tag even where the reader would not end it (inside a span, or at an article
// or figure, which it does not know), and before a table but in quirks mode (RTHTMLDoctype.h); parts of tables
// and items ended by others, and a heading by another, are given their end tags. Where the reader would end
// an element that a browser keeps open around a new one (a heading, pre or list at a list inside it, a p in a
// heading, a paragraph in quirks mode, a heading, pre or link at a table), the repair puts an element of its
// own (RTHTMLKeepOpenTag) between them, which the reader ends only with what holds it (a p in a heading with
// the p); the parser never reports it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "richtext/RTHTMLEdits.h"

namespace ql {

// The element the repair keeps an element open with; never reported (a document's own of the name neither).
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
        // title, style, script, meta, link, base, basefont, bgsound, noframes, noscript, template, head
        bool belongsInHead : 1 = false;
        bool isHtml : 1 = false;
        bool isBody : 1 = false;
        bool isParagraph : 1 = false;
        bool ignoredInBody : 1 = false;  // head, body, frameset, frame: a browser ignores them once the body began
        bool isTablePart : 1 = false;    // caption, col, colgroup, tbody, thead, tfoot, tr, td, th
        bool endsTableText : 1 = false;  // a table part or a table: what a table holds itself
        // A table part or table, or a script, style sheet, element of the head or form, which a browser leaves
        // where it is in a table; any other element there goes before the table (RTHTMLTableText.h).
        bool staysInTable : 1 = false;
        bool isForm : 1 = false;
        bool isNoscript : 1 = false;
        // link, meta, basefont, bgsound, style, noframes: what a noscript element in the head holds; a browser that
        // runs no scripts ends the noscript element, and the head, at anything else.
        bool staysInHeadNoscript : 1 = false;
    };
    static StartTagTraits startTagTraits(std::uint8_t tag);

    // A start tag at [from, to), its name's number `tag`; `text` is the tag as the reader gets it (when it was
    // rewritten, a text of the caller's, read during the call). True when the repair took the tag out, to
    // write it later: a formatting element that `beforeBlock` (nothing but white space before a block's
    // start tag) would leave empty but for that white space, which the reader would keep as a line of its own.
    bool startTag(std::uint8_t tag, std::size_t from, std::size_t to, std::string_view text, bool selfClosing,
                  bool beforeBlock = false);
    // An element in line of no concern otherwise (`tracksInline`), `name` as written, began at the tag just
    // handled and ends later (not void, not written self-closing).
    static bool tracksInline(std::uint8_t tag);
    void startInline(std::uint8_t tag, std::string_view name);
    // An end tag at [from, to), `name` as written. Where a browser ignores it, the repair leaves it out; where
    // it ends elements open inside the one it ends, the reader is given their end tags too.
    void endTag(std::uint8_t tag, std::string_view name, std::size_t from, std::size_t to);
    // Text with something to show begins at `at`.
    void text(std::size_t at);
    // White space alone comes next, outside tables' own content: a browser opens the formatting it ended again
    // around it (but in a select), as around any text. The reader is given nothing: the copies open before the
    // next text with something to show, as the rendering needs.
    void blankText();
    // Whether text would open formatting elements again; until it does, the caller need not look for it.
    bool reopensBeforeText() const { return reopenFrom_ < active_.size(); }
    bool paragraphOpen() const;
    // Whether a p is open where a start or end tag reaches it (no table, cell or the like between).
    bool paragraphInScope() const;
    // A doctype that does not set quirks mode makes a table end an open paragraph (RTHTMLDoctype.h).
    void setQuirksMode(bool quirks) { quirks_ = quirks; }
    bool tableOpen() const;
    // Whether a browser's current element is a form, once the paragraphs and items in it end.
    bool formIsCurrent() const;
    // A form's end tag at `at` that the repair leaves out (elements inside the form are still open), where the
    // form is in scope: as a browser, the repair ends the paragraphs and items that are current, then takes the
    // form out of the elements open and leaves those inside it open. The reader keeps the form open until what
    // holds it ends; a form shows nothing of its own, and ends with any element around it.
    void endFormLeftOpen(std::size_t at);
    // Whether what comes now is directly in a table, a row group or a row, outside cells and captions.
    bool inTableBody() const { return !stack_.empty() && stack_.back().tableBody; }
    // Whether an end tag of the tag ends an element: one of its name (or for a heading, any heading) is open, with
    // no element between that bounds its reach.
    bool endTagReaches(std::uint8_t tag) const;
    // Where the innermost open table begins, for what goes before it.
    RTHTMLEdits::Place& tablePlace();

    // What is open when content begins to go before a table (RTHTMLTableText.h), to end what it opened.
    struct MoveStart {
        std::size_t formatting;  // entries of formatting elements from here on were closed or are new
        std::size_t depth;       // held elements above this depth are new
    };
    MoveStart moveStart() const { return {reopenFrom_, stack_.size()}; }
    // Whether an element of the tag opened since the move began is open.
    bool openSince(const MoveStart& start, std::uint8_t tag) const;
    // Whether a browser has a formatting element open that it opened (or opened again) since the move began.
    bool formattingOpenSince(const MoveStart& start) const;
    // Ends, before `at`, the formatting elements opened since the move began (they stay active) and leaves
    // the held ones, whose end tags the caller writes.
    void endMove(const MoveStart& start, std::size_t at);

    static constexpr std::size_t MaximumFormattingElements = 16;
    // A form's end tag left out takes the form out of the record only where at most this many held elements are
    // open in it, the form included.
    static constexpr std::size_t MaximumInsideRemovedForm = 32;

private:
    struct Active {
        std::uint8_t tag = 0;  // 0 for the marker a cell or caption leaves
        bool open = false;     // in the reader's input at this point
        std::int32_t rewritten = -1;  // the start tag's place in `rewrittenTags_` when it was rewritten
        std::size_t from = 0, length = 0;  // else where it is in the source
        // Forgotten for a fourth identical element while open in the reader's input: ended with its block,
        // or by an end tag that finds no other of its name, and never opened again.
        bool forgotten = false;
        // Where a browser has it open: the number of held elements open where it began, or where the browser
        // opened it again; Ended once the browser ended it (with a block it was in, say), to open again.
        std::uint32_t depth = 0;
        // The elements in line (OpenInline::number) from this one on began inside it, as a browser has it open.
        std::uint32_t inlineFrom = 0;
    };
    static constexpr std::uint32_t Ended = UINT32_MAX;
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
    // Ends the formatting elements the reader has open inside the held elements from `depth` on (all since the
    // last marker but those around a table further out), before `at`; they stay active.
    void closeOpenFormatting(std::size_t at, std::size_t depth = SIZE_MAX);
    void reopen(std::size_t at);
    // Where a browser opens the formatting elements it ended again (before text, or a button's start), they are
    // open at the current depth.
    void reopenedByBrowser();
    void clearToLastMarker();

    // Ends the formatting elements open in the reader's input from `first` on, before `at`; they stay active.
    void closeFormattingFrom(std::size_t first, std::size_t at);
    // Ends an open p before a block or table starts at at_, telling the reader, which would not end it
    // where it holds other elements inside, or where it does not know the tag for a block.
    void closeParagraph();

    // A table starts at `from`: a table it is directly in ends, as does an open p where not in quirks mode;
    // where the reader would end what the table is in and a browser would not, RTHTMLKeepOpenTag goes between.
    void startTable(std::size_t from);
    // Whether the reader would end the element the tag starts in, where a browser keeps it open around it.
    bool readerEnds(std::uint8_t tag) const;
    // What a caption, row group or column group ends: the parts of the innermost table open inside it.
    void clearToTableContext();
    // Ends the held elements through `depth` (when not -1), writing their end tags for the reader, which would
    // not end them all there itself.
    void endAndTellReader(std::int32_t depth);

    // Blocks, cells and the like, for their scopes.
    void push(std::uint8_t tag, bool keptOpen = false);
    // The end tag of a held element, written to the scratch text.
    const std::string& heldEndTag(std::uint8_t tag);
    // Ends the held elements through `depth`, with `tellReader` writing their end tags.
    void popThrough(std::size_t depth, bool tellReader = false);
    // The depth of the held element an end tag of the tag ends, -1 when none is in scope.
    std::int32_t reachOf(std::uint8_t tag) const;
    // Whether a select is open inside the innermost held element.
    bool selectOpenInside() const;
    // Whether a formatting element or other element in line is open directly inside the held element at `level`
    // less one (as a browser has them open, not as the reader's input has): then that one is not a browser's
    // current element once those inside it end.
    bool anythingOpenIn(std::size_t level) const;
    // Takes the held element at `depth` out, those inside it staying open.
    void removeHeld(std::size_t depth);
    // The formatting element at `entry` ends by its end tag: what a browser opened inside it ends with it.
    void endedWithFormatting(std::size_t entry);
    // Formatting elements from `first` on that a browser has open at `depth` or deeper are ended there, to be
    // opened again.
    void endedByBrowser(std::size_t first, std::size_t depth = 0);
    // Whether an element in line is open inside the innermost held one.
    bool inlineOpenInside() const { return !inline_.empty() && inline_.back().depth == stack_.size(); }
    // An end tag of an element in line at [from, to): it ends one of the name open inside the innermost held
    // element, with no select or noscript between; else a browser ignores it, and the reader is not given it.
    void endInline(std::string_view name, std::size_t from, std::size_t to);
    // The depth of the innermost open element with one of the tags (a set of bits by tag), -1 when none.
    std::int32_t deepest(std::uint64_t tags) const;
    // The same when none of the boundary elements is open inside it, else -1.
    std::int32_t inScope(std::uint64_t tags, std::uint64_t boundaries) const;
    void startBlock(std::uint8_t tag);
    // The item at `depth` (-1 for none) that an item's start tag ends, or -1 where a select or noscript element is
    // open inside it.
    std::int32_t itemInReach(std::int32_t depth) const;
    // The end tag at [from, to) ends the held element at `depth` (reachOf), with those inside it, whose end tags
    // the reader is given first (it would ignore the end tag while a div is open inside, say); a "</p>" at -1
    // makes an empty paragraph.
    void endBlock(std::uint8_t tag, std::int32_t depth, std::size_t from, std::size_t to);

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
        bool tableBody = false;  // a table, row group or row
        std::size_t formatting = 0;  // the formatting elements remembered when it began
        RTHTMLEdits::Place place{};  // a table's: where it begins
    };
    // Where the tag being handled begins: elements it ends are ended there.
    std::size_t at_ = 0;
    std::vector<OpenBlock> stack_;
    bool quirks_ = true;
    std::array<std::int32_t, 64> innermost_;  // by tag, the depth of the innermost one open, -1 when none
    // Elements in line open as a browser has them open, of no concern otherwise (span, label, ruby, select,
    // noscript...), at most MaximumInlineElements; each ends with the held element it began in.
    struct OpenInline {
        std::string_view name;   // as written
        std::uint32_t depth;     // the number of held elements open when it began
        std::uint32_t formatting;  // the formatting elements remembered then
        std::uint8_t tag;        // a select or noscript is one past which no end tag of another reaches
        bool readerOpen;         // not yet ended in the reader's input by formatting around it
        std::uint32_t number;    // in the order they began
    };
    std::vector<OpenInline> inline_;
    std::uint32_t inlineCount_ = 0;  // the elements in line begun so far, which numbers them
    // The depth from which elements in line went unrecorded (the list was full), else SIZE_MAX: an end tag there
    // may end one, so it is left alone.
    std::size_t inlineUnrecordedFrom_ = SIZE_MAX;
    static constexpr std::size_t MaximumInlineElements = 64;
};

}  // namespace ql
