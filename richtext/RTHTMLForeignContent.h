#pragma once
// Where a document's markup is inline SVG or MathML to a browser, as far as the input repair needs to know:
// there a CDATA section ("<![CDATA[x<y]]>") is text, where in HTML it is a comment up to the first ">", and an
// element such as xmp or textarea is one like any other, whose contents are markup.
//
// A browser reads an svg or math start tag as the start of such content and every element inside as one of
// the same kind, until the end tag that closes the svg or math element, or until a start tag of an HTML
// element that cannot go there (b, div, p, span, table... : "<svg><b>" ends the svg). SVG's foreignObject,
// desc and title elements and MathML's mi, mo, mn, ms and mtext hold HTML again, in which a CDATA section is
// a comment and an svg or math element starts such content anew. End tags close the innermost element of
// their name, and nothing at an HTML element. Past 256 nested elements the names are no longer told apart.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ql {

class RTHTMLForeignContent {
public:
    // Whether anything is open: while nothing is, only start tags of svg and math elements need be told.
    bool active() const { return !open_.empty(); }
    // Whether the element opened last is an SVG or MathML element, in which a CDATA section is text.
    bool inForeignElement() const { return !open_.empty() && open_.back().kind != Kind::HTML; }

    // Elements open, counting those past the deepest held.
    std::size_t depth() const { return open_.size() + deeper_; }

    // Whether a start tag of the name is read as in HTML here: outside SVG and MathML, or in an element of theirs
    // that holds HTML (an svg or math start tag too, which then begins such content).
    bool readsAsHTML(std::string_view name) const { return !inForeignElement() || takesHTML(name); }
    // A start tag, its name as written; `attributes` is what follows the name in the tag, read only for a
    // font element, which ends foreign content when it has a colour, face or size. Returns whether the
    // element is an HTML element (read as HTML reads it), false for an SVG or MathML one.
    bool startTag(std::string_view name, std::string_view attributes, bool selfClosing);
    void endTag(std::string_view name);
    // Whether a start tag would end the SVG or MathML it comes in (an HTML element that cannot go there).
    bool endsForeignContent(std::string_view name, std::string_view attributes) const;
    // The depth left after an end tag of the name: that of the elements it ends, or depth() when it ends none.
    std::size_t depthAfterEndTag(std::string_view name) const;
    // The elements the last start or end tag ended, the innermost first: their names as written (empty for
    // those past the deepest held), and whether each is an SVG or MathML element.
    struct Ended {
        std::string_view name;
        bool foreign;
    };
    const std::vector<Ended>& ended() const { return ended_; }
    // Whether a name is that of an HTML element with no end tag (br, img, input...).
    static bool isVoidHTMLElement(std::string_view name);

private:
    static constexpr std::size_t MaximumDepth = 256;

    enum class Kind : std::uint8_t { HTML, SVG, MathML };
    struct Open {
        std::string_view name;
        Kind kind;
    };
    bool holdsHTML(const Open& element) const;
    // Whether the element opened last holds HTML elements of the name (a MathML text element holds all but
    // mglyph and malignmark).
    bool takesHTML(std::string_view name) const;

    void push(std::string_view name, Kind kind);
    void pop();
    void popTo(std::size_t depth);
    static std::size_t initialOf(std::string_view name);

    std::vector<Open> open_;
    std::size_t deeper_ = 0;  // elements open past the deepest held
    // How many of those held begin with each letter (and with anything else): an end tag of no open element's
    // initial is passed over at once, where looking through them all for each would cost 256 steps a tag.
    std::array<std::uint32_t, 27> initials_{};
    std::size_t htmlElements_ = 0;  // of those held
    std::vector<Ended> ended_;
};

}  // namespace ql
