#include "richtext/RTHTMLInputRepair.h"

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Text.h"
#include "richtext/RTHTMLCharacterReferences.h"
#include "richtext/RTHTMLDoctype.h"
#include "richtext/RTHTMLEdits.h"
#include "richtext/RTHTMLForeignContent.h"
#include "richtext/RTHTMLOpenElements.h"
#include "richtext/RTHTMLRawText.h"
#include "richtext/RTHTMLTableText.h"
#include "richtext/RTLog.h"

namespace ql {

namespace {

constexpr std::string_view Replacement = "\uFFFD";
constexpr std::string_view LineBreak = "<br>";

// Classes of bytes, as the reader reads names and tags.
enum : std::uint8_t {
    Blank = 1,       // the white space of tags
    Letter = 2,
    NameStart = 4,   // letters and "_:."
    NameChar = 8,    // those, digits and "-"
    TextStop = 16,   // where a walk through text stops: markup, a reference, a NUL (also the one past the end)
    ValueStop = 32,  // where a walk through an attribute value stops: a reference, a NUL
};
constexpr std::array<std::uint8_t, 256> Classes = [] {
    std::array<std::uint8_t, 256> classes{};
    for (char c : std::string_view(" \t\n\r")) classes[static_cast<unsigned char>(c)] |= Blank;
    for (int c = 0; c < 256; ++c) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool nameStart = letter || c == '_' || c == ':' || c == '.';
        if (letter) classes[c] |= Letter;
        if (nameStart) classes[c] |= NameStart;
        if (nameStart || (c >= '0' && c <= '9') || c == '-') classes[c] |= NameChar;
    }
    classes['<'] |= TextStop;
    classes['&'] |= TextStop | ValueStop;
    classes[0] |= TextStop | ValueStop;
    return classes;
}();

bool is(char c, std::uint8_t which) { return (Classes[static_cast<unsigned char>(c)] & which) != 0; }
bool isBlank(char c) { return is(c, Blank); }
bool isLetter(char c) { return is(c, Letter); }
bool isNameStart(char c) { return is(c, NameStart); }
bool isNameChar(char c) { return is(c, NameChar); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

class Scanner {
public:
    explicit Scanner(const std::string& document)
        : bytes_(document.c_str()), size_(document.size()), source_(document), edits_(source_), open_(source_, edits_) {}

    // The repaired document, or nothing when it needs no change.
    std::optional<std::string> run() {
        while (at_ < size_) {
            if (!bodyStarted_ || open_.inTableBody() || open_.reopensBeforeText() || tableText_.moving()) [[unlikely]]
                beforeText();
            readText();
            if (at_ < size_) readMarkup();
        }
        // Moved before a table, what the document ends inside would take in the table after it.
        if (tableText_.moving()) edits_.insert(size_, unterminated_);
        tableText_.finish(size_);
        if (!edits_.changed()) return std::nullopt;
        return edits_.finish();
    }

private:
    // A change inside the tag being read: made once the repair has seen the tag, which may write before it.
    struct Change {
        std::size_t from, to;
        std::string text;
    };

    // "</" begins markup whatever follows, but for the end of the document.
    bool startsMarkup(std::size_t at) const {
        const char next = bytes_[at + 1];
        return isLetter(next) || next == '!' || next == '?' || (next == '/' && at + 2 < size_);
    }

    // What comes before the next markup: text with something to show, white space only, or nothing (NULs, which
    // the repair drops from text, aside).
    enum class Ahead { Nothing, Blanks, Text };
    Ahead textAhead() const {
        Ahead ahead = Ahead::Nothing;
        for (std::size_t at = at_; at < size_; ++at) {
            const char c = bytes_[at];
            if (c == '<') return startsMarkup(at) ? ahead : Ahead::Text;
            if (isBlank(c)) ahead = Ahead::Blanks;
            else if (c != '\0') return Ahead::Text;
        }
        return ahead;
    }

    // Before the text at at_, where the body has not begun, in a table, where formatting would open again or
    // while content goes before a table.
    void beforeText() {
        const Ahead ahead = textAhead();
        if (ahead == Ahead::Text) {
            if (!bodyStarted_) startBodyWithText();
            if (open_.inTableBody() && !foreign_.inForeignElement()) tableText_.text(at_);
            if (open_.reopensBeforeText()) open_.text(at_);
        } else if (ahead == Ahead::Blanks && bodyStarted_ && !foreign_.inForeignElement()) {
            // White space alone is text to a browser too: directly in a table it stays there (content before it
            // went before the table, but nothing of that is open), elsewhere the formatting a browser ended opens
            // again around it.
            if (tableText_.moving()) tableText_.blankText(at_);
            if (!open_.inTableBody()) open_.blankText();
        }
    }

    // Past the first `what` from `from` on, or the end of the document when none comes.
    std::size_t pastNext(std::string_view what, std::size_t from) const {
        const std::size_t found = source_.find(what, from);
        return found == std::string_view::npos ? size_ : found + what.size();
    }

    // Whether nothing but NULs (which the repair drops from text) comes from `at` on.
    bool onlyNULsFrom(std::size_t at) const {
        while (at < size_ && bytes_[at] == '\0') ++at;
        return at >= size_;
    }

    // Whether nothing but white space comes from `at` on.
    bool onlyBlanksFrom(std::size_t at) const {
        while (at < size_ && isBlank(bytes_[at])) ++at;
        return at >= size_;
    }

    // Text with something to show begins the body at at_. Right after a doctype (and comments), the reader does
    // not read text of a single byte that ends the document ("<!DOCTYPE html>5"): it is handed over as a
    // character reference.
    void startBodyWithText() {
        bodyStarted_ = true;
        endHeadNoscript(at_);
        if (!doctype_ || started_) return;
        std::size_t at = at_;
        while (isBlank(bytes_[at]) || (bytes_[at] == '\0' && at < size_)) ++at;
        const auto byte = static_cast<unsigned char>(bytes_[at]);
        if (byte >= 0x80 || byte == '<' || byte == '&' || !onlyNULsFrom(at + 1)) return;
        edits_.replace(at, at + 1, "&#" + std::to_string(byte) + ";");
    }

    // Up to the next markup (or the end).
    void readText() {
        for (;;) {
            std::size_t at = at_;
            while (!is(bytes_[at], TextStop)) ++at;
            if (at >= size_) {
                at_ = size_;
                return;
            }
            if (bytes_[at] == '\0') {
                edits_.remove(at, at + 1);
                at_ = at + 1;
            } else if (bytes_[at] == '&') {
                at_ = at + 1;
                if (auto rewrite = rewriteCharacterReference(source_.substr(at), false)) {
                    edits_.replace(at, at + rewrite->length, rewrite->replacement);
                    at_ = at + rewrite->length;
                } else if (onlyNULsFrom(at + 1)) {
                    // An "&" that ends the document is text to a browser; the reader drops it.
                    edits_.replace(at, at + 1, "&amp;");
                }
            } else if (startsMarkup(at)) {
                at_ = at;
                return;
            } else {
                // A "<" or "</" that ends the document is text to a browser; the reader drops it.
                if (at + 1 == size_ || at + 2 == size_) edits_.replace(at, at + 1, "&lt;");
                at_ = at + 1;
            }
        }
    }

    void readMarkup() {
        const char next = bytes_[at_ + 1];
        if (next == '/') return readEndTag();
        if (isLetter(next)) return readStartTag();
        if (next == '!' && bytes_[at_ + 2] == '-' && bytes_[at_ + 3] == '-') return readComment();
        if (next == '!' && foreign_.inForeignElement() && source_.substr(at_ + 2, 7) == "[CDATA[") return readCDATA();
        const std::size_t end = pastNext(">", at_ + 2);
        if (next == '?' || !isDoctype(at_ + 2)) {
            // "<![CDATA[...]]>" outside SVG and MathML, "<![if ...]>", "<![endif]>" and the like, and whatever
            // begins "<?" (a template's "<?= $name ?>", "<?xml ...?>"): a browser reads them as comments ending at
            // the first ">", where the reader would show them, or some of them, as text.
            edits_.remove(at_, end);
            at_ = end;
            return;
        }
        if (!started_ && !bodyStarted_ && !doctype_) {
            doctype_ = true;
            open_.setQuirksMode(RTHTMLDoctypeSetsQuirksMode(source_.substr(at_, end - at_)));
        }
        replaceNULs(at_, end);
        at_ = end;
    }

    void readComment() {
        const std::size_t end = RTHTMLCommentEnd(source_, at_);
        if (end == size_ && !source_.ends_with("-->") && !source_.ends_with("--!>")) unterminated_ = "-->";
        if (bytes_[at_ + 4] == '>' || (bytes_[at_ + 4] == '-' && bytes_[at_ + 5] == '>')) {
            // "<!-->" and "<!--->" are empty comments to a browser; the reader would look for a "-->" after them.
            edits_.remove(at_, end);
        } else {
            replaceNULs(at_, end);
        }
        at_ = end;
    }

    // A CDATA section inside SVG or MathML: text, to "]]>".
    void readCDATA() {
        const std::size_t from = at_ + 9;
        const std::size_t close = source_.find("]]>", from);
        const std::size_t end = close == std::string_view::npos ? size_ : close;
        edits_.remove(at_, from);
        at_ = from;
        openFormattingBefore(end);
        writeAsText(end, false);
        at_ = std::min(end + 3, size_);
        edits_.remove(end, at_);
    }

    // Before text from at_ to `end`: the formatting a browser ended opens again, as before any text.
    void openFormattingBefore(std::size_t end) {
        if (open_.reopensBeforeText() && end > at_) open_.text(at_);
    }

    // Contents shown as written, to `end`, handed to the reader as text (its "<" and "&" as references, and
    // NULs as U+FFFD); with `references`, character references in them are read.
    void writeAsText(std::size_t end, bool references) {
        for (std::size_t at = at_; at < end; ++at) {
            if (!is(bytes_[at], TextStop)) continue;
            if (bytes_[at] == '<') {
                edits_.replace(at, at + 1, "&lt;");
            } else if (bytes_[at] == '\0') {
                edits_.replace(at, at + 1, Replacement);
            } else if (!references) {
                edits_.replace(at, at + 1, "&amp;");
            } else if (auto rewrite = rewriteCharacterReference(source_.substr(at, end - at), false)) {
                edits_.replace(at, at + rewrite->length, rewrite->replacement);
                at += rewrite->length - 1;
            }
        }
        at_ = end;
    }

    bool isDoctype(std::size_t at) const {
        constexpr std::string_view Doctype = "doctype";
        for (std::size_t i = 0; i < Doctype.size(); ++i) {
            if (lower(bytes_[at + i]) != Doctype[i]) return false;  // the NUL after the document stops it
        }
        return true;
    }

    void replaceNULs(std::size_t from, std::size_t to) {
        for (const char* nul; (nul = static_cast<const char*>(std::memchr(bytes_ + from, 0, to - from)));) {
            const std::size_t at = static_cast<std::size_t>(nul - bytes_);
            edits_.replace(at, at + 1, Replacement);
            from = at + 1;
        }
    }

    // The name from `at` to the returned end, in `name_`.
    std::size_t readName(std::size_t at) {
        const std::size_t start = at;
        while (isNameChar(bytes_[at])) ++at;
        name_ = source_.substr(start, at - start);
        return at;
    }

    void readEndTag() {
        const std::size_t from = at_;
        if (!isLetter(bytes_[from + 2])) {
            // "</>" is nothing to a browser, and "</" followed by anything else but a letter a comment up to the
            // first ">"; the reader would show what follows the "</".
            at_ = pastNext(">", from + 2);
            edits_.remove(from, at_);
            return;
        }
        const std::size_t nameEnd = readName(from + 2);
        // Attributes are read as a start tag's, quotes and all, and dropped; the reader would end the tag at the
        // first ">" and show the rest.
        const TagEnd tag = readAttributes(nameEnd, [](std::size_t) {}, [](std::size_t, std::size_t) {}, [](std::size_t) {});
        if (tag.attributesEnd == size_) return leaveOutTagAtTheEnd(from);
        at_ = tag.end;
        if (bytes_[nameEnd] == '\0') {
            // A NUL makes a name no element has: a browser ignores the end tag.
            edits_.remove(from, tag.end);
            return;
        }
        const std::string_view name = name_;
        readEndTag(from, tag.end);
        if (tag.end != nameEnd + 1 && edits_.end() <= from) {
            written_.clear();
            RTHTMLAppendEndTag(written_, name);
            edits_.replace(from, tag.end, written_);
        }
    }

    // An end tag at [from, end), its name in `name_`.
    void readEndTag(std::size_t from, std::size_t end) {
        const bool lineBreak = ns::equalsIgnoringASCIICase(name_, "br");
        if (!started_ && !bodyStarted_ && !lineBreak) {
            // Before any element or text a browser ignores an end tag, where the reader would drop the document.
            edits_.remove(from, end);
            return;
        }
        // An end tag of an SVG or MathML element is none of HTML's.
        bool foreignElement = false;
        if (foreign_.active()) {
            const std::size_t depth = foreign_.depth();
            foreign_.endTag(name_);
            const auto& ended = foreign_.ended();
            foreignElement = !ended.empty() && ended.back().foreign && ns::equalsIgnoringASCIICase(ended.back().name, name_);
            endForeignElements(from, depth, foreignElement);
        }
        const std::uint8_t id = RTHTMLOpenElements::tagNamed(name_);
        const RTHTMLOpenElements::StartTagTraits traits = RTHTMLOpenElements::startTagTraits(id);
        if (traits.isForm && !foreignElement) {
            const bool opened = std::exchange(formOpen_, false);
            if (!opened || !open_.formIsCurrent()) {
                // Of no form a start tag opened, or of one that holds elements still open: a browser ignores it,
                // or ends the form alone and leaves those open, where the reader would end them with the form.
                if (opened) open_.endFormLeftOpen(from);
                edits_.remove(from, end);
                return;
            }
        }
        if (lineBreak) {
            // A browser reads "</br>" as a line break, where the reader drops it.
            if (tableText_.moving() || open_.inTableBody()) tableText_.startTag(id, name_, traits, from, false, true, foreign_.inForeignElement());
            if (!bodyStarted_) startElementBeforeBody(traits, from);
            open_.startTag(id, from, end, LineBreak, false);
            edits_.replace(from, end, LineBreak);
            return;
        }
        // "</p>" with no p open makes an empty paragraph, which in a table goes before it.
        if (traits.isParagraph && open_.inTableBody() && !tableText_.moving() && !open_.paragraphInScope())
            tableText_.startTag(id, name_, traits, from, false, true, false);
        if ((tableText_.moving() && !tableText_.endTag(id, name_, traits, from)) ||
            ((traits.isBody || traits.isHtml) && !onlyBlanksFrom(end))) {
            // Ignored by a browser: an end tag of an element outside the table whose content is moved before it;
            // "</body>" and "</html>" with more after them, which goes into the body as before (the reader would
            // drop it).
            edits_.remove(from, end);
            return;
        }
        if (headNoscript_) {
            // In a noscript element in the head, a browser that runs no scripts ignores any other end tag, but for
            // that of a style sheet (or noframes) it holds, which ends the element's text, not the noscript's.
            const bool endsText = traits.staysInHeadNoscript && traits.contents != RTHTMLRawContents::Markup;
            if (!traits.isNoscript && !endsText) edits_.remove(from, end);
            headNoscript_ = !traits.isNoscript;
            return;
        }
        if (!foreignElement) open_.endTag(id, name_, from, end);
    }

    // The elements of SVG or MathML the tag at `from` ended (`depth` were open before it) end for the reader
    // too, before it, in the order a browser ends them: those it would keep open around what follows, as it
    // does not know where they end; all but the outermost when the tag is its own end tag. Elements inside a
    // style sheet or script whose text the reader takes as no markup never opened for it, and that element
    // ends with its own end tag.
    void endForeignElements(std::size_t from, std::size_t depth, bool ownEndTag) {
        const auto& ended = foreign_.ended();
        if (ended.empty()) return;
        written_.clear();
        for (std::size_t at = 0; at < ended.size(); ++at) {
            const std::size_t level = depth - 1 - at;  // the element's place among those open
            if (rawForeignDepth_ > 0 && level >= rawForeignDepth_) continue;
            if (ended[at].name.empty() || (ownEndTag && at + 1 == ended.size())) continue;
            if (tableText_.moving()) tableText_.elementEnded(ended[at].name);
            RTHTMLAppendEndTag(written_, ended[at].name);
        }
        if (foreign_.depth() < rawForeignDepth_) rawForeignDepth_ = 0;
        edits_.insert(from, written_);
    }

    // A tag that the document ends inside is nothing to a browser.
    void leaveOutTagAtTheEnd(std::size_t from) {
        edits_.remove(from, size_);
        at_ = size_;
    }

    // An attribute's value from `from` to `to`: its references and NULs.
    void readValue(std::size_t from, std::size_t to) {
        for (std::size_t at = from; at < to; ++at) {
            if (!is(bytes_[at], ValueStop)) continue;
            if (bytes_[at] == '\0') {
                changes_.push_back({at, at + 1, std::string(Replacement)});
            } else if (bytes_[at] == '&') {
                if (auto rewrite = rewriteCharacterReference(source_.substr(at, to - at), true)) {
                    changes_.push_back({at, at + rewrite->length, std::move(rewrite->replacement)});
                    at += rewrite->length - 1;
                }
            }
        }
    }

    struct TagEnd {
        std::size_t attributesEnd = 0;  // at the tag's ">" or "/>" (or the end of the document)
        std::size_t end = 0;            // past them
        bool selfClosing = false;
    };

    // A start tag's attributes from `at`, after its name, to the tag's end, as the reader reads them:
    // `attribute(at)` at each attribute's name, then `value(from, to)` for its value if it has one; `junk(at)` for
    // each byte the reader passes over as no attribute.
    template <class Attribute, class Value, class Junk>
    TagEnd readAttributes(std::size_t at, Attribute&& attribute, Value&& value, Junk&& junk) const {
        for (;;) {
            while (isBlank(bytes_[at])) ++at;
            if (at >= size_) return {size_, size_, false};
            if (bytes_[at] == '>' || (bytes_[at] == '/' && bytes_[at + 1] == '>')) {
                const bool selfClosing = bytes_[at] == '/';
                return {at, at + (selfClosing ? 2 : 1), selfClosing};
            }
            if (!isNameStart(bytes_[at])) {
                // Not an attribute: the reader passes over it to the next blank or the tag's end.
                for (; at < size_ && !isBlank(bytes_[at]) && bytes_[at] != '>' && !(bytes_[at] == '/' && bytes_[at + 1] == '>'); ++at) junk(at);
                continue;
            }
            attribute(at);
            while (isNameChar(bytes_[at])) ++at;
            std::size_t start = at;
            while (isBlank(bytes_[start])) ++start;
            if (bytes_[start] != '=') continue;
            ++start;
            while (isBlank(bytes_[start])) ++start;
            at = start;
            if (bytes_[at] == '"' || bytes_[at] == '\'') {
                const std::size_t close = source_.find(bytes_[at], at + 1);
                value(at + 1, close == std::string_view::npos ? size_ : close);
                at = close == std::string_view::npos ? size_ : close + 1;
            } else {
                while (at < size_ && !isBlank(bytes_[at]) && bytes_[at] != '>') ++at;
                value(start, at);
            }
        }
    }

    void readStartTag() {
        const std::size_t from = at_;
        const std::size_t nameEnd = readName(from + 1);
        changes_.clear();
        std::size_t attributes = 0;
        std::size_t cut = 0;
        const auto [attributesEnd, end, selfClosing] = readAttributes(
            nameEnd,
            [&](std::size_t at) {
                if (attributes++ == RTHTMLMaximumAttributes) cut = at;
            },
            [&](std::size_t valueFrom, std::size_t valueTo) {
                if (attributes <= RTHTMLMaximumAttributes) readValue(valueFrom, valueTo);
            },
            [&](std::size_t at) {
                if (bytes_[at] == '\0' && attributes < RTHTMLMaximumAttributes) changes_.push_back({at, at + 1, std::string(Replacement)});
            });
        if (attributesEnd == size_) return leaveOutTagAtTheEnd(from);
        if (attributes > RTHTMLMaximumAttributes) {
            changes_.push_back({cut, attributesEnd, {}});
            RTLogMessage(RTLogLevelWarning, "Element <" + ns::lowercasedASCII(name_) + "> has " + std::to_string(attributes) + " attributes; only the first " +
                                                std::to_string(RTHTMLMaximumAttributes) + " are read");
        }

        std::string_view tag = source_.substr(from, end - from);
        if (!changes_.empty()) {
            rewritten_.clear();
            std::size_t copied = from;
            for (const Change& change : changes_) {
                rewritten_.append(source_.substr(copied, change.from - copied));
                rewritten_ += change.text;
                copied = change.to;
            }
            rewritten_.append(source_.substr(copied, end - copied));
            tag = rewritten_;
        }
        const std::uint8_t id = RTHTMLOpenElements::tagNamed(name_);
        const RTHTMLOpenElements::StartTagTraits traits = RTHTMLOpenElements::startTagTraits(id);
        const bool inForeignElement = foreign_.inForeignElement();
        bool html = true;
        // An svg or math element that begins SVG or MathML where HTML is read: a browser opens the formatting it
        // ended again before it, as before any element in line.
        bool beginsForeignContent = false;
        if (foreign_.active() || traits.opensForeignContent) [[unlikely]] {
            const std::size_t depth = foreign_.depth();
            beginsForeignContent = traits.opensForeignContent && foreign_.readsAsHTML(name_);
            html = foreign_.startTag(name_, source_.substr(nameEnd, attributesEnd - nameEnd), selfClosing);
            endForeignElements(from, depth, false);
        }
        if (html && ((traits.isTablePart && !open_.tableOpen()) || (traits.ignoredInBody && bodyStarted_))) {
            // A part of a table outside any table, a head, body or frameset inside the body: a browser ignores
            // them, where the reader would end an open paragraph there.
            edits_.remove(from, end);
            at_ = end;
            return;
        }
        if (html && traits.endsParagraphInReader && open_.paragraphOpen()) {
            // A title in a paragraph: the reader would end the paragraph at it, where a browser keeps the
            // paragraph and shows nothing of the title.
            at_ = selfClosing ? end : pastNext(">", RTHTMLRawTextEnd(source_, end, name_));
            edits_.remove(from, at_);
            return;
        }
        if (html && traits.isForm && (formOpen_ || tableText_.moving() || open_.inTableBody())) {
            // A form's start tag inside a form a browser ignores; in a table, outside its cells, it makes an empty
            // form there (and ignores the end tag), which shows nothing. The reader would end the form, or a
            // paragraph, there, or hold the table's rows in the form.
            formOpen_ = true;
            edits_.remove(from, end);
            at_ = end;
            return;
        }
        if (html && traits.isForm) formOpen_ = true;
        if (tableText_.moving() || open_.inTableBody()) [[unlikely]] {
            const bool opensElement = !selfClosing && !(html && RTHTMLForeignContent::isVoidHTMLElement(name_));
            tableText_.startTag(id, name_, traits, from, opensElement, html, inForeignElement);
        }
        if (!bodyStarted_) [[unlikely]]
            startElementBeforeBody(traits, from);
        const bool beforeBlock = html && !selfClosing && RTHTMLOpenElements::isFormattingTag(id) && blockStartsAt(end);
        if (!(html || beginsForeignContent) || !open_.startTag(id, from, end, tag, selfClosing, beforeBlock)) {
            for (const Change& change : changes_) edits_.replace(change.from, change.to, change.text);
        }
        at_ = end;
        if (selfClosing) return;
        // (A noscript element in the head is followed apart.)
        if (html && bodyStarted_ && RTHTMLOpenElements::tracksInline(id) && !RTHTMLForeignContent::isVoidHTMLElement(name_))
            open_.startInline(id, name_);
        if (html && traits.dropsLeadingNewline) dropLeadingNewline();
        // The reader reads scripts and style sheets as no markup wherever they are; a browser, the others only
        // as HTML elements.
        if (html) readRawContents(traits.contents);
        else if (traits.contents == RTHTMLRawContents::Script || traits.contents == RTHTMLRawContents::Kept) readForeignRawText();
    }

    // An element starts at `from`, before the body has. Once the document's head has begun, the reader keeps in
    // it (and so never shows) an element it does not know to end the head, such as ruby, label, button,
    // textarea, svg, math or one of a name of the page's own, where a browser starts the body with any element
    // that does not belong in the head: the reader is handed the body's start tag before it.
    void startElementBeforeBody(RTHTMLOpenElements::StartTagTraits traits, std::size_t from) {
        started_ = true;
        if (traits.isHtml) return;
        if (!traits.staysInHeadNoscript) endHeadNoscript(from);
        if (traits.belongsInHead) {
            headStarted_ = true;
            // What the noscript element may hold leaves it open.
            if (traits.isNoscript) headNoscript_ = true;
            return;
        }
        bodyStarted_ = true;
        if (headStarted_ && !traits.isBody) edits_.insert(from, "<body>");
    }

    // A browser that runs no scripts ends a noscript element in the head, and the head, at anything the
    // element cannot hold there (an image, a div, text): the rest is the body's. The reader would keep the rest of
    // the document in the noscript element, and show none of it.
    void endHeadNoscript(std::size_t at) {
        if (!headNoscript_) return;
        headNoscript_ = false;
        edits_.insert(at, "</noscript>");
    }

    void dropLeadingNewline() {
        const std::size_t length = bytes_[at_] == '\n' ? 1 : bytes_[at_] == '\r' ? (bytes_[at_ + 1] == '\n' ? 2 : 1) : 0;
        if (length == 0) return;
        edits_.remove(at_, at_ + length);
        at_ += length;
    }

    // The contents of an element a browser reads as no markup, from `at_` to its end tag.
    void readRawContents(RTHTMLRawContents contents) {
        switch (contents) {
        case RTHTMLRawContents::Markup: return;
        case RTHTMLRawContents::Script: return keepForReader(RTHTMLScriptEnd(source_, at_));
        case RTHTMLRawContents::Kept: return keepForReader(RTHTMLRawTextEnd(source_, at_, name_));
        case RTHTMLRawContents::Hidden: {
            const std::size_t end = RTHTMLRawTextEnd(source_, at_, name_);
            if (end > at_) edits_.remove(at_, end);
            at_ = end;
            return;
        }
        case RTHTMLRawContents::Text:
        case RTHTMLRawContents::TextToTheEnd: {
            const std::size_t end = contents == RTHTMLRawContents::Text ? RTHTMLRawTextEnd(source_, at_, name_) : size_;
            openFormattingBefore(end);
            return writeAsText(end, false);
        }
        // A textarea's or title's text is its own: a browser opens no formatting it ended again inside.
        case RTHTMLRawContents::TextWithReferences: return writeAsText(RTHTMLRawTextEnd(source_, at_, name_), true);
        }
    }

    // The contents of a style sheet or script inside SVG or MathML, from at_. A browser reads them as markup: an
    // element that cannot go there (b, p, span...) ends the SVG or MathML and the style sheet with it, as does an
    // end tag of an element outside it, and other elements are ones of SVG or MathML, never shown. The reader
    // reads them as no markup, to the first "</style" (or "</script"): they are handed over as they are, to the
    // tag where a browser ends the element, which the main loop reads next, writing the element's end tag
    // before it; an earlier "</style" (in a comment, or ending an element inside) is written "<\/style", and
    // NULs U+FFFD.
    void readForeignRawText() {
        const std::size_t depth = foreign_.depth();
        const std::string_view own = name_;
        std::size_t at = at_;
        for (;;) {
            at = source_.find('<', at);
            if (at == std::string_view::npos) break;
            const char next = bytes_[at + 1];
            std::size_t end = at + 1;
            if (next == '!' && bytes_[at + 2] == '-' && bytes_[at + 3] == '-') {
                end = RTHTMLCommentEnd(source_, at);
            } else if (next == '!' && foreign_.inForeignElement() && source_.substr(at + 2, 7) == "[CDATA[") {
                end = pastNext("]]>", at + 9);
            } else if (next == '/' && isLetter(bytes_[at + 2])) {
                end = pastNext(">", readName(at + 2));
                if (foreign_.depthAfterEndTag(name_) < depth) {
                    rawForeignDepth_ = depth;
                    break;
                }
                foreign_.endTag(name_);
            } else if (isLetter(next)) {
                const std::size_t nameEnd = readName(at + 1);
                const TagEnd tag = readAttributes(nameEnd, [](std::size_t) {}, [](std::size_t, std::size_t) {}, [](std::size_t) {});
                const std::string_view attributes = source_.substr(nameEnd, tag.attributesEnd - nameEnd);
                if (foreign_.endsForeignContent(name_, attributes)) {
                    rawForeignDepth_ = depth;
                    break;
                }
                foreign_.startTag(name_, attributes, tag.selfClosing);
                end = tag.end;
            } else if (next == '/' || next == '!' || next == '?') {
                // Comments up to the first ">" for a browser.
                end = pastNext(">", at + 2);
            }
            at = end;
        }
        name_ = own;
        keepForReader(at == std::string_view::npos ? size_ : at);
    }

    // Whether a block's start tag follows after nothing but white space.
    bool blockStartsAt(std::size_t at) const {
        while (isBlank(bytes_[at])) ++at;
        if (bytes_[at] != '<' || !isLetter(bytes_[at + 1])) return false;
        const std::size_t start = at + 1;
        for (at = start; isNameChar(bytes_[at]); ++at) {
        }
        return RTHTMLOpenElements::isBlockTag(RTHTMLOpenElements::tagNamed(source_.substr(start, at - start)));
    }

    // The contents of a script or style element, which the reader reads as no markup itself, to `end`: where
    // it would end them before, at "</" and their name followed by anything, it is handed "<\/" instead; NULs
    // are read as U+FFFD.
    void keepForReader(std::size_t end) {
        std::size_t from = at_;
        for (std::size_t at = from; (at = source_.find("</", at)) < end; at += 2) {
            if (!RTHTMLStartsEndTagPrefix(source_, at, name_)) continue;
            replaceNULs(from, at);
            edits_.replace(at, at + 2, "<\\/");
            from = at + 2;
        }
        replaceNULs(from, end);
        at_ = end;
        if (end == size_) unterminated_ = "</" + std::string(name_) + ">";
    }

    const char* bytes_;  // the document's, followed by a NUL
    std::size_t size_;
    std::string_view source_;
    RTHTMLEdits edits_;
    RTHTMLOpenElements open_;
    RTHTMLForeignContent foreign_;
    RTHTMLTableText tableText_{edits_, open_};
    bool started_ = false;      // an element, before the body
    bool doctype_ = false;      // a doctype, before any element or text
    bool formOpen_ = false;     // since a form's start tag, until an end tag of a form
    bool headStarted_ = false;  // an element of the head, before the body
    bool headNoscript_ = false;  // in a noscript element in the head
    bool bodyStarted_ = false;  // text with something to show or an element of the body
    std::size_t at_ = 0;
    std::string_view name_;  // of the tag being read, as written
    std::vector<Change> changes_;
    std::string rewritten_;
    std::string written_;  // scratch for end tags the repair writes
    // What ends the comment, script or style sheet the document ends inside, if it does.
    std::string unterminated_;
    // While the main loop reads the tag that ends a style sheet or script inside SVG or MathML, whose text the
    // reader reads as no markup: how many elements were open with it, itself the innermost.
    std::size_t rawForeignDepth_ = 0;
};

}  // namespace

void repairHTMLInput(std::string& document) {
    if (std::optional<std::string> repaired = Scanner(document).run()) document = std::move(*repaired);
}

}  // namespace ql
