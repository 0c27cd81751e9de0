#include "richtext/RTHTMLDoctype.h"

#include <optional>

#include "platform/foundation/Text.h"
#include "richtext/RTHTMLBlanks.h"

namespace ql {

namespace {

// Public identifiers that begin with one of these, in any case, mean quirks mode.
constexpr std::string_view QuirkyPublicPrefixes[] = {
    "+//Silmaril//dtd html Pro v0r11 19970101//",
    "-//AS//DTD HTML 3.0 asWedit + extensions//",
    "-//AdvaSoft Ltd//DTD HTML 3.0 asWedit + extensions//",
    "-//IETF//DTD HTML 2.0 Level 1//",
    "-//IETF//DTD HTML 2.0 Level 2//",
    "-//IETF//DTD HTML 2.0 Strict Level 1//",
    "-//IETF//DTD HTML 2.0 Strict Level 2//",
    "-//IETF//DTD HTML 2.0 Strict//",
    "-//IETF//DTD HTML 2.0//",
    "-//IETF//DTD HTML 2.1E//",
    "-//IETF//DTD HTML 3.0//",
    "-//IETF//DTD HTML 3.2 Final//",
    "-//IETF//DTD HTML 3.2//",
    "-//IETF//DTD HTML 3//",
    "-//IETF//DTD HTML Level 0//",
    "-//IETF//DTD HTML Level 1//",
    "-//IETF//DTD HTML Level 2//",
    "-//IETF//DTD HTML Level 3//",
    "-//IETF//DTD HTML Strict Level 0//",
    "-//IETF//DTD HTML Strict Level 1//",
    "-//IETF//DTD HTML Strict Level 2//",
    "-//IETF//DTD HTML Strict Level 3//",
    "-//IETF//DTD HTML Strict//",
    "-//IETF//DTD HTML//",
    "-//Metrius//DTD Metrius Presentational//",
    "-//Microsoft//DTD Internet Explorer 2.0 HTML Strict//",
    "-//Microsoft//DTD Internet Explorer 2.0 HTML//",
    "-//Microsoft//DTD Internet Explorer 2.0 Tables//",
    "-//Microsoft//DTD Internet Explorer 3.0 HTML Strict//",
    "-//Microsoft//DTD Internet Explorer 3.0 HTML//",
    "-//Microsoft//DTD Internet Explorer 3.0 Tables//",
    "-//Netscape Comm. Corp.//DTD HTML//",
    "-//Netscape Comm. Corp.//DTD Strict HTML//",
    "-//O'Reilly and Associates//DTD HTML 2.0//",
    "-//O'Reilly and Associates//DTD HTML Extended 1.0//",
    "-//O'Reilly and Associates//DTD HTML Extended Relaxed 1.0//",
    "-//SQ//DTD HTML 2.0 HoTMetaL + extensions//",
    "-//SoftQuad Software//DTD HoTMetaL PRO 6.0::19990601::extensions to HTML 4.0//",
    "-//SoftQuad//DTD HoTMetaL PRO 4.0::19971010::extensions to HTML 4.0//",
    "-//Spyglass//DTD HTML 2.0 Extended//",
    "-//Sun Microsystems Corp.//DTD HotJava HTML//",
    "-//Sun Microsystems Corp.//DTD HotJava Strict HTML//",
    "-//W3C//DTD HTML 3 1995-03-24//",
    "-//W3C//DTD HTML 3.2 Draft//",
    "-//W3C//DTD HTML 3.2 Final//",
    "-//W3C//DTD HTML 3.2//",
    "-//W3C//DTD HTML 3.2S Draft//",
    "-//W3C//DTD HTML 4.0 Frameset//",
    "-//W3C//DTD HTML 4.0 Transitional//",
    "-//W3C//DTD HTML Experimental 19960712//",
    "-//W3C//DTD HTML Experimental 970421//",
    "-//W3C//DTD W3 HTML//",
    "-//W3O//DTD W3 HTML 3.0//",
    "-//WebTechs//DTD Mozilla HTML 2.0//",
    "-//WebTechs//DTD Mozilla HTML//",
};
// Quirks mode without a system identifier, limited quirks (where tables end paragraphs) with one.
constexpr std::string_view QuirkyWithoutSystemPrefixes[] = {
    "-//W3C//DTD HTML 4.01 Frameset//",
    "-//W3C//DTD HTML 4.01 Transitional//",
};

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && ns::equalsIgnoringASCIICase(text.substr(0, prefix.size()), prefix);
}

// The doctype's parts as the tokenizer reads them; nothing when it marks the doctype broken.
struct Doctype {
    std::string_view name;
    std::optional<std::string_view> publicIdentifier, systemIdentifier;
};

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<Doctype> read() {
        Doctype doctype;
        skipBlanks();
        const std::size_t name = at_;
        while (at_ < text_.size() && !RTHTMLIsBlank(text_[at_]) && text_[at_] != '>') ++at_;
        if (at_ == name) return std::nullopt;
        doctype.name = text_.substr(name, at_ - name);
        skipBlanks();
        if (ended()) return doctype;
        const std::string_view keyword = text_.substr(at_, 6);
        at_ += keyword.size();
        if (ns::equalsIgnoringASCIICase(keyword, "public")) {
            doctype.publicIdentifier = quoted();
            if (!doctype.publicIdentifier) return std::nullopt;
            skipBlanks();
            if (ended()) return doctype;
        } else if (!ns::equalsIgnoringASCIICase(keyword, "system")) {
            return std::nullopt;
        }
        doctype.systemIdentifier = quoted();
        if (!doctype.systemIdentifier) return std::nullopt;
        // Anything after the system identifier makes the rest of the doctype bogus, but it stays well formed.
        return doctype;
    }

private:
    void skipBlanks() {
        while (at_ < text_.size() && RTHTMLIsBlank(text_[at_])) ++at_;
    }
    bool ended() const { return at_ < text_.size() && text_[at_] == '>'; }

