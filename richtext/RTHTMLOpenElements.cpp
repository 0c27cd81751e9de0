#include "richtext/RTHTMLOpenElements.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <utility>

#include "platform/foundation/Text.h"
#include "richtext/RTHTMLBlanks.h"
#include "richtext/RTHTMLNameTable.h"

namespace ql {

namespace {

// The tags the repair tells apart; every other tag is an inline element of no concern.
enum Tag : std::uint8_t {
    Other,
    // Blocks, held for their scopes (one bit each in sets of tags); each closes an open p where it starts.
    Address, Article, Aside, Blockquote, Center, Details, Dialog, Dir, Div, Dl, Fieldset, Figcaption, Figure,
    Footer, Form, Header, Hgroup, Listing, Main, Menu, Nav, Ol, P, Plaintext, Pre, Search, Section, Summary, Ul,
    Xmp, H1, H2, H3, H4, H5, H6, Li, Dd, Dt,
    // Table elements, held for their scopes, and left nested.
    Table, Caption, Tbody, Thead, Tfoot, Tr, Td, Th,
    // Inline elements that bound scopes, as a cell does (a button only a p's).
    Applet, Marquee, Object, Button,
    Held,
    // A block with no content, and the ends of the document.
    Hr = Held, Body, Html,
    // Formatting elements.
    A, B, Big, Code, Em, Font, I, Nobr, S, Small, Strike, Strong, Tt, U,
    // From here to Noscript, elements before which a browser opens none of the formatting it ended again.
    // Elements with contents that are no markup (their text is their own: no formatting opens again in a textarea).
    Script, Style, Textarea, Iframe, Noembed, Noframes,
    // Elements a browser reads as it would in the document's head, and what a noscript element there may hold
    // (link, meta, basefont and bgsound elements; style sheets and noframes apart).
    Quiet, Head, Title, HeadMeta,
    // Parts of tables that hold no text, and of documents of frames.
    Col, Colgroup, Frameset, Frame,
    // Parts of ruby (rb, rp, rt, rtc) and of media (param, source, track).
    Part,
    // Elements in line told apart, before which formatting opens again as before any other: a noscript element
    // (markup to a browser that runs no scripts; the head's is followed apart), SVG and MathML.
    Noscript, Svg, Math,
    // An element in line that an end tag of another does not reach past, as a block does not.
    Select,
};

constexpr bool isFormatting(std::uint8_t tag) { return tag >= A && tag <= U; }
constexpr bool isBlock(std::uint8_t tag) { return (tag >= Address && tag <= Dt) || tag == Hr; }
constexpr bool isHeld(std::uint8_t tag) { return tag >= Address && tag < Held; }
constexpr bool isMarker(std::uint8_t tag) { return tag == Caption || tag == Td || tag == Th || (tag >= Applet && tag <= Object); }
constexpr bool isHeading(std::uint8_t tag) { return tag >= H1 && tag <= H6; }
// The held elements whose end tags a browser implies before a form's end tag.
constexpr bool isImplied(std::uint8_t tag) { return tag == P || tag == Li || tag == Dd || tag == Dt; }
constexpr bool isTablePart(std::uint8_t tag) { return (tag >= Caption && tag <= Th) || tag == Col || tag == Colgroup; }
// Where a table's own text goes: directly in it, its row groups or rows, outside cells and captions.
constexpr bool isTableBody(std::uint8_t tag) { return tag == Table || (tag >= Tbody && tag <= Tr); }
// An element in line past which an end tag of another does not reach: a select, or a noscript element.
constexpr bool boundsEndTags(std::uint8_t tag) { return tag == Select || tag == Noscript; }

// The formatting elements' names by their tags, as the repair writes their end tags.
constexpr std::string_view FormattingNames[] = {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small",
                                                 "strike", "strong", "tt", "u"};
static_assert(U - A + 1 == std::size(FormattingNames));
constexpr std::string_view formattingName(std::uint8_t tag) { return FormattingNames[tag - A]; }

constexpr RTHTMLNameTable<8>::Entry TagEntries[] = {
    {"a", A},         {"address", Address}, {"applet", Applet}, {"article", Article}, {"aside", Aside},   {"b", B},
    {"button", Button}, {"marquee", Marquee}, {"object", Object},
    {"base", Quiet},  {"basefont", HeadMeta}, {"bgsound", HeadMeta}, {"big", Big},         {"blockquote", Blockquote}, {"body", Body}, {"caption", Caption},
    {"col", Col},     {"colgroup", Colgroup}, {"frame", Frame},   {"frameset", Frameset},
    {"center", Center}, {"code", Code},     {"dd", Dd},           {"details", Details}, {"dialog", Dialog},
    {"dir", Dir},     {"div", Div},         {"dl", Dl},           {"dt", Dt},         {"em", Em},
    {"fieldset", Fieldset}, {"figcaption", Figcaption}, {"figure", Figure}, {"font", Font}, {"footer", Footer},
    {"form", Form},   {"h1", H1},           {"h2", H2},           {"h3", H3},         {"h4", H4},
    {"h5", H5},       {"h6", H6},           {"head", Head},      {"header", Header}, {"hgroup", Hgroup},
    {"hr", Hr},       {"html", Html},       {"i", I},             {"li", Li},         {"link", HeadMeta},
    {"listing", Listing}, {"main", Main},   {"menu", Menu},       {"meta", HeadMeta},    {"nav", Nav},
    {"nobr", Nobr},   {"noscript", Noscript},  {"ol", Ol},           {"p", P},           {"plaintext", Plaintext},
    {"pre", Pre},     {"s", S},             {"script", Script},   {"search", Search}, {"section", Section},
    {"small", Small}, {"strike", Strike},   {"strong", Strong},   {"style", Style},   {"summary", Summary},
    {"table", Table}, {"tbody", Tbody},     {"td", Td},           {"template", Quiet}, {"tfoot", Tfoot},
    {"th", Th},       {"thead", Thead},     {"title", Title},     {"tr", Tr},         {"tt", Tt},
    {"u", U},         {"ul", Ul},           {"xmp", Xmp},         {"textarea", Textarea}, {"iframe", Iframe},
    {"noembed", Noembed}, {"noframes", Noframes}, {"svg", Svg},   {"math", Math},     {"select", Select},
    {"rb", Part},     {"rp", Part},         {"rt", Part},         {"rtc", Part},      {"param", Part},
    {"source", Part}, {"track", Part},
};
constexpr RTHTMLNameTable<8> TagTable{TagEntries};

// The held elements' names by their tags, as the repair writes their end tags.
constexpr auto HeldNames = [] {
    std::array<std::string_view, Held> names{};
    for (const auto& entry : TagEntries) {
        if (entry.value < Held) names[entry.value] = entry.name;
    }
    return names;
}();

// The tags of RTHTMLKeepOpenTag as the repair writes them: constants, with nothing to make or destroy (the
// assertions keep them in step with the name).
constexpr std::string_view KeepOpenStart = "<ql-keep-open>";
constexpr std::string_view KeepOpenEnd = "</ql-keep-open>";
constexpr std::string_view KeepOpenParagraph = "<ql-keep-open><p>";
static_assert(KeepOpenStart.starts_with('<') && KeepOpenStart.ends_with('>') &&
              KeepOpenStart.substr(1, KeepOpenStart.size() - 2) == RTHTMLKeepOpenTag);
static_assert(KeepOpenEnd.starts_with("</") && KeepOpenEnd.substr(2) == KeepOpenStart.substr(1));
static_assert(KeepOpenParagraph.starts_with(KeepOpenStart) && KeepOpenParagraph.substr(KeepOpenStart.size()) == "<p>");

// A start tag's attributes as written: what follows its name, without the blanks around it and the ">".
std::string_view attributesOf(std::string_view tag) {
    std::size_t from = 1;
    while (from < tag.size() && !RTHTMLIsBlank(tag[from]) && tag[from] != '/' && tag[from] != '>') ++from;
    std::size_t to = tag.size();
    if (to > from && tag[to - 1] == '>') --to;
    if (to > from && tag[to - 1] == '/') --to;
    while (from < to && RTHTMLIsBlank(tag[from])) ++from;
    while (to > from && RTHTMLIsBlank(tag[to - 1])) --to;
    return tag.substr(from, to - from);
}

constexpr std::uint64_t bit(std::uint8_t tag) { return std::uint64_t{1} << tag; }

// By the tag of the element the reader is in, the start tags at which it ends that element where a browser
// keeps it open around the new one: lists nested without items, blocks in preformatted text and headings.
// (A p it ends at a table in quirks mode, and in a heading, is handled apart.)
constexpr auto ReaderEndsAt = [] {
    std::array<std::uint64_t, Held> ends{};
    const std::uint64_t definitions = bit(Dd) | bit(Dl) | bit(Dt);
    ends[Menu] = ends[Dir] = definitions | bit(Form) | bit(Ul);
    ends[Ol] = bit(Form) | bit(Ul);
    ends[Ul] = bit(Address) | bit(Form) | bit(Menu) | bit(Ol) | bit(Pre);
    ends[Pre] = ends[Listing] = definitions | bit(Fieldset) | bit(Form) | bit(Li) | bit(Ul) | bit(Table);
    for (std::uint8_t heading = H1; heading <= H6; ++heading) ends[heading] = bit(Fieldset) | bit(Form) | bit(Li) | bit(Table);
    ends[Dl] = bit(Form) | bit(Li);
    ends[Address] = definitions | bit(Form) | bit(Li) | bit(Ul);
    // (An item a browser keeps open around another: where a table between them bounds the item's reach.)
    ends[Li] = bit(Li);
    ends[Dd] = ends[Dt] = definitions;
    return ends;
}();

// What an end tag or a start that closes an element does not reach past: a cell's or a caption's content
// stays inside them, and a table's parts inside their table.
constexpr std::uint64_t DefaultScope = bit(Table) | bit(Caption) | bit(Td) | bit(Th) | bit(Applet) | bit(Marquee) | bit(Object);
constexpr std::uint64_t ButtonScope = DefaultScope | bit(Button);
constexpr std::uint64_t ListItemScope = DefaultScope | bit(Ol) | bit(Ul);
// What an item's start tag does not end an item past: any held element but address, div and p.
constexpr std::uint64_t ItemStartScope = ((std::uint64_t{1} << Held) - 1) & ~(bit(Other) | bit(Address) | bit(Div) | bit(P));
constexpr std::uint64_t TableScope = bit(Table);
constexpr std::uint64_t Headings = bit(H1) | bit(H2) | bit(H3) | bit(H4) | bit(H5) | bit(H6);
constexpr std::uint64_t Cells = bit(Td) | bit(Th);
constexpr std::uint64_t Definitions = bit(Dd) | bit(Dt);
static_assert(Held <= 64, "held tags are sets of bits");

}  // namespace

RTHTMLOpenElements::RTHTMLOpenElements(std::string_view source, RTHTMLEdits& edits)
    : source_(source), edits_(edits), reopenBudget_(std::max<std::size_t>(source.size(), 64 * 1024)) {
    innermost_.fill(-1);
}

void RTHTMLOpenElements::clearToLastMarker() {
    const std::size_t kept = segment_ > 0 ? segment_ - 1 : 0;
    for (std::size_t at = kept; at < active_.size(); ++at) forgotten_ -= active_[at].forgotten;
    active_.resize(kept);
    segment_ = active_.size();
    while (segment_ > 0 && active_[segment_ - 1].tag != Other) --segment_;
    // The formatting around the table, as the cell found it.
    reopenFrom_ = segment_;
    while (reopenFrom_ < active_.size() && active_[reopenFrom_].open) ++reopenFrom_;
}

void RTHTMLOpenElements::closeOpenFormatting(std::size_t at, std::size_t depth) {
    std::size_t first = segment_;
    // A table ends no formatting where it starts: what the reader has open around one stays open inside it, and
    // around what goes before it.
    const std::int32_t table = innermost_[Table];
    if (table >= 0 && static_cast<std::size_t>(table) < std::min(depth, stack_.size()))
        first = std::max(first, stack_[static_cast<std::size_t>(table)].formatting);
    closeFormattingFrom(first, at);
}

void RTHTMLOpenElements::closeFormattingFrom(std::size_t first, std::size_t at) {
    if (first >= reopenFrom_) return;
    written_.clear();
    for (std::size_t entry = reopenFrom_; entry-- > first;) {
        RTHTMLAppendEndTag(written_, formattingName(active_[entry].tag));
        active_[entry].open = false;
    }
    reopenFrom_ = first;
    edits_.insert(at, written_);
    dropClosedForgotten();
    // The elements in line opened inside those end with them in the reader, not in a browser.
    for (std::size_t entry = inline_.size(); entry-- > 0 && inline_[entry].depth == stack_.size() && inline_[entry].formatting > first;)
        inline_[entry].readerOpen = false;
}

void RTHTMLOpenElements::dropClosedForgotten() {
    if (forgotten_ == 0) [[likely]]
        return;
    // Closed entries all come at or after `reopenFrom_`, so no index kept elsewhere moves.
    forgotten_ -= std::erase_if(active_, [](const Active& entry) { return entry.forgotten && !entry.open; });
}

bool RTHTMLOpenElements::identical(const Active& a, const Active& b) const {
    return a.tag == b.tag && attributesOf(startTagText(a)) == attributesOf(startTagText(b));
}

void RTHTMLOpenElements::forgetBeyondThreeIdentical(const Active& entry) {
    std::size_t identicals = 0;
    std::size_t earliest = 0;
    for (std::size_t at = segment_; at < active_.size(); ++at) {
        if (active_[at].forgotten || active_[at].tag != entry.tag || !identical(active_[at], entry)) continue;
        if (identicals++ == 0) earliest = at;
    }
    if (identicals < 3) return;
    if (active_[earliest].open) {
        // Still in effect where it is; the reader ends it with its block.
        active_[earliest].forgotten = true;
        ++forgotten_;
    } else {
        active_.erase(active_.begin() + static_cast<std::ptrdiff_t>(earliest));
    }
}

void RTHTMLOpenElements::reopen(std::size_t at) {
    if (reopenFrom_ >= active_.size()) [[likely]]
        return;
    written_.clear();
    for (std::size_t entry = reopenFrom_; entry < active_.size(); ++entry) written_ += startTagText(active_[entry]);
    if (written_.size() > reopenBudget_) {
        // Spent: what was to open again is forgotten, as the reader would have had it.
        active_.resize(reopenFrom_);
        return;
    }
    reopenBudget_ -= written_.size();
    reopenedByBrowser();
    for (std::size_t entry = reopenFrom_; entry < active_.size(); ++entry) active_[entry].open = true;
    reopenFrom_ = active_.size();
    edits_.insert(at, written_);
}

void RTHTMLOpenElements::reopenedByBrowser() {
    // A browser opens again what it ended after the last it still has open; the others the repair opens as copies
    // of what a browser has open further out.
    std::size_t reopened = active_.size();
    while (reopened > segment_ && active_[reopened - 1].depth == Ended) --reopened;
    for (std::size_t entry = reopened; entry < active_.size(); ++entry) {
        active_[entry].depth = static_cast<std::uint32_t>(stack_.size());
        active_[entry].inlineFrom = inlineCount_;
    }
}

void RTHTMLOpenElements::text(std::size_t at) { reopen(at); }

void RTHTMLOpenElements::blankText() {
    if (!selectOpenInside()) reopenedByBrowser();
}

bool RTHTMLOpenElements::tracksInline(std::uint8_t tag) { return tag == Other || tag == Part || tag == Select || tag == Noscript; }

void RTHTMLOpenElements::startInline(std::uint8_t tag, std::string_view name) {
    if (inline_.size() == MaximumInlineElements) [[unlikely]] {
        inlineUnrecordedFrom_ = std::min(inlineUnrecordedFrom_, stack_.size());
        return;
    }
    inline_.push_back({name, static_cast<std::uint32_t>(stack_.size()), static_cast<std::uint32_t>(active_.size()), tag, true, inlineCount_++});
}

void RTHTMLOpenElements::endInline(std::string_view name, std::size_t from, std::size_t to) {
    const std::size_t depth = stack_.size();
    if (inlineUnrecordedFrom_ <= depth) [[unlikely]]
        return;
    for (std::size_t entry = inline_.size(); entry-- > 0 && inline_[entry].depth == depth;) {
        if (ns::equalsIgnoringASCIICase(inline_[entry].name, name)) {
            // The formatting elements opened inside it end with it in the reader; a browser keeps them in effect,
            // so they open again before the next text.
            const std::size_t formatting = std::max<std::size_t>(inline_[entry].formatting, segment_);
            closeFormattingFrom(formatting, from);
            endedByBrowser(formatting);
            // One the reader ended already (with formatting around it) would end another of the name further out.
            if (!inline_[entry].readerOpen) edits_.remove(from, to);
            inline_.resize(entry);
            return;
        }
        if (boundsEndTags(inline_[entry].tag)) break;
    }
    // A browser ignores it: a block (or a select or noscript) was opened inside the element; the reader would
    // end the block with it.
    edits_.remove(from, to);
}

std::uint8_t RTHTMLOpenElements::tagNamed(std::string_view name) { return TagTable.find(name, true); }
bool RTHTMLOpenElements::isFormattingTag(std::uint8_t tag) { return isFormatting(tag); }
bool RTHTMLOpenElements::isBlockTag(std::uint8_t tag) { return isBlock(tag); }
RTHTMLOpenElements::StartTagTraits RTHTMLOpenElements::startTagTraits(std::uint8_t tag) {
    static constexpr auto ByTag = [] {
        std::array<StartTagTraits, 256> table{};
        for (std::size_t tag = 0; tag < table.size(); ++tag) {
            StartTagTraits& traits = table[tag];
            switch (tag) {
            case Script: traits.contents = RTHTMLRawContents::Script; break;
            case Style: traits.contents = RTHTMLRawContents::Kept; break;
            case Iframe:
            case Noembed:
            case Noframes: traits.contents = RTHTMLRawContents::Hidden; break;
            case Xmp: traits.contents = RTHTMLRawContents::Text; break;
            case Textarea:
            case Title: traits.contents = RTHTMLRawContents::TextWithReferences; break;
            case Plaintext: traits.contents = RTHTMLRawContents::TextToTheEnd; break;
            default: break;
            }
            traits.opensForeignContent = tag == Svg || tag == Math;
            traits.dropsLeadingNewline = tag == Pre || tag == Listing || tag == Textarea;
            traits.endsParagraphInReader = tag == Title;
            const bool quiet = tag == Quiet || tag == Noscript || tag == HeadMeta;
            traits.belongsInHead = tag == Script || tag == Style || quiet || tag == Head || tag == Title || tag == Noframes;
            traits.isNoscript = tag == Noscript;
            traits.staysInHeadNoscript = tag == HeadMeta || tag == Style || tag == Noframes;
            traits.ignoredInBody = tag == Head || tag == Body || tag == Frameset || tag == Frame;
            traits.isTablePart = isTablePart(tag);
            traits.endsTableText = isTablePart(tag) || tag == Table;
            traits.staysInTable = traits.endsTableText || tag == Script || tag == Style || quiet || tag == Form;
            traits.isForm = tag == Form;
            traits.isHtml = tag == Html;
            traits.isBody = tag == Body;
            traits.isParagraph = tag == P;
        }
        return table;
    }();
    return ByTag[tag];
}

bool RTHTMLOpenElements::paragraphOpen() const { return innermost_[P] >= 0; }

bool RTHTMLOpenElements::paragraphInScope() const { return inScope(bit(P), ButtonScope) >= 0; }

bool RTHTMLOpenElements::tableOpen() const { return innermost_[Table] >= 0; }

bool RTHTMLOpenElements::formIsCurrent() const {
    // Past the elements whose end tags a form's end tag implies (a few at most, to bound the search), each the
    // current element once those inside it end.
    constexpr std::size_t Implied = 8;
    for (std::size_t depth = stack_.size(); depth-- > 0 && stack_.size() - depth <= Implied;) {
        if (anythingOpenIn(depth + 1)) return false;
        const std::uint8_t tag = stack_[depth].tag;
        if (tag == Form) return true;
        if (!isImplied(tag)) return false;
    }
    return false;
}

RTHTMLEdits::Place& RTHTMLOpenElements::tablePlace() { return stack_[static_cast<std::size_t>(innermost_[Table])].place; }

bool RTHTMLOpenElements::openSince(const MoveStart& start, std::uint8_t tag) const {
    if (isHeld(tag)) return innermost_[tag] >= static_cast<std::int32_t>(start.depth);
    for (std::size_t entry = std::max(start.formatting, segment_); entry < active_.size(); ++entry) {
        if (active_[entry].tag == tag && active_[entry].open) return true;
    }
    return false;
}

bool RTHTMLOpenElements::formattingOpenSince(const MoveStart& start) const {
    // As a browser has them open: a copy the repair opened again for the reader stands for one a browser has open
    // around the table.
    for (std::size_t entry = std::max(start.formatting, segment_); entry < active_.size(); ++entry) {
        if (active_[entry].depth != Ended && active_[entry].depth >= start.depth) return true;
    }
    return false;
}

void RTHTMLOpenElements::endMove(const MoveStart& start, std::size_t at) {
    at_ = at;
    closeFormattingFrom(std::max(start.formatting, segment_), at);
    // A browser ends what it opened before the table with the table's part or end; what it has open around the table
    // stays open.
    endedByBrowser(std::max(start.formatting, segment_), start.depth);
    if (stack_.size() > start.depth) popThrough(start.depth);
}

bool RTHTMLOpenElements::startTag(std::uint8_t tag, std::size_t from, std::size_t to, std::string_view text, bool selfClosing,
                                  bool beforeBlock) {
    at_ = from;
    if (tag == Other || tag >= Noscript) {
        reopen(from);
        return false;
    }
    if (isFormatting(tag)) {
        // A link inside a link, or a nobr inside a nobr, ends the outer one first.
        if (tag == A || tag == Nobr) endFormatting(tag, from, from, true);
        if (selfClosing || active_.size() - segment_ >= MaximumFormattingElements) {
            reopen(from);
            return false;
        }
        Active entry{tag, !beforeBlock, -1, from, to - from, false, static_cast<std::uint32_t>(stack_.size()), inlineCount_};
        if (text.data() != source_.data() + from) {
            entry.rewritten = static_cast<std::int32_t>(rewrittenTags_.size());
            rewrittenTags_.emplace_back(text);
        }
        if (beforeBlock) {
            // Active, to be opened inside the block. A browser opens what it ended again before it all the same,
            // around the block.
            edits_.remove(from, to);
            reopenedByBrowser();
            forgetBeyondThreeIdentical(entry);
            active_.push_back(std::move(entry));
            return true;
        }
        reopen(from);
        forgetBeyondThreeIdentical(entry);
        active_.push_back(std::move(entry));
        reopenFrom_ = active_.size();
        return false;
    }
    if (isBlock(tag)) {
        closeOpenFormatting(from);
        startBlock(tag);
        // An xmp holds text alone: a browser opens the formatting it ended again around it, as around text.
        if (tag == Xmp) reopenedByBrowser();
        const bool keptOpen = tag == P && !stack_.empty() && isHeading(stack_.back().tag);
        if (keptOpen || readerEnds(tag)) edits_.insert(from, KeepOpenStart);
        if (!selfClosing && isHeld(tag)) push(tag, keptOpen);
        return false;
    }
    if (tag == Col || tag == Colgroup) {
        clearToTableContext();
        return false;
    }
    if (isHeld(tag)) {
        // Formatting around a button opens again inside it, as copies: the reader would end the button with the
        // formatting's end tag inside it, where a browser keeps the button and what it holds open.
        if (tag == Button) closeOpenFormatting(from);
        if (tag == Table) startTable(from);
        else startBlock(tag);
        if (tag == Button) reopenedByBrowser();
        else if (tag >= Applet) reopen(from);
        if (selfClosing) return false;
        push(tag);
        if (tag == Table) stack_.back().place = edits_.placeOf(from);
        if (isMarker(tag)) {
            active_.push_back(Active{});
            segment_ = reopenFrom_ = active_.size();
        }
        return false;
    }
    // The ends of the document and what a browser reads as part of its head open nothing again.
    return false;
}

void RTHTMLOpenElements::endTag(std::uint8_t tag, std::string_view name, std::size_t from, std::size_t to) {
    if (tracksInline(tag)) {
        endInline(name, from, to);
        return;
    }
    // Most end tags end the element opened last: a formatting element, or a block with no formatting open in it.
    at_ = from;
    if (!active_.empty() && active_.back().tag == tag && reopenFrom_ == active_.size()) {
        if (active_.back().forgotten) --forgotten_;
        endedWithFormatting(active_.size() - 1);
        active_.pop_back();
        reopenFrom_ = active_.size();
        return;
    }
    if (!stack_.empty() && stack_.back().tag == tag && reopenFrom_ <= segment_ && !inlineOpenInside()) [[likely]] {
        popThrough(stack_.size() - 1);
        return;
    }
    if (isFormatting(tag)) {
        endFormatting(tag, from, to, false);
        return;
    }
    if (!isHeld(tag)) {
        if (tag == Body || tag == Html) closeOpenFormatting(from, 0);
        return;
    }
    const std::int32_t depth = reachOf(tag);
    if ((depth < 0 && tag != P) || (isBlock(tag) && selectOpenInside())) {
        // A browser ignores it: no element of the name is in scope, or a select (which holds only options) is
        // open inside the current element. Nothing ends, the formatting in effect neither.
        edits_.remove(from, to);
        return;
    }
    // (The empty paragraph a "</p>" makes in a table goes before the table, inside the formatting around it.)
    if (isBlock(tag) && !(depth < 0 && inTableBody())) closeOpenFormatting(from, depth < 0 ? stack_.size() : static_cast<std::size_t>(depth));
    endBlock(tag, depth, from, to);
}

std::int32_t RTHTMLOpenElements::reachOf(std::uint8_t tag) const {
    if (tag == P) return inScope(bit(P), ButtonScope);
    if (tag == Li) return inScope(bit(Li), ListItemScope);
    // Any heading's end tag ends the open heading.
    if (isHeading(tag)) return inScope(Headings, DefaultScope);
    return inScope(bit(tag), isTablePart(tag) || tag == Table ? TableScope : DefaultScope);
}

bool RTHTMLOpenElements::endTagReaches(std::uint8_t tag) const { return isHeld(tag) && reachOf(tag) >= 0; }

bool RTHTMLOpenElements::selectOpenInside() const {
    for (std::size_t entry = inline_.size(); entry-- > 0 && inline_[entry].depth == stack_.size();) {
        if (inline_[entry].tag == Select) return true;
    }
    return false;
}

void RTHTMLOpenElements::endFormLeftOpen(std::size_t at) {
    at_ = at;
    const std::int32_t form = reachOf(Form);
    if (form < 0) return;
    std::size_t depth = stack_.size();
    while (depth > static_cast<std::size_t>(form) + 1 && isImplied(stack_[depth - 1].tag) && !anythingOpenIn(depth)) --depth;
    popThrough(depth, true);
    // Deeper inside, the form stays in the record (as the reader keeps it), so that no input makes every end tag
    // move what is open above it.
    if (stack_.size() - static_cast<std::size_t>(form) <= MaximumInsideRemovedForm) removeHeld(static_cast<std::size_t>(form));
}

void RTHTMLOpenElements::removeHeld(std::size_t depth) {
    const OpenBlock removed = stack_[depth];
    stack_.erase(stack_.begin() + static_cast<std::ptrdiff_t>(depth));
    const auto shifted = [depth](auto& inside) {
        if (inside > depth) --inside;
    };
    for (std::size_t above = depth; above < stack_.size(); ++above) {
        if (stack_[above].outer == static_cast<std::int32_t>(depth)) stack_[above].outer = removed.outer;
        else if (stack_[above].outer > static_cast<std::int32_t>(depth)) --stack_[above].outer;
    }
    for (std::int32_t& innermost : innermost_) {
        if (innermost == static_cast<std::int32_t>(depth)) innermost = removed.outer;
        else if (innermost > static_cast<std::int32_t>(depth)) --innermost;
    }
    // What began inside it is now in the element around it (formatting before the last marker began outside).
    for (std::size_t entry = segment_; entry < active_.size(); ++entry) {
        if (active_[entry].depth != Ended) shifted(active_[entry].depth);
    }
    for (OpenInline& element : inline_) shifted(element.depth);
    if (inlineUnrecordedFrom_ != SIZE_MAX) shifted(inlineUnrecordedFrom_);
}

void RTHTMLOpenElements::endFormatting(std::uint8_t tag, std::size_t from, std::size_t to, bool synthesized) {
    const std::size_t first = segment_;
    // The last of the name the repair remembers, else the last it forgot.
    const auto find = [&](bool forgotten) {
        std::size_t entry = active_.size();
        while (entry > first && (active_[entry - 1].tag != tag || active_[entry - 1].forgotten != forgotten)) --entry;
        return entry;
    };
    std::size_t entry = find(false);
    if (entry == first && forgotten_ > 0) entry = find(true);
    if (entry == first) {
        // Nothing of the name is open: the reader would drop the end tag anyway.
        if (!synthesized) edits_.remove(from, to);
        return;
    }
    --entry;
    if (active_[entry].open) {
        written_.clear();
        for (std::size_t inner = reopenFrom_; inner-- > entry + 1;) {
            RTHTMLAppendEndTag(written_, formattingName(active_[inner].tag));
            active_[inner].open = false;
        }
        if (synthesized) RTHTMLAppendEndTag(written_, formattingName(tag));
        if (!written_.empty()) edits_.insert(from, written_);
        reopenFrom_ = entry;
    } else if (!synthesized) {
        edits_.remove(from, to);
    }
    if (active_[entry].forgotten) --forgotten_;
    endedWithFormatting(entry);
    active_.erase(active_.begin() + static_cast<std::ptrdiff_t>(entry));
    if (reopenFrom_ > active_.size()) reopenFrom_ = active_.size();
    dropClosedForgotten();
}

void RTHTMLOpenElements::push(std::uint8_t tag, bool keptOpen) {
    stack_.push_back({tag, innermost_[tag], keptOpen, isTableBody(tag), active_.size()});
    innermost_[tag] = static_cast<std::int32_t>(stack_.size() - 1);
}

const std::string& RTHTMLOpenElements::heldEndTag(std::uint8_t tag) {
    written_.clear();
    RTHTMLAppendEndTag(written_, HeldNames[tag]);
    return written_;
}

void RTHTMLOpenElements::popThrough(std::size_t depth, bool tellReader) {
    while (stack_.size() > depth) {
        const OpenBlock held = stack_.back();
        stack_.pop_back();
        innermost_[held.tag] = held.outer;
        if (tellReader) edits_.insert(at_, heldEndTag(held.tag));
        if (held.keptOpen) edits_.insert(at_, KeepOpenEnd);
        if (isMarker(held.tag)) clearToLastMarker();
    }
    // The elements in line and formatting elements a browser opened inside those end with them.
    while (!inline_.empty() && inline_.back().depth > stack_.size()) inline_.pop_back();
    endedByBrowser(segment_, stack_.size() + 1);
    if (stack_.size() < inlineUnrecordedFrom_) inlineUnrecordedFrom_ = SIZE_MAX;
}

std::int32_t RTHTMLOpenElements::deepest(std::uint64_t tags) const {
    std::int32_t depth = -1;
    for (; tags != 0; tags &= tags - 1) depth = std::max(depth, innermost_[static_cast<std::size_t>(std::countr_zero(tags))]);
    return depth;
}

std::int32_t RTHTMLOpenElements::inScope(std::uint64_t tags, std::uint64_t boundaries) const {
    const std::int32_t depth = deepest(tags);
    return depth >= 0 && deepest(boundaries & ~tags) < depth ? depth : -1;
}

bool RTHTMLOpenElements::anythingOpenIn(std::size_t level) const {
    for (std::size_t entry = inline_.size(); entry-- > 0 && inline_[entry].depth >= level;) {
        if (inline_[entry].depth == level) return true;
    }
    for (std::size_t entry = segment_; entry < active_.size(); ++entry) {
        if (active_[entry].depth == level) return true;
    }
    return false;
}

void RTHTMLOpenElements::endedWithFormatting(std::size_t entry) {
    // A browser ends what was opened after it in the innermost held element with it: formatting, to open again,
    // and elements in line. Where it is open further out, blocks began inside it; the browser moves them out of it
    // and a copy of it into them, down to the innermost, where that copy ends with what follows it. The elements in
    // line between it and those blocks it takes out of its elements open.
    if (active_[entry].depth == Ended) return;
    endedByBrowser(entry + 1, stack_.size());
    // So none of the elements in line that began inside it stays open, but a select or noscript, moved as a block.
    auto inside = inline_.end();
    while (inside != inline_.begin() && std::prev(inside)->number >= active_[entry].inlineFrom) --inside;
    inline_.erase(std::remove_if(inside, inline_.end(), [](const OpenInline& element) { return !boundsEndTags(element.tag); }), inline_.end());
}

void RTHTMLOpenElements::endedByBrowser(std::size_t first, std::size_t depth) {
    for (std::size_t entry = first; entry < active_.size(); ++entry) {
        if (active_[entry].depth != Ended && active_[entry].depth >= depth) active_[entry].depth = Ended;
    }
}

void RTHTMLOpenElements::closeParagraph() { endAndTellReader(inScope(bit(P), ButtonScope)); }

void RTHTMLOpenElements::startTable(std::size_t from) {
    // A table directly in a table ends it first, where the reader would nest the two.
    if (inTableBody()) {
        edits_.insert(from, "</table>");
        popThrough(static_cast<std::size_t>(innermost_[Table]));
    }
    const bool inParagraph = paragraphInScope();
    if (inParagraph && !quirks_) {
        closeOpenFormatting(from);
        closeParagraph();
    }
    if ((inParagraph && quirks_) || readerEnds(Table)) {
        // The reader would end the paragraph (in quirks mode), heading, pre, listing or link it is in at the
        // table, where a browser keeps them open around it.
        edits_.insert(from, KeepOpenStart);
    }
}

bool RTHTMLOpenElements::readerEnds(std::uint8_t tag) const {
    // What starts directly in a table goes before it, into the element the table is in.
    const std::int32_t current = inTableBody() ? innermost_[Table] - 1 : static_cast<std::int32_t>(stack_.size()) - 1;
    if (current >= 0 && (ReaderEndsAt[stack_[static_cast<std::size_t>(current)].tag] & bit(tag))) return true;
    if (tag != Table) return false;
    for (std::size_t entry = segment_; entry < reopenFrom_; ++entry) {
        if (active_[entry].tag == A) return true;
    }
    return false;
}

void RTHTMLOpenElements::endAndTellReader(std::int32_t depth) {
    if (depth >= 0) popThrough(static_cast<std::size_t>(depth), true);
}

void RTHTMLOpenElements::clearToTableContext() {
    const std::int32_t table = inScope(bit(Table), TableScope);
    if (table >= 0) endAndTellReader(table + 1);
}

void RTHTMLOpenElements::startBlock(std::uint8_t tag) {
    if (isBlock(tag) && innermost_[P] >= 0) endAndTellReader(inScope(bit(P), ButtonScope));
    // Parts of a table end those they cannot go in, as a browser ends them; the reader would nest some.
    if (tag == Li) endAndTellReader(itemInReach(inScope(bit(Li), ItemStartScope)));
    else if (tag == Dd || tag == Dt) endAndTellReader(itemInReach(inScope(Definitions, ItemStartScope)));
    // A heading ends a heading that is the current element: no formatting or other element in line is open in it.
    else if (isHeading(tag) && !stack_.empty() && isHeading(stack_.back().tag) && !anythingOpenIn(stack_.size()))
        endAndTellReader(static_cast<std::int32_t>(stack_.size()) - 1);
    else if (tag == Td || tag == Th) endAndTellReader(inScope(Cells, TableScope));
    // A button ends a button, where the reader would nest them.
    else if (tag == Button) endAndTellReader(inScope(bit(Button), DefaultScope));
    else if (tag == Tr) {
        // The row it is in or, where the browser implies the row, the cell.
        const std::int32_t row = inScope(bit(Tr), TableScope);
        endAndTellReader(row >= 0 ? row : inScope(Cells, TableScope));
    }
    else if (tag == Tbody || tag == Thead || tag == Tfoot || tag == Caption) clearToTableContext();
}

std::int32_t RTHTMLOpenElements::itemInReach(std::int32_t depth) const {
    // A browser looks for the item from the current element outwards and stops at a select or noscript element.
    for (std::size_t entry = inline_.size(); depth >= 0 && entry-- > 0 && inline_[entry].depth > static_cast<std::size_t>(depth);) {
        if (boundsEndTags(inline_[entry].tag)) return -1;
    }
    return depth;
}

void RTHTMLOpenElements::endBlock(std::uint8_t tag, std::int32_t depth, std::size_t from, std::size_t to) {
    if (depth < 0) {
        // A browser makes an empty paragraph of a "</p>" with no p open (kept in a heading, as above).
        edits_.insert(from, !stack_.empty() && isHeading(stack_.back().tag) ? KeepOpenParagraph : std::string_view("<p>"));
        return;
    }
    const auto held = static_cast<std::size_t>(depth);
    const std::uint8_t open = stack_[held].tag;
    // Formatting opened inside it ends with it (a browser keeps it in effect, to open again); the elements open
    // inside it are ended for the reader first.
    closeFormattingFrom(std::max(stack_[held].formatting, segment_), from);
    popThrough(held + 1, true);
    popThrough(held);
    // A heading's end tag ends another heading: the reader is given that one's name, or would ignore it.
    if (open != tag) edits_.replace(from, to, heldEndTag(open));
}

}  // namespace ql
