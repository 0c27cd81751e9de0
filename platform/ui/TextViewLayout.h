#pragma once
// ui::TextViewLayout: a text view's plain text laid out paragraph by paragraph (each paragraph ends after
// its line feed), so that an edit lays out again only the paragraphs it touched. Lines never cross a line
// feed and the line after one starts afresh, so the paragraphs' lines, one after the other, are the lines
// of the whole text; heights and places are added up line by line in that order, as one layout of the
// whole text adds them. Typing thus costs about the same however long the text already is.
//
// The layout holds the paragraphs' lengths and layouts, not the text: every call that lays out takes the
// text the layout was last told of. Paragraphs are laid out when an answer needs them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/graphics/Geometry.h"
#include "platform/text/StyledText.h"
#include "platform/text/TextLayout.h"

namespace ql::cg {
class Context;
}

namespace ql::ui {

class TextViewLayout {
public:
    // Lays `text` out anew, in `font` within `width` (no wrapping when it is not positive) with
    // `alignment`: every paragraph is laid out again when an answer needs it.
    void reset(std::string_view text, const ct::Font& font, double width, ct::TextAlignment alignment);
    double width() const { return width_; }
    // `text` is the text after the UTF-16 units `replaced` of the previous one gave way to others: only
    // the paragraphs the change touched are laid out again.
    void textDidReplace(std::string_view text, ns::Range replaced);

    // The lines' heights added up (nothing for an empty text).
    double height(std::string_view text);
    // The caret before the UTF-16 unit `position` (at most the text's length), from the text's top left,
    // as high as its line, at the leading edge of the character there whichever way it runs; a caret
    // after a final line feed stands at the start of the empty line below.
    // Nothing for an empty text.
    std::optional<cg::Rect> caretRect(std::string_view text, std::uint64_t position);
    // The UTF-16 position whose caret lies nearest to `point` (from the text's top left), on the line at
    // its height: the first line above the text, the last one below it (the empty line after a final
    // line feed). 0 for an empty text.
    std::uint64_t positionAt(std::string_view text, cg::Point point);
    // Draws the paragraphs that meet `area` (relative to the text's top left) with the text's top left at
    // `origin`.
    void draw(std::string_view text, cg::Context& context, cg::Point origin, const cg::Rect& area);

private:
    struct Paragraph {
        std::size_t bytes = 0;    // UTF-8, its line feed included
        std::uint64_t units = 0;  // UTF-16, likewise
        bool endsWithLineFeed = false;
        // Null until laid out.
        std::shared_ptr<const ct::TextLayout> layout;
    };
    static std::vector<Paragraph> split(std::string_view text);
    // The paragraph laid out; `start` is its first byte in `text`.
    const ct::TextLayout& laidOut(std::string_view text, Paragraph& paragraph, std::size_t start);
    // A paragraph laid out, where its lines start and end from the text's top, and its first UTF-16 unit.
    struct Placed {
        const Paragraph& paragraph;
        const ct::TextLayout& layout;
        double top;
        double bottom;
        std::uint64_t at;
        bool last;
    };
    // Lays the paragraphs out from the top until `visit` (given each Placed) answers true.
    template <class Visit>
    void walk(std::string_view text, Visit&& visit);

    std::vector<Paragraph> paragraphs_;
    std::optional<ct::TextStyle> style_;
    double width_ = 0;
    ct::TextAlignment alignment_ = ct::TextAlignment::Natural;
};

}  // namespace ql::ui
