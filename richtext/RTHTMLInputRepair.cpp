#include "richtext/RTHTMLInputRepair.h"

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Text.h"
#include "richtext/RTHTMLCharacterReferences.h"
#include "richtext/RTHTMLEdits.h"
#include "richtext/RTHTMLForeignContent.h"
#include "richtext/RTHTMLOpenElements.h"
#include "richtext/RTHTMLRawText.h"
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
            if (!bodyStarted_ && textFollows()) bodyStarted_ = true;
            if (open_.reopensBeforeText() && textFollows()) open_.text(at_);
            readText();
            if (at_ < size_) readMarkup();
        }
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

    // Whether text with something to show comes before the next markup.
    bool textFollows() const {
        for (std::size_t at = at_; at < size_; ++at) {
            const char c = bytes_[at];
            if (c == '<') return !startsMarkup(at);
            if (!isBlank(c) && c != '\0') return true;
        }
        return false;
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
        const std::size_t close = source_.find('>', at_ + 2);
        const std::size_t end = close == std::string_view::npos ? size_ : close + 1;
        if (next == '!' && !isDoctype(at_ + 2)) {
            // "<![CDATA[...]]>" outside SVG and MathML, "<![if ...]>", "<![endif]>" and the like: a browser
            // reads them as comments ending at the first ">", where the reader would show them as text.
            edits_.remove(at_, end);
            at_ = end;
            return;
        }
        replaceNULs(at_, end);
        at_ = end;
    }

    void readComment() {
        const std::size_t body = at_ + 4;
        if (bytes_[body] == '>' || (bytes_[body] == '-' && bytes_[body + 1] == '>')) {
            // "<!-->" and "<!--->" are empty comments to a browser; the reader would look for a "-->" after them.
            const std::size_t end = body + (bytes_[body] == '>' ? 1 : 2);
            edits_.remove(at_, end);
            at_ = end;
            return;
        }
        // To the first "-->" or "--!>", for the reader as for a browser.
        std::size_t end = size_;
        for (std::size_t dashes = body; (dashes = source_.find("--", dashes)) != std::string_view::npos; ++dashes) {
            if (bytes_[dashes + 2] == '>' || (bytes_[dashes + 2] == '!' && bytes_[dashes + 3] == '>')) {
                end = dashes + (bytes_[dashes + 2] == '>' ? 3 : 4);
                break;
            }
        }
        replaceNULs(at_, end);
        at_ = end;
    }

    // A CDATA section inside SVG or MathML: text, to "]]>".
    void readCDATA() {
        const std::size_t from = at_ + 9;
        const std::size_t close = source_.find("]]>", from);
        const std::size_t end = close == std::string_view::npos ? size_ : close;
        edits_.remove(at_, from);
        at_ = from;
        writeAsText(end, false);
        at_ = std::min(end + 3, size_);
        edits_.remove(end, at_);
    }

    // Contents shown as written, to `end`, handed to the reader as text (its "<" and "&" as references, and
    // NULs as U+FFFD); with `references`, character references in them are read.
    void writeAsText(std::size_t end, bool references) {
        if (open_.reopensBeforeText() && end > at_) open_.text(at_);
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
            const std::size_t close = source_.find('>', from + 2);
            at_ = close == std::string_view::npos ? size_ : close + 1;
            edits_.remove(from, at_);
            return;
        }
        const std::size_t close = source_.find('>', readName(from + 2));
        const std::size_t end = close == std::string_view::npos ? size_ : close + 1;
        at_ = end;
        const bool lineBreak = ns::equalsIgnoringASCIICase(name_, "br");
        if (!started_ && !bodyStarted_ && !lineBreak) {
            // Before any element or text a browser ignores an end tag, where the reader would drop the document.
            edits_.remove(from, end);
            return;
        }
        // A NUL makes a name no element has.
        if (std::memchr(bytes_ + from, 0, end - from)) return replaceNULs(from, end);
        if (foreign_.active()) foreign_.endTag(name_);
        const std::uint8_t id = RTHTMLOpenElements::tagNamed(name_);
        if (lineBreak) {
            // A browser reads "</br>" as a line break, where the reader drops it.
            if (!bodyStarted_) startElementBeforeBody(RTHTMLOpenElements::startTagTraits(id), from);
            open_.startTag(id, from, end, LineBreak, false);
            edits_.replace(from, end, LineBreak);
            return;
        }
        open_.endTag(id, from, end);
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

    void readStartTag() {
        const std::size_t from = at_;
        const std::size_t nameEnd = readName(from + 1);
        std::size_t at = nameEnd;
        changes_.clear();
        std::size_t attributes = 0;
        std::size_t cut = 0;
        bool selfClosing = false;
        std::size_t attributesEnd = size_;
        std::size_t end = size_;
        for (;;) {
            while (isBlank(bytes_[at])) ++at;
            if (at >= size_) break;
            if (bytes_[at] == '>' || (bytes_[at] == '/' && bytes_[at + 1] == '>')) {
                selfClosing = bytes_[at] == '/';
                attributesEnd = at;
                end = at + (selfClosing ? 2 : 1);
                break;
            }
            const bool kept = attributes < RTHTMLMaximumAttributes;
            if (!isNameStart(bytes_[at])) {
                // Not an attribute: the reader passes over it to the next blank or the tag's end.
                for (; at < size_ && !isBlank(bytes_[at]) && bytes_[at] != '>' && !(bytes_[at] == '/' && bytes_[at + 1] == '>'); ++at) {
                    if (bytes_[at] == '\0' && kept) changes_.push_back({at, at + 1, std::string(Replacement)});
                }
                continue;
            }
            if (!kept && attributes == RTHTMLMaximumAttributes) cut = at;
            ++attributes;
            while (isNameChar(bytes_[at])) ++at;
            std::size_t value = at;
            while (isBlank(bytes_[value])) ++value;
            if (bytes_[value] != '=') continue;
            ++value;
            while (isBlank(bytes_[value])) ++value;
            at = value;
            if (bytes_[at] == '"' || bytes_[at] == '\'') {
                const std::size_t close = source_.find(bytes_[at], at + 1);
                const std::size_t valueEnd = close == std::string_view::npos ? size_ : close;
                if (kept) readValue(at + 1, valueEnd);
                at = close == std::string_view::npos ? size_ : close + 1;
            } else {
                while (at < size_ && !isBlank(bytes_[at]) && bytes_[at] != '>') ++at;
                if (kept) readValue(value, at);
            }
        }
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
        bool html = true;
        if (foreign_.active() || traits.opensForeignContent) [[unlikely]]
            html = foreign_.startTag(name_, source_.substr(nameEnd, attributesEnd - nameEnd), selfClosing);
        if (html && traits.endsParagraphInReader && open_.paragraphOpen()) {
            // A title in a paragraph: the reader would end the paragraph at it, where a browser keeps the
            // paragraph and shows nothing of the title.
            const std::size_t close = selfClosing ? end - 1 : source_.find('>', RTHTMLRawTextEnd(source_, end, name_));
            at_ = close == std::string_view::npos ? size_ : close + 1;
            edits_.remove(from, at_);
            return;
        }
        if (!bodyStarted_) [[unlikely]]
            startElementBeforeBody(traits, from);
        const bool beforeBlock = !selfClosing && RTHTMLOpenElements::isFormattingTag(id) && blockStartsAt(end);
        if (!open_.startTag(id, from, end, tag, selfClosing, beforeBlock)) {
            for (const Change& change : changes_) edits_.replace(change.from, change.to, change.text);
        }
        at_ = end;
        if (selfClosing) return;
        if (html && traits.dropsLeadingNewline) dropLeadingNewline();
        // The reader reads scripts and style sheets as no markup wherever they are; a browser, the others only
        // as HTML elements.
        if (traits.contents != RTHTMLRawContents::Markup &&
            (html || traits.contents == RTHTMLRawContents::Script || traits.contents == RTHTMLRawContents::Kept))
            readRawContents(traits.contents);
    }

    // An element starts at `from`, before the body has. Once the document's head has begun, the reader keeps in
    // it (and so never shows) an element it does not know to end the head, such as ruby, label, button,
    // textarea, svg, math or one of a name of the page's own, where a browser starts the body with any element
    // that does not belong in the head: the reader is handed the body's start tag before it.
    void startElementBeforeBody(RTHTMLOpenElements::StartTagTraits traits, std::size_t from) {
        started_ = true;
        if (traits.isHtml) return;
        if (traits.belongsInHead) {
            headStarted_ = true;
            return;
        }
        bodyStarted_ = true;
        if (headStarted_ && !traits.isBody) edits_.insert(from, "<body>");
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
        case RTHTMLRawContents::Text: return writeAsText(RTHTMLRawTextEnd(source_, at_, name_), false);
        case RTHTMLRawContents::TextWithReferences: return writeAsText(RTHTMLRawTextEnd(source_, at_, name_), true);
        case RTHTMLRawContents::TextToTheEnd: return writeAsText(size_, false);
        }
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
    }

    const char* bytes_;  // the document's, followed by a NUL
    std::size_t size_;
    std::string_view source_;
    RTHTMLEdits edits_;
    RTHTMLOpenElements open_;
    RTHTMLForeignContent foreign_;
    bool started_ = false;      // an element, before the body
    bool headStarted_ = false;  // an element of the head, before the body
    bool bodyStarted_ = false;  // text with something to show or an element of the body
    std::size_t at_ = 0;
    std::string_view name_;  // of the tag being read, as written
    std::vector<Change> changes_;
    std::string rewritten_;
};

}  // namespace

void repairHTMLInput(std::string& document) {
    if (std::optional<std::string> repaired = Scanner(document).run()) document = std::move(*repaired);
}

}  // namespace ql
