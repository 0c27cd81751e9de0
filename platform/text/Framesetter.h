#pragma once
// ct::Framesetter: sets ranges of an attributed text in rectangles, after the platform's framesetters.
// The text is shaped once; each frame then breaks it into lines by each paragraph's style (read from the
// attributes of the paragraph's first character): word or character wrapping (the truncating and
// clipping modes wrap by words: cutting a line is the caller's choice, with Line::truncated), head,
// first-line and tail indents, alignment (justified lines stretch, but not a paragraph's last), line
// heights from the fonts scaled by the line height multiple and held between the minimum and maximum
// line heights (the extra room goes above the baseline), spacing between lines, and spacing before and
// after paragraphs. Immutable once made, so one framesetter may be read from several threads.

#include <memory>

#include "platform/foundation/Range.h"
#include "platform/graphics/Geometry.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Frame.h"
#include "platform/text/Line.h"
#include "platform/text/Typesetter.h"

namespace ql::ct {

class Framesetter {
public:
    explicit Framesetter(AttributedString string);

    const AttributedString& attributedString() const { return string_; }
    const Typesetter& typesetter() const { return *typesetter_; }

    // The lines of `range` (an empty length runs to the end of the text) set in `rect`. Ranges outside
    // the text raise "NSRangeException".
    Frame createFrame(ns::Range range, const cg::Rect& rect) const;

    // The size the lines of `range` take when set within `constraints`: the widest line (indent
    // included, white space at line ends not) and the height down to the last line's bottom.
    // `fitRange`, when given, receives the part of the range that fits.
    cg::Size suggestFrameSize(ns::Range range, cg::Size constraints, ns::Range* fitRange = nullptr) const;

private:
    struct Layout {
        std::vector<Line> lines;
        // Baseline starts from the top left corner, y growing downwards.
        std::vector<cg::Point> baselines;
        std::vector<LineRoom> rooms;
        double width = 0;
        double height = 0;
    };
    Layout layOut(ns::Range range, cg::Size size) const;
    ns::Range resolve(ns::Range range) const;

    AttributedString string_;
    std::unique_ptr<Typesetter> typesetter_;
};

// A line of the whole text, unwrapped: for tokens and single lines that are truncated or drawn alone.
Line createLine(const AttributedString& string);

}  // namespace ql::ct