    // An identifier in quotes, ending before any ">"; nothing when there is none, or it has no end.
    std::optional<std::string_view> quoted() {
        skipBlanks();
        if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) return std::nullopt;
        const char quote = text_[at_++];
        const std::size_t start = at_;
        while (at_ < text_.size() && text_[at_] != quote) {
            if (text_[at_] == '>') return std::nullopt;
            ++at_;
        }
        if (at_ >= text_.size()) return std::nullopt;
        return text_.substr(start, at_++ - start);
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

bool RTHTMLDoctypeSetsQuirksMode(std::string_view doctype) {
    constexpr std::string_view Opening = "<!doctype";
    // A doctype cut by the end of the document is broken.
    if (!doctype.ends_with('>')) return true;
    const std::optional<Doctype> read = Reader(doctype.substr(Opening.size())).read();
    if (!read || !ns::equalsIgnoringASCIICase(read->name, "html")) return true;
    if (read->systemIdentifier &&
        ns::equalsIgnoringASCIICase(*read->systemIdentifier, "http://www.ibm.com/data/dtd/v11/ibmxhtml1-transitional.dtd"))
        return true;
    if (!read->publicIdentifier) return false;
    const std::string_view identifier = *read->publicIdentifier;
    if (ns::equalsIgnoringASCIICase(identifier, "-//W3O//DTD W3 HTML Strict 3.0//EN//") ||
        ns::equalsIgnoringASCIICase(identifier, "-/W3C/DTD HTML 4.0 Transitional/EN") || ns::equalsIgnoringASCIICase(identifier, "HTML"))
        return true;
    for (const std::string_view prefix : QuirkyPublicPrefixes) {
        if (startsWithIgnoringCase(identifier, prefix)) return true;
    }
    if (read->systemIdentifier) return false;
    for (const std::string_view prefix : QuirkyWithoutSystemPrefixes) {
        if (startsWithIgnoringCase(identifier, prefix)) return true;
    }
    return false;
}

}  // namespace ql
